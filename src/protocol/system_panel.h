#pragma once
// The system information section without widgets: the values a system
// parameter read puts into the panel's boxes and lists, the serial number's
// model lookup, the checks and collection of the parameter write (F7) and the
// MAC address the automatic mode makes. The window's
// section shows these values in its controls; the command-line front end
// keeps them as they are.
#include "protocol/command_tables.h"
#include "protocol/image_file.h"
#include "protocol/sys_param_block.h"

#include <QDate>
#include <QString>

#include <array>
#include <optional>
#include <span>
#include <variant>

namespace kalmo {

// The production date the pickers can show.
inline constexpr int kFirstProductionYear = 1;
inline constexpr int kLastProductionYear = 3000;
// The largest series number the series box keeps.
inline constexpr int kLastSeries = 4095;

// The series box: the whole part of a number, clamped to 0..4095; a text that
// is no number empties it.
QString normalSeriesText(const QString &text);

// What the panel's boxes hold: the values the write collects (`boxes`) and
// the identity, version and MAC boxes around them. Texts as the controls
// show them.
struct SystemPanel
{
    SysParamPanelInput boxes;
    QString serialNumber;           // lblNUM
    QString deviceType;             // txtDeviceType
    QString hardwareNumber;         // txthardwarenum
    QString deviceId;               // txtDevID
    QString pdTag;                  // txtPD_Tag
    QString diDebounce;             // txtDIPrevent
    std::array<QString, 3> rs485_2; // Text_ErrorTimeComm2, Text_InterTimeComm2, Text_WaitTimeComm2
    QString version;                // lblVersion
    QString innerVersion;           // txtInnerVersion
    QString bootVersion;            // lb_BookNo
    std::array<QString, 6> mac;     // txt_MAC
    bool automaticMac = true;       // ophandornot: the write makes the MAC address
    QString hardAddress;            // txtHardAddr (from the DI/DO read)
    QString battery;                // txtCellPressure (from the DI/DO read)
};

// The text a list shows for a selection: its item, or "" for none.
QString portListText(PortList list, int index);
QString roleListText(int index);

// ---- Parameter images ---------------------------------------------------------

// The panel's values as a parameter image holds them.
ImageRecord imageRecordOf(const SystemPanel &panel);

// One image item put onto the panel, as the controls take it. Throws
// ProcedureError("无效属性值") for a value its control cannot take (an
// address or date that does not parse, a list index the list does not have).
// Returns the log description of a serial number whose date could not be used.
QString applyImageValue(SystemPanel &panel, const ImageItemTarget &target, const QString &value);

// The texts of the system information display for a record, in the order the
// display writes them. Values the pickers cannot show are corrected in the
// record too, so that a write sends what is shown. `known` is false for a
// model the catalogue does not know: the display then stops after the lists
// and leaves the identity and the boxes after it as they were.
struct SysParamDisplay
{
    QString series;
    QString moduleAddress;
    std::array<QString, 4> ip;
    std::array<PortSettings, 2> ports;
    QString scanControl;
    QString scanInterval;
    QString version;
    QDate productionDate;
    int hour = 0, minute = 0, second = 0;
    std::array<int, 2> roles{-1, -1};
    bool known = false;
    std::optional<QString> serialNumber; // composed from type, date and series
    QString diDebounce;
    QString udpPort;
    QString cpu;
    QString slaveMaxErrors;
    QString slaveCommInterval;
    QString slaveMaxWait;
    QString innerVersion;
    std::array<QString, 2> packetIntervals;
};
SysParamDisplay displaySysParam(SysParamRecord &record);

// txtDevID as the display makes it from the serial number.
QString displayedDeviceId(const QString &serialNumber);

// The whole display on a headless panel: the reply's own items (device type by
// link, RS485_2 boxes, boot version), then the record's texts, then the model
// lookup of the composed serial number. The description of a lookup whose
// date could not be used is returned for the log, as the window logs it.
QString showSysParam(SystemPanel &panel, SysParamRecord &record, const SysParamPanelItems &items,
                     Link link);

// What changing the serial number box does to the panel: the model, the
// series and the production date it names. Returns the log description of a
// date that could not be used (empty otherwise).
QString applySerialNumberLookup(SystemPanel &panel, const QString &serialNumber);

// ---- The parameter write ----------------------------------------------------

// What the write sends, collected from the panel at the click.
struct SysParamWrite
{
    SysParamRecord record;
    Rs485_2Settings rs485_2;
    QString serialNumber;        // lblNUM as the write composes it
    QString deviceId;            // txtDevID: hardware number + serial number
    bool roleListsReset = false; // both role lists show index 0 afterwards
    SystemPanel panel;           // the panel as the write leaves it
};

// Why the write was refused: a message box text, or a field that did not
// convert (its control, form label and log description).
struct SysParamWriteRefusal
{
    QString message; // set for a message box; the rest for a field
    QString logLabel;
    QString control;
    QString label;
    QString description;
    // What the write had already put on the panel when it stopped.
    std::optional<QString> serialNumber;
    std::optional<QString> deviceId;
};

// The checks and collection of the write, in the order the write button
// makes them: the hardware number's length, the serial number and device ID,
// the DI debounce, every field of the record (on a copy of `read`), the
// RS485_2 boxes and the PD tag. A serial number that changes runs its model
// lookup on the panel's values before they are collected, as the box does.
std::variant<SysParamWrite, SysParamWriteRefusal> prepareSysParamWrite(const SystemPanel &panel,
                                                                       const SysParamRecord &read);

// The commands the write queues above the idle command, in push order (the
// last runs first). On the network the first tag read of them takes the
// device's tag block as it is (the session's tag capture).
std::span<const qint16> sysParamWriteCommands(Link link);

// The MAC address the automatic mode writes: 00, FE (FD for type 4), the
// production year's last two digits, the month (with the series' high byte in
// front above 255), the day and the series' low byte, as upper-case
// hexadecimal texts. Nothing when the series box holds no number.
std::optional<std::array<QString, 6>> automaticMacAddress(int deviceType, QDate productionDate,
                                                          const QString &seriesText);

// One MAC box: one or more hexadecimal digits worth at most one byte.
std::optional<quint8> macBoxValue(const QString &text);

} // namespace kalmo
