#pragma once
// The system parameter block of a controller: the record the program keeps,
// the two read layouts it arrives in (serial function 1, network block 10003
// type 1), the 52-byte write image both links send, the RS485 port bytes and
// the collection of the panel's inputs into the record before a write.
// Pure functions and plain structs: no widgets, ports, sockets or timers.
#include "core/error_log.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <array>
#include <optional>

namespace kalmo {

// ---- Lengths, blocks and procedure labels ---------------------------------

inline constexpr quint8 kGetSysInfoFunction = 1;
inline constexpr quint8 kSetSysInfoFunction = 4;
inline constexpr qsizetype kSysInfoReplyLength = 111;   // reply to function 1
inline constexpr qsizetype kSetSysInfoFrameLength = 91; // request of function 4
inline constexpr qsizetype kSetSysInfoReplyLength = 91;
inline constexpr qsizetype kSysParamImageLength = 52; // the write image
inline constexpr qint32 kSysParamBlockAddress = 10003;
inline constexpr qint32 kSysParamReadBlockType = 1;
inline constexpr qint32 kSysParamWriteBlockType = 4;

inline constexpr char kChangeParameterLabel[] = "ChangeParameter(Form1)";

// ---- The record -----------------------------------------------------------

// The decoded block, one field per device item, in the device's order.
// Multi-byte fields are low byte first on the wire. 16-bit fields are held
// unsigned (the panel shows them 0..65535). Starts zeroed.
struct SysParamRecord
{
    qint32 SerialNumber = 0;
    std::array<quint8, 4> IpAddress{}; // [0] is the first dotted number
    quint8 SoftAddress = 0;
    std::array<quint8, 7> SensorTypes{}; // one code per input channel
    quint8 Port1Line = 0;
    quint8 Port1Protocol = 0;
    quint8 Port2Line = 0;
    quint8 Port2Protocol = 0;
    quint8 CarriedByte1 = 0; // opaque, written back as read
    quint16 DiDebounce = 0;  // ms
    quint16 CarriedWord = 0; // opaque
    quint8 CarriedByte2 = 0; // opaque
    quint16 SelfRecoveryControl = 0;
    quint16 SelfRecoveryInterval = 0;
    quint8 DeviceType = 0;
    quint16 VersionWord1 = 0; // read only, opaque
    quint16 VersionWord2 = 0;
    quint16 FirmwareVersion = 0; // compared as a number by version checks
    quint8 Version = 0;
    std::array<quint8, 4> Spare{}; // read, never used
    quint16 ProductionYear = 0;
    quint8 ProductionMonth = 0;
    quint8 ProductionDay = 0;
    quint8 ProductionHour = 0;
    quint8 ProductionMinute = 0;
    quint8 ProductionSecond = 0;
    quint8 Port1Role = 0; // 0 slave ("从"), 1 master ("主")
    quint8 Port2Role = 0;
    std::array<bool, 7> FlagBits{}; // bits 0..6 of one byte; bit 7 is not kept
    quint16 UdpPort = 0;
    quint16 CpuType = 0;
    quint8 SlaveMaxErrors = 0;
    quint16 SlaveCommInterval = 0; // ms
    quint16 SlaveMaxWait = 0;      // ms
    quint8 Port1PacketInterval = 0;
    quint8 Port2PacketInterval = 0;

    friend bool operator==(const SysParamRecord &, const SysParamRecord &) = default;
};

// Items that arrive with the block but go straight to the panel. An item is
// set once it has been decoded, so after a reply that ended early the caller
// knows exactly what was read.
struct SysParamPanelItems
{
    std::optional<quint8> NoUserProgram;        // 1: the device holds no user program
    std::optional<quint8> BootVersion;          // see bootVersionText()
    std::optional<quint8> Rs485_2MaxErrors;     // Text_ErrorTimeComm2
    std::optional<quint16> Rs485_2CommInterval; // Text_InterTimeComm2, ms
    std::optional<quint16> Rs485_2WaitTime;     // Text_WaitTimeComm2, ms
    std::optional<quint16> FlashFlags;          // bit i lights shpFlash_i red

    friend bool operator==(const SysParamPanelItems &, const SysParamPanelItems &) = default;
};

// The RS485_2 values that the write image carries after the record.
struct Rs485_2Settings
{
    quint8 Rs485_2MaxErrors = 0;
    quint16 Rs485_2CommInterval = 0;
    quint16 Rs485_2WaitTime = 0;
};

// ---- Read layouts ---------------------------------------------------------

// Decode a whole serial reply to function 1 (111 bytes, data at the serial
// offsets) / a whole network reply datagram to block 10003 type 1 (12-byte
// header, then data). In this order: BootVersion, NoUserProgram, the record
// fields, the RS485_2 items and FlashFlags. A reply too short for a field
// throws ProcedureError("下标越界") at that field: everything decoded before
// it stays, nothing after it is touched, and no field is ever half written.
void decodeSerialSysInfoReply(const QByteArray &reply, SysParamRecord &record,
                              SysParamPanelItems &items);
void decodeNetworkSysParamReply(const QByteArray &datagram, SysParamRecord &record,
                                SysParamPanelItems &items);

// ---- Write image ----------------------------------------------------------

// The 52-byte image written by both links (network block 10003 type 4):
// the record's writable fields, the flag byte, 0 at 44, 0x55 0xAA at 45..46
// and the RS485_2 values at 47..51.
QByteArray sysParamWriteImage(const SysParamRecord &record, const Rs485_2Settings &rs485_2);

// The serial write request (function 4): 91 bytes, function number at 2, the
// image at 3..54, zeros at 55..86. Header, CRC and trailer are left 0 for
// completeSerialFrame(), as SendCommand completes every frame.
QByteArray setSysInfoFrame(const SysParamRecord &record, const Rs485_2Settings &rs485_2);

// ---- RS485 port bytes <-> panel list indices -------------------------------
//   line byte:     bits 7-6 parity, bit 5 data bits, bit 4 stop bits, bits 3-0 baud
//   protocol byte: bit 4 mark-parity flag, bits 3-0 protocol

enum class PortList { Parity, DataBits, StopBits, Baud, Protocol };

// The items of each list, in list-index order.
const QStringList &portListItems(PortList list);
// "从", "主"
const QStringList &roleListItems();

// One port's list selections: an index into each list, -1 for no selection.
struct PortSettings
{
    int parity = -1; // Combo6: 0..4, 3 = "空格校验" (11, no mark), 4 = "Mark校验" (11 + mark)
    int dataBits = -1; // Combo7: 0..1
    int stopBits = -1; // Combo8: 0..1
    int baud = -1;     // Combo9: 0..9
    int protocol = -1; // Combo10: 0..6

