#pragma once
// Parameter image files: one device's panel values as labelled text items
// ("label€value|" CR LF, "~" lines between groups), stored in code page 936
// where "€" is the byte 0x80. Writing the whole file from a record, reading
// the label/value pairs back, and what each label sets. The command-line
// record uses the same reader. Pure functions and plain structs: no widgets,
// no files.
#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QTime>

#include <array>
#include <optional>

namespace kalmo {

// ---- Grammar --------------------------------------------------------------

inline constexpr char16_t kImageKeySeparator = u'\u20AC'; // byte 0x80 in code page 936
inline constexpr char16_t kImageItemEnd = u'|';
inline constexpr char16_t kImageGroupLine = u'~';
// The label that writes a separator line instead of an item.
inline constexpr char16_t kImageLineBreakLabel[] = u"换行符";
// What an empty label and an empty value are written as.
inline constexpr char16_t kImageDefaultLabel[] = u"其它信息";
inline constexpr char16_t kImageDefaultValue[] = u"0";

// Appends one item line (label, "€", value, "|", CR LF) or, for the label
// "换行符", the separator line "~" CR LF. Labels and values that are blank
// after trimming are written as "其它信息" and "0"; anything else as given.
void WriteImageItem(QString &text, const QString &label, const QString &value);

// Whether a value would corrupt an image file: "|" ends an item and "€" splits
// it, so such a value cannot be read back.
bool breaksImageFile(const QString &value);

// One label and its value.
struct ImageItem
{
    QString key;
    QString value;

    friend bool operator==(const ImageItem &, const ImageItem &) = default;
};

// ---- The record written -----------------------------------------------------

// One RS485 port: the displayed texts of its lists and its packet interval.
struct ImagePortValues
{
    QString parity;         // Combo6
    QString dataBits;       // Combo7
    QString stopBits;       // Combo8
    QString baudRate;       // Combo9
    QString protocol;       // Combo10
    QString masterSlave;    // ComboMS
    QString packetInterval; // txt_RSDataTime

    friend bool operator==(const ImagePortValues &, const ImagePortValues &) = default;
};

// The panel's values as the texts the controls show, one field per control.
struct ImageRecord
{
    QString serialNumber;       // lblNUM
    QString hardwareNumber;     // txthardwarenum
    QString series;             // txtSeries
    QString version;            // lblVersion caption
    QString moduleAddress;      // txtModuleAddr, written as "模块地址" and "软地址"
    QString innerVersion;       // txtInnerVersion
    QString hardAddress;        // txtHardAddr
    QString udpPort;            // uPortTxt
    QString deviceId;           // txtDevID
    QString pdTag;              // txtPD_Tag
    std::array<QString, 4> ip;  // txtIp 0..3
    std::array<QString, 6> mac; // txt_MAC 0..5, as shown
    std::array<ImagePortValues, 2> ports;
    QString productionDate;    // "Y-M-D", see imageDateText
    QString productionTime;    // "H-M-S", see imageTimeText
    QString battery;           // txtCellPressure
    QString diDebounce;        // txtDIPrevent
    QString slaveMaxErrors;    // txtSubErr
    QString slaveCommInterval; // txtSubcommIntv
    QString slaveMaxWait;      // txtSubWaitTime
    QString scanControlWord;   // ScanCtrl
    QString scanInterval;      // ScanInterval

    friend bool operator==(const ImageRecord &, const ImageRecord &) = default;
};

// The file's lines in order as label/value pairs, each separator line as the
// label "换行符".
QList<ImageItem> imageFileItems(const ImageRecord &record);
// The label of the first item whose value would corrupt the file, if any.
std::optional<QString> labelBreakingImageFile(const ImageRecord &record);

// The whole file as text: 44 items in the file's order with the eight
// separator lines between the groups and after the last, 52 lines in all.
QString imageFileText(const ImageRecord &record);
// The same text in code page 936, encoded in one piece.
QByteArray imageFileBytes(const ImageRecord &record);

// Production date and time as the file holds them: numbers without leading
// zeros joined by "-" ("2024-3-7", "8-5-0").
QString imageDateText(QDate date);
QString imageTimeText(QTime time);

// ---- Saving checks -----------------------------------------------------------

// Whether an image can be saved for the device type the panel shows.
bool imageSavableDeviceType(const QString &deviceType);
// Whether the serial number starts with the prefix of the device type; a type
// without one always fits. KVRQ101 and KVRQ103 numbers as the parameter write
// composes them ("090…", "094…") fit too.
bool serialNumberFitsDeviceType(const QString &deviceType, const QString &serialNumber);

// ---- Reading ----------------------------------------------------------------

// The label/value pairs of an image text (or a command-line record), in
// order. Only pieces followed by "|" count, so an item without its final "|"
// is lost; a piece that does not split at "€" into exactly two parts is
// skipped. Key = trimmed label stripped of leading CR, LF and "~"; value =
// trimmed value. A piece whose key is empty after that is skipped.
QList<ImageItem> readImageItems(const QString &text);
// The same for a whole file: decoded from code page 936 in one piece before
// any split, so a double-byte character whose second byte is 0x7C or 0x80
// stays one character.
QList<ImageItem> readImageFile(const QByteArray &bytes);

// The list index a value text selects; one table serves every list of the
// panel. A text found nowhere gives 0.
int ImageValueIndex(const QString &text);

// ---- What a key sets ----------------------------------------------------------

enum class ImageField {
    Ignored, // accepted keys whose value is shown nowhere
    SerialNumber,
    HardwareNumber,
    Series,
    Version,
    ModuleAddress,
    InnerVersion,
    HardAddress,
    UdpPort,
    DeviceId,
    PdTag,
    WholeIp,            // "a.b.c.d" into txtIp 0..3, see splitImageIp
    WholeMac,           // "a-b-c-d-e-f" into txt_MAC 0..5, see splitImageMac
    IpByte,             // txtIp index
    MacByte,            // txt_MAC index
    PortList,           // list `index` of port `port` = ImageValueIndex(value)
    PortPacketInterval, // txt_RSDataTime of port `port`
    Battery,
    DiDebounce,
    ProductionDate, // parseImageDate
    ProductionTime, // parseImageTime
    SlaveMaxErrors,
    SlaveCommInterval,
    SlaveMaxWait,
    ScanControlWord,
    ScanInterval,
};

// The lists of a port, as `index` of a PortList target.
enum class ImagePortList { Parity, DataBits, StopBits, BaudRate, Protocol, MasterSlave };

struct ImageItemTarget
{
    ImageField field = ImageField::Ignored;
    int port = 0;  // PortList, PortPacketInterval
    int index = 0; // IpByte, MacByte; the ImagePortList of a PortList

    friend bool operator==(const ImageItemTarget &, const ImageItemTarget &) = default;
};

// What the key sets; nothing for a key the reader does not know. Keys are
// compared exactly.
std::optional<ImageItemTarget> imageItemTarget(const QString &key);

// A whole IP address: exactly four parts at ".".
std::optional<std::array<QString, 4>> splitImageIp(const QString &value);
// A whole MAC address: exactly six parts at "-".
std::optional<std::array<QString, 6>> splitImageMac(const QString &value);
// "Y-M-D"; nothing unless it is a date that exists.
std::optional<QDate> parseImageDate(const QString &value);
// "H-M-S" as written, or "H:M:S"; nothing unless it is a time of day.
std::optional<QTime> parseImageTime(const QString &value);

} // namespace kalmo
