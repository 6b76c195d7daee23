#include "protocol/device_catalogue.h"

#include "core/error_log.h"

#include <algorithm>

namespace kalmo {

namespace {

using enum DidoButtonRole;

// ---- Button layouts -------------------------------------------------------

constexpr DidoButtonRun kQ16I24[] = {{0, 15, Output, "Q"}, {16, 39, Input, "I"}};
constexpr DidoButtonRun kQ32I8[] = {{0, 31, Output, "Q"}, {32, 39, Input, "I"}};
constexpr DidoButtonRun kQ12HQ4I16HI8[] = {
    {0, 11, Output, "Q"}, {12, 15, Output, "HQ"}, {16, 31, Input, "I"}, {32, 39, Input, "HI"}};
constexpr DidoButtonRun kQ16I21[] = {
    {0, 15, Output, "Q"}, {16, 36, Input, "I"}, {37, 39, DisabledHidden, nullptr}};
constexpr DidoButtonRun kQ20I24[] = {{0, 19, Output, "Q"}, {20, 43, Input, "I"}};
constexpr DidoButtonRun kQ8HQ8I8HI8[] = {{0, 7, Output, "Q"},
                                         {8, 15, Output, "HQ"},
                                         {16, 23, Input, "I"},
                                         {24, 31, Input, "HI"},
                                         {32, 39, Hidden, nullptr}};
constexpr DidoButtonRun kQ24I36[] = {{0, 23, Output, "Q"}, {24, 59, Input, "I"}};

constexpr auto A = VersionFamily::A;
constexpr auto B = VersionFamily::B;
constexpr auto NotChecked = VersionFamily::NotChecked;

// One row per type code. The two name columns differ from the model where
// the links show another name on arrival: 42 is known to the network link
// only, and both links call 47 KVRX209 until the serial-number lookup runs.
// clang-format off
constexpr DeviceTypeInfo kCatalogue[] = {
//   code prefix write  model      buttons        family      disc.  serial name  network name
    { 4, "94",  "094", "KVRQ103", kQ32I8,        NotChecked, true,  "KVRQ103",   "KVRQ103"},
    { 8, "90",  "090", "KVRQ101", kQ16I24,       B,          true,  "KVRQ101",   "KVRQ101"},
    {10, "190", "190", "LTNQ101", kQ16I24,       B,          true,  "LTNQ101",   "LTNQ101"},
    {12, "79",  "79",  "KVRX201", kQ12HQ4I16HI8, B,          true,  "KVRX201",   "KVRX201"},
    {15, "118", "118", "KVSQ101", kQ16I21,       B,          true,  "KVSQ101",   "KVSQ101"},
    {24, "199", "199", "KVRX204", kQ12HQ4I16HI8, B,          true,  "KVRX204",   "KVRX204"},
    {25, "122", "122", "KVRX203", kQ12HQ4I16HI8, B,          false, "KVRX203",   "KVRX203"},
    {26, "127", "127", "KVRB301", kQ16I24,       NotChecked, true,  "KVRB301",   "KVRB301"},
    {28, "186", "186", "KVRQ105", kQ20I24,       A,          true,  "KVRQ105",   "KVRQ105"},
    {31, "198", "198", "KVRQ104", kQ12HQ4I16HI8, B,          true,  "KVRQ104",   "KVRQ104"},
    {34, "197", "197", "KVRX211", kQ20I24,       B,          true,  "KVRX211",   "KVRX211"},
    {36, "185", "185", "KVRQ106", kQ16I24,       A,          true,  "KVRQ106",   "KVRQ106"},
    {37, "120", "120", "LTNQ102", kQ16I24,       NotChecked, false, "LTNQ102",   "LTNQ102"},
    {42, "131", "131", "KVRX212", kQ20I24,       B,          true,  nullptr,     "KVRX212"},
    {43, "132", "132", "KVRX206", kQ12HQ4I16HI8, B,          false, "KVRX206",   "KVRX206"},
    {47, "133", "133", "KVRX205", kQ8HQ8I8HI8,   B,          true,  "KVRX209",   "KVRX209"},
    {50, "134", "134", "KVRX207", kQ12HQ4I16HI8, B,          true,  "KVRX207",   "KVRX207"},
    {52, "160", "160", "WYLM101", kQ16I24,       B,          false, "WYLM101",   "WYLM101"},
    {56, "135", "135", "KVRX208", kQ16I24,       B,          true,  "KVRX208",   "KVRX208"},
    {57, "136", "136", "KVRX210", kQ24I36,       B,          false, "KVRX210",   "KVRX210"},
};
// clang-format on

// Serial-number prefixes that no type code produces.
struct LookupOnlyPrefix
{
    const char *prefix;
    const char *model;
};
constexpr LookupOnlyPrefix kLookupOnlyPrefixes[] = {
    {"87", "KVRG501"}, {"85", "TAVG501"}, {"92", "KVRH601"}, {"96", "GALE401"}, {"95", "KVRE401"},
};

// The order in which lblNUM_Change tries the prefixes; the first match decides.
constexpr const char *kLookupOrder[] = {
    "87",  "85",  "92",  "090", "90",  "094", "94",  "96",  "95",
    "190", "120", "198", "127", "122", "199", "133", "118", "186",
    "185", "79",  "132", "134", "197", "131", "135", "136", "160",
};

// ---- Slave device types ---------------------------------------------------

// clang-format off
constexpr SlaveTypeInfo kSlaveTypes[] = {
    {1, 0, "TAVX201"},  {2, 1, "HEBB301"},  {3, 2, "JOPX201"},   {4, 3, "HEBA001"},
    {5, 4, "WUXB301"},  {6, 5, "HEBQ101"},  {7, 6, "KVRQ101"},   {8, 7, "KVRG501"},
    {9, 8, "KVRH601"},  {10, 9, "KVRQ103"}, {11, 10, "KVRQ102"}, {12, 11, "KVRE401"},
    {13, 12, "GALE401"}, {14, 13, "HEBQ103"}, {15, 14, "FIZB301"}, {28, 15, "KVRQ105"},
    {18, -1, "KVRX201"}, {43, -1, "KVRX206"}, {50, -1, "KVRX207"}, {47, -1, "KVRX209"},
    {34, -1, "KVRX211"}, {42, -1, "KVRX212"}, {31, -1, "KVRQ104"},
    {254, 16, "其它设备"}, {255, 17, "未配置设备"},
};
// clang-format on

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

bool allDigits(const QString &text)
{
    return !text.isEmpty() &&
           std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

// ---- The catalogue --------------------------------------------------------

std::span<const DeviceTypeInfo> deviceCatalogue()
{
    return kCatalogue;
}

const DeviceTypeInfo *findDeviceType(int code)
{
    for (const DeviceTypeInfo &row : kCatalogue)
        if (row.code == code) return &row;
    return nullptr;
}

const DeviceTypeInfo *findDeviceTypeByModel(const QString &model)
{
    for (const DeviceTypeInfo &row : kCatalogue)
        if (model == QLatin1StringView(row.model)) return &row;
    return nullptr;
}

QString serialLinkTypeName(int code)
{
    const DeviceTypeInfo *row = findDeviceType(code);
    return row && row->serialLinkName ? QString::fromLatin1(row->serialLinkName) : kOtherDeviceText;
}

QString networkLinkTypeName(int code)
{
    const DeviceTypeInfo *row = findDeviceType(code);
    return row && row->networkLinkName ? QString::fromLatin1(row->networkLinkName)
                                       : kUnknownDeviceText;
}

// ---- DI/DO buttons --------------------------------------------------------

std::array<DidoButtonSetup, kDidoButtonCount> didoButtonSetup(int code)
{
    std::array<DidoButtonSetup, kDidoButtonCount> setup{};
    const DeviceTypeInfo *row = findDeviceType(code);
    if (!row) return setup;
    for (const DidoButtonRun &run : row->buttons) {
        for (int b = run.first; b <= run.last; ++b) {
            DidoButtonSetup &s = setup[std::size_t(b)];
            s.touched = true;
            switch (run.role) {
            case Output:
            case Input:
                s.enabled = run.role == Output;
                s.visible = true;
                s.caption = QString::fromLatin1(run.letters) + QString::number(b - run.first);
                break;
            case Hidden:
                s.visible = false;
                break;
            case DisabledHidden:
                s.enabled = false;
                s.visible = false;
                break;
            }
        }
    }
    return setup;
}

// ---- Serial numbers -------------------------------------------------------

std::optional<QString> composeSerialNumber(int code, int year, int month, int day,
                                           const QString &seriesText, SerialPrefixUse use)
{
    const DeviceTypeInfo *row = findDeviceType(code);
    if (!row) return std::nullopt;
    const char *prefix = use == SerialPrefixUse::Write ? row->writePrefix : row->prefix;
    return QString::fromLatin1(prefix) + QString::number(year) + twoDigits(month) + twoDigits(day) +
           (QStringLiteral("0000") + seriesText).right(4);
}

QString modelForSerialPrefix(const QString &prefix)
{
    for (const DeviceTypeInfo &row : kCatalogue)
        if (prefix == QLatin1StringView(row.prefix) || prefix == QLatin1StringView(row.writePrefix))
            return QString::fromLatin1(row.model);
    for (const LookupOnlyPrefix &p : kLookupOnlyPrefixes)
        if (prefix == QLatin1StringView(p.prefix)) return QString::fromLatin1(p.model);
    return {};
}

std::optional<SerialNumberLookup> lookupSerialNumber(const QString &serialNumber)
{
    const qsizetype length = serialNumber.size();
    if (length != 14 && length != 15 && length != 16) return std::nullopt;

    SerialNumberLookup result;
    const QString prefix = serialNumber.left(length == 14 ? 2 : 3);
    result.deviceTypeText = kUnknownDeviceText;
    for (const char *candidate : kLookupOrder) {
        if (prefix == QLatin1StringView(candidate)) {
            result.deviceTypeText = modelForSerialPrefix(prefix);
            break;
        }
    }
    result.seriesText = serialNumber.right(4);

    if (length == 16) return result;
    const qsizetype at = length == 14 ? 2 : 3;
    const QString year = serialNumber.mid(at, 4);
    const QString month = serialNumber.mid(at + 4, 2);
    const QString day = serialNumber.mid(at + 6, 2);
    if (!allDigits(year) || !allDigits(month) || !allDigits(day)) {
        result.logDescription = typeMismatchText();
        return result;
    }
    const QDate date(year.toInt(), month.toInt(), day.toInt());
    if (!date.isValid()) {
        result.logDescription = QStringLiteral("无效属性值");
        return result;
    }
    result.productionDate = date;
    return result;
}

// ---- Discovery ------------------------------------------------------------

bool acceptedByDiscovery(QByteArrayView typeCode)
{
    if (typeCode == QByteArrayView("\xFF\xFF\xFF", 3)) return true;
    for (const DeviceTypeInfo &row : kCatalogue) {
        if (!row.listedByDiscovery) continue;
        const QByteArray code = QByteArray(row.prefix).rightJustified(3, '0');
        if (typeCode == code) return true;
    }
    return false;
}

// ---- Version check --------------------------------------------------------

void VersionCheck::setStartupLimits()
{
    setLimits(VersionLimits{0, 32767}, VersionLimits{0, 32767});
}

void VersionCheck::setLimits(VersionLimits familyA, VersionLimits familyB)
{
    m_a = familyA;
    m_b = familyB;
    m_limitsSet = true;
}

VersionFamily VersionCheck::familyOf(int deviceType, quint16 firmwareVersion)
{
    const DeviceTypeInfo *row = findDeviceType(deviceType);
    if (!row || row->family == VersionFamily::NotChecked) return VersionFamily::NotChecked;
    if (row->family == VersionFamily::A || firmwareVersion >= 0x2000) return VersionFamily::A;
    return VersionFamily::B;
}

VersionCheckResult VersionCheck::check(int deviceType, quint16 firmwareVersion)
{
    VersionCheckResult result;
    if (!m_pending || !m_limitsSet) return result;
    const VersionFamily family = familyOf(deviceType, firmwareVersion);
    if (family == VersionFamily::NotChecked) return result;
    m_pending = false;
    result.ran = true;
    result.family = family;
    const VersionLimits &limits = family == VersionFamily::A ? m_a : m_b;
    if (firmwareVersion > limits.upper)
        result.message = kVersionTooHighText;
    else if (firmwareVersion < limits.lower)
        result.message = kVersionTooLowText;
    return result;
}

// ---- Slave device types ---------------------------------------------------

std::span<const SlaveTypeInfo> slaveTypes()
{
    return kSlaveTypes;
}

std::optional<QString> slaveTypeName(int code)
{
    for (const SlaveTypeInfo &t : kSlaveTypes)
        if (t.code == code) return QString::fromUtf8(t.name);
    return std::nullopt;
}

quint16 slaveTypeCode(const QString &name)
{
    for (const SlaveTypeInfo &t : kSlaveTypes)
        if (name == QString::fromUtf8(t.name)) return t.code;
    return 0;
}

QStringList slaveTypeListItems()
{
    QStringList items;
    for (int position = 0;; ++position) {
        const auto it =
            std::find_if(std::begin(kSlaveTypes), std::end(kSlaveTypes),
                         [&](const SlaveTypeInfo &t) { return t.listPosition == position; });
        if (it == std::end(kSlaveTypes)) return items;
        items << QString::fromUtf8(it->name);
    }
}

} // namespace kalmo
