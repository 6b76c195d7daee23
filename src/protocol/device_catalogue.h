#pragma once
// The device type catalogue: for each device type code the serial-number
// prefix, the model name, the DI/DO button layout, the version family and
// whether discovery lists it, with the names the two links show when the
// system parameter block arrives. Around it: the serial-number composition
// and lookup, the once-per-start version check, the announcement type-code
// filter and the separate slave-device type numbering.
// Pure functions and plain structs: no widgets, ports, sockets or timers.
#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <array>
#include <optional>
#include <span>

namespace kalmo {

// ---- Texts ----------------------------------------------------------------

// txtDeviceType for a code the serial link does not know.
inline const QString kOtherDeviceText = QStringLiteral("其它设备");
// txtDeviceType for an unknown serial-number prefix, and for a code the
// network link does not know.
inline const QString kUnknownDeviceText = QStringLiteral("未编制设备,无法识别");
inline const QString kVersionTooHighText = QStringLiteral("设备版本过高，请更新调试程序或配置文件");
inline const QString kVersionTooLowText = QStringLiteral("设备版本太低，请检查是否需要升级下位机");


// ---- The catalogue --------------------------------------------------------

enum class VersionFamily : quint8 { NotChecked, A, B };

enum class DidoButtonRole : quint8 {
    Output,         // enabled, captioned
    Input,          // disabled, captioned
    Hidden,         // hidden, enabling left as it is
    DisabledHidden, // disabled and hidden
};

// A run of bt_DIQ buttons with one role. Captioned runs count their channels
// from 0: letters "Q" on buttons 12..15 give Q0..Q3.
struct DidoButtonRun
{
    quint8 first;
    quint8 last;
    DidoButtonRole role;
    const char *letters; // "Q", "HQ", "I", "HI"; nullptr for uncaptioned runs
};

struct DeviceTypeInfo
{
    quint8 code;
    const char *prefix;      // serial-number prefix, 2 or 3 digits
    const char *writePrefix; // prefix the write button composes with
    const char *model;
    std::span<const DidoButtonRun> buttons;
    VersionFamily family; // A, B (A also for any version >= 0x2000), or not checked
    bool listedByDiscovery;
    // txtDeviceType when the block arrives; nullptr: that link does not know
    // the code and shows kOtherDeviceText (serial) / kUnknownDeviceText
    // (network). The serial-number lookup overwrites it afterwards.
    const char *serialLinkName;
    const char *networkLinkName;
};

// Every known type code, in code order.
std::span<const DeviceTypeInfo> deviceCatalogue();
// nullptr for a code the catalogue does not know.
const DeviceTypeInfo *findDeviceType(int code);
// The row whose model name is `model`, or nullptr.
const DeviceTypeInfo *findDeviceTypeByModel(const QString &model);

// txtDeviceType straight from the type code, before the serial-number lookup.
QString serialLinkTypeName(int code);
QString networkLinkTypeName(int code);

// ---- DI/DO buttons --------------------------------------------------------

inline constexpr int kDidoButtonCount = 64;

// What the system-information display does to one bt_DIQ button.
struct DidoButtonSetup
{
    bool touched = false;        // false: the button is left as it is
    std::optional<bool> enabled; // unset: enabling left as it is
    bool visible = true;
    QString caption; // empty: caption left as it is
};

// The setup of every button for a type code; every button untouched for an
// unknown code. Captioned buttons are also made visible again, so a model
// that hides buttons does not leave them hidden for the next one.
std::array<DidoButtonSetup, kDidoButtonCount> didoButtonSetup(int code);

// ---- Serial numbers -------------------------------------------------------

enum class SerialPrefixUse {
    Display, // the system-information display: the catalogue prefix
    Write,   // the write button: "094" for type 4, "090" for type 8
};

// lblNUM for a known type code: prefix + year + two-digit month + two-digit
// day + the last four characters of ("0000" + seriesText). nullopt for an
// unknown code (lblNUM is then left as it is).
std::optional<QString> composeSerialNumber(int code, int year, int month, int day,
                                           const QString &seriesText,
                                           SerialPrefixUse use = SerialPrefixUse::Display);

// What lblNUM_Change puts on the panel.
struct SerialNumberLookup
{
    QString deviceTypeText; // txtDeviceType: the model, or kUnknownDeviceText
    QString seriesText;     // txtSeries: the last four characters
    // The production date for 14 and 15 characters when its digits form a
    // valid date; the picker is set as a whole or not at all.
    std::optional<QDate> productionDate;
    // Non-empty when the date part could not be used: the description of the
    // line the caller appends under kLblNumChangeLabel to ErrorLogFile::Aux.
    QString logDescription;
};

// nullopt when the text has not 14, 15 or 16 characters (nothing changes).
std::optional<SerialNumberLookup> lookupSerialNumber(const QString &serialNumber);

// The model a serial-number prefix stands for in the lookup, or an empty
// string. Takes the catalogue prefixes, the write prefixes "090" and "094"
// and the prefixes known to the lookup only.
QString modelForSerialPrefix(const QString &prefix);

// ---- Discovery ------------------------------------------------------------

// Whether an announcement's three type-code bytes (device ID characters
// 18..20) admit a new device: the three-digit prefix of a catalogue type
// listed by discovery, or FF FF FF (identity never programmed).
bool acceptedByDiscovery(QByteArrayView typeCode);

// ---- Version check --------------------------------------------------------

struct VersionLimits
{
    quint16 lower = 0;
    quint16 upper = 32767;
};

struct VersionCheckResult
{
    bool ran = false; // false: the check stays pending
    VersionFamily family = VersionFamily::NotChecked;
    QString message; // the message box text; empty: no message
};

// Checks the firmware version at most once after each press of the
// communicate button. For an unchecked or unknown type the check stays
// pending for the next display; when it runs it clears the pending mark
// first, whatever the outcome.
class VersionCheck
{
public:
    // The limits the program sets at start-up: 0..32767 for both families.
    void setStartupLimits();
    void setLimits(VersionLimits familyA, VersionLimits familyB);
    bool limitsSet() const { return m_limitsSet; }

    // The communicate button was pressed.
    void arm() { m_pending = true; }
    bool pending() const { return m_pending; }

    VersionCheckResult check(int deviceType, quint16 firmwareVersion);

    // A for types of family A and for any version of 0x2000 or more, else
    // B; NotChecked for unchecked and unknown types.
    static VersionFamily familyOf(int deviceType, quint16 firmwareVersion);

private:
    bool m_pending = false;
    bool m_limitsSet = false;
    VersionLimits m_a;
    VersionLimits m_b;
};

// ---- Slave device types ---------------------------------------------------

struct SlaveTypeInfo
{
    quint8 code;
    int listPosition; // index in the dialog's type list, -1 when not listed
    const char *name;
};

inline const QString kSlaveTypeErrorText = QStringLiteral("错误！");

std::span<const SlaveTypeInfo> slaveTypes();
// The name of a slave type code, or nullopt (the dialog shows kSlaveTypeErrorText).
std::optional<QString> slaveTypeName(int code);
// The code of a type-list text; 0 for a name in no table.
quint16 slaveTypeCode(const QString &name);
// The dialog's type list, in list order.
QStringList slaveTypeListItems();

} // namespace kalmo