    int &operator[](PortList list);
    int operator[](PortList list) const;
    friend bool operator==(const PortSettings &, const PortSettings &) = default;
};

// A code with no entry in its list (baud 10..15, protocol 7..15) reads as
// no selection; nothing is invented for it.
PortSettings decodePortSettings(quint8 line, quint8 protocol);

// The first list whose index is neither -1 nor an index of the list.
std::optional<PortList> invalidPortList(const PortSettings &settings);

// Puts the selections into the port's bytes. Each selected list replaces its
// own bits; a list with no selection leaves its bits as they were, so a code
// the panel cannot show is written back unchanged. A selected protocol
// replaces the whole protocol byte; the mark flag follows a selected parity
// (set for index 4 only) and is kept when the parity has no selection. An
// index outside its list throws ProcedureError("溢出") and changes nothing.
void encodePortSettings(const PortSettings &settings, quint8 &line, quint8 &protocol);

// The master/slave list index for a role byte: 0 or 1, any other value -1.
int roleIndex(quint8 role);

// ---- Display texts --------------------------------------------------------

// Four hexadecimal digits with a point after the first: 0x1234 -> "1.234".
QString firmwareVersionText(quint16 firmwareVersion);
// Two hexadecimal digits with a point between: 0x21 -> "2.1", 0x1A -> "1.A".
QString versionText(quint8 version);
// High nibble in decimal, a point, low nibble in decimal: 0xAB -> "10.11".
QString bootVersionText(quint8 bootVersion);
// A 16-bit value as 0..65535: a negative value has 65536 added.
QString unsigned16Text(qint32 value);

// ---- Panel -> record ------------------------------------------------------

// How a panel box reads as a number: surrounding blanks, an optional sign and
// decimal digits, nothing else. "", "1e3", "1.5", "12abc" and "&HFF" are not
// numbers. A value too large for 64 bits saturates, so range checks refuse it.
std::optional<qint64> panelInteger(const QString &text);

// What the panel holds when the write button collects it.
struct SysParamPanelInput
{
    QString txtModuleAddr;
    QString txtSeries;
    std::array<QString, 4> txtIp;
    std::array<PortSettings, 2> ports; // Combo6..Combo10, index 0 = RS485_1
    int year = 1900;                   // datePicker
    int month = 1;
    int day = 1;
    int hour = 0; // timePicker
    int minute = 0;
    int second = 0;
    std::array<int, 2> ComboMS{-1, -1};
    QString uPortTxt;
    QString cpuTxt;
    QString txtSubcommIntv;
    QString txtSubWaitTime;
    QString ScanCtrl;
    QString ScanInterval;
    QString txtSubErr;
    std::array<QString, 2> txt_RSDataTime;
};

// A panel value that cannot go into its field: the description is the
// error-log text ("类型不匹配" for a non-number, "溢出" for a value out of
// range); control() is the objectName ("txtIp_2", "Combo9_1") and label()
// the form label ("IP", "波特率") for "数据格式错误：" + label.
class FieldConversionError : public ProcedureError
{
public:
    FieldConversionError(const QString &description, const QString &control, const QString &label);
    QString control() const { return m_control; }
    QString label() const { return m_label; }

private:
    QString m_control;
    QString m_label;
};

struct ChangeParameterReport
{
    QString failedControl; // empty when every field was collected
    QString failedLabel;
    bool roleListsReset = false; // a ComboMS list had no selection: show index 0 in both
};

// Collects the panel into the record, in this order: module address
// (mod 256), series (mod 65536), the IP bytes, both ports, the production
// date (a year outside 1..3000 becomes 1900) and time, the roles, the 16-bit
// boxes and the slave error count (a non-number or a value out of range keeps
// the old value), the packet intervals. Module address, series, IP, the port
// lists, the date/time values, the roles and the packet intervals must be
// numbers in range: otherwise FieldConversionError is thrown at that field,
// the fields collected before it stay and the rest are left as they were.
// The report (when given) names the failed field.
void ChangeParameter(SysParamRecord &record, const SysParamPanelInput &panel,
                     ChangeParameterReport *report = nullptr);

} // namespace kalmo
