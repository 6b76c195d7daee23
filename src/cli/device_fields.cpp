#include "cli/device_fields.h"

#include "protocol/device_catalogue.h"
#include "protocol/tag_block.h"

#include <QRegularExpression>
#include <QStringList>

namespace kalmo::cli {

namespace {

using Getter = QString (*)(const DeviceState &);
using Checker = std::optional<QString> (*)(const QString &);
using Setter = void (*)(SystemPanel &, const QString &);

struct Row
{
    FieldInfo info;
    Getter get;
    Checker check = nullptr; // writable fields only
    Setter set = nullptr;
};

std::optional<QString> inRange(const QString &value, qint64 low, qint64 high)
{
    const std::optional<qint64> number = panelInteger(value);
    if (!number || *number < low || *number > high)
        return QStringLiteral("a whole number %1..%2").arg(low).arg(high);
    return std::nullopt;
}

template <qint64 Low, qint64 High> std::optional<QString> range(const QString &value)
{
    return inRange(value, Low, High);
}

// "a.b.c.d" with four numbers 0..255.
std::optional<std::array<quint8, 4>> dotted(const QString &value)
{
    const QStringList parts = value.trimmed().split(u'.');
    if (parts.size() != 4) return std::nullopt;
    std::array<quint8, 4> bytes{};
    for (int i = 0; i < 4; ++i) {
        const std::optional<qint64> n = panelInteger(parts[i]);
        if (!n || *n < 0 || *n > 255) return std::nullopt;
        bytes[std::size_t(i)] = quint8(*n);
    }
    return bytes;
}

std::optional<QString> addressCheck(const QString &value)
{
    if (dotted(value)) return std::nullopt;
    return QStringLiteral("an address a.b.c.d, each 0..255");
}

std::optional<std::array<quint8, 6>> macBytes(const QString &value)
{
    const QStringList parts = value.trimmed().split(QRegularExpression(QStringLiteral("[-:]")));
    if (parts.size() != 6) return std::nullopt;
    std::array<quint8, 6> bytes{};
    for (int i = 0; i < 6; ++i) {
        const std::optional<quint8> b = macBoxValue(parts[i]);
        if (!b) return std::nullopt;
        bytes[std::size_t(i)] = *b;
    }
    return bytes;
}

QString macText(const std::array<quint8, 6> &bytes)
{
    QStringList parts;
    for (quint8 b : bytes)
        parts << QStringLiteral("%1").arg(b, 2, 16, QChar(u'0')).toUpper();
    return parts.join(u'-');
}

QString dottedText(const quint8 *bytes)
{
    QStringList parts;
    for (int i = 0; i < 4; ++i)
        parts << QString::number(bytes[i]);
    return parts.join(u'.');
}

QDate panelDate(const SysParamPanelInput &b)
{
    return QDate(b.year, b.month, b.day);
}

std::optional<QDate> parseDate(const QString &value)
{
    const QDate date = QDate::fromString(value.trimmed(), QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid() || date.year() < kFirstProductionYear || date.year() > kLastProductionYear)
        return std::nullopt;
    return date;
}

std::optional<QTime> parseTime(const QString &value)
{
    const QTime time = QTime::fromString(value.trimmed(), QStringLiteral("HH:mm:ss"));
    if (!time.isValid()) return std::nullopt;
    return time;
}

// A port list: its item text, or nothing for no selection.
template <int Port, PortList List> QString portListValue(const DeviceState &s)
{
    const int index = s.panel.boxes.ports[Port][List];
    const QStringList &items = portListItems(List);
    return index >= 0 && index < items.size() ? items[index] : QString();
}
template <PortList List> std::optional<QString> portListCheck(const QString &value)
{
    if (portListItems(List).contains(value.trimmed())) return std::nullopt;
    return QStringLiteral("one of: ") + portListItems(List).join(QStringLiteral(", "));
}
template <int Port, PortList List> void portListSet(SystemPanel &p, const QString &value)
{
    p.boxes.ports[Port][List] = int(portListItems(List).indexOf(value.trimmed()));
}

template <int Port> QString roleValue(const DeviceState &s)
{
    const int index = s.panel.boxes.ComboMS[Port];
    return index >= 0 && index < roleListItems().size() ? roleListItems()[index] : QString();
}
std::optional<QString> roleCheck(const QString &value)
{
    if (roleListItems().contains(value.trimmed())) return std::nullopt;
    return QStringLiteral("one of: ") + roleListItems().join(QStringLiteral(", "));
}
template <int Port> void roleSet(SystemPanel &p, const QString &value)
{
    p.boxes.ComboMS[Port] = int(roleListItems().indexOf(value.trimmed()));
}

#define TEXT_FIELD(member) [](const DeviceState &s) { return s.panel.member; }
#define TEXT_SET(member) [](SystemPanel &p, const QString &v) { p.member = v.trimmed(); }

#define PORT_FIELDS(N, P)                                                                          \
    Row{{"rs485_" #N ".parity", true},                                                             \
        portListValue<P, PortList::Parity>,                                                        \
        portListCheck<PortList::Parity>,                                                           \
        portListSet<P, PortList::Parity>},                                                         \
        Row{{"rs485_" #N ".data_bits", true},                                                      \
            portListValue<P, PortList::DataBits>,                                                  \
            portListCheck<PortList::DataBits>,                                                     \
            portListSet<P, PortList::DataBits>},                                                   \
        Row{{"rs485_" #N ".stop_bits", true},                                                      \
            portListValue<P, PortList::StopBits>,                                                  \
            portListCheck<PortList::StopBits>,                                                     \
            portListSet<P, PortList::StopBits>},                                                   \
        Row{{"rs485_" #N ".baud", true},                                                           \
            portListValue<P, PortList::Baud>,                                                      \
            portListCheck<PortList::Baud>,                                                         \
            portListSet<P, PortList::Baud>},                                                       \
        Row{{"rs485_" #N ".protocol", true},                                                       \
            portListValue<P, PortList::Protocol>,                                                  \
            portListCheck<PortList::Protocol>,                                                     \
            portListSet<P, PortList::Protocol>},                                                   \
        Row{{"rs485_" #N ".role", true}, roleValue<P>, roleCheck, roleSet<P>}, Row                 \
    {                                                                                              \
        {"rs485_" #N ".packet_interval", true}, TEXT_FIELD(boxes.txt_RSDataTime[P]),               \
            range<0, 255>, TEXT_SET(boxes.txt_RSDataTime[P])                                       \
    }

const Row kRows[] = {
    {{"device_type", false}, TEXT_FIELD(deviceType)},
    // As typed into its box: the model, series and production date it names
    // go onto the panel, and the write composes the number from them.
    {{"serial_number", true},
     TEXT_FIELD(serialNumber),
     [](const QString &v) -> std::optional<QString> {
         const auto lookup = lookupSerialNumber(v.trimmed());
         if (lookup && lookup->deviceTypeText != kUnknownDeviceText && lookup->productionDate &&
             lookup->productionDate->year() >= kFirstProductionYear &&
             lookup->productionDate->year() <= kLastProductionYear &&
             !normalSeriesText(lookup->seriesText).isEmpty())
             return std::nullopt;
         return QStringLiteral("14 to 16 digits naming a known model and a production date");
     },
     [](SystemPanel &p, const QString &v) { applySerialNumberLookup(p, v.trimmed()); }},
    // The series box keeps the number it is given in its own form ("-0" is 0).
    {{"series", true},
     TEXT_FIELD(boxes.txtSeries),
     range<0, kLastSeries>,
     [](SystemPanel &p, const QString &v) { p.boxes.txtSeries = normalSeriesText(v); }},
    {{"hardware_number", true},
     TEXT_FIELD(hardwareNumber),
     [](const QString &v) -> std::optional<QString> {
         if (v.size() == 14 || v.size() == 15) return std::nullopt;
         return QStringLiteral("14 or 15 characters");
     },
     [](SystemPanel &p, const QString &v) { p.hardwareNumber = v; }},
    {{"device_id", false}, TEXT_FIELD(deviceId)},
    {{"pd_tag", true},
     TEXT_FIELD(pdTag),
     [](const QString &v) -> std::optional<QString> {
         try {
             encodePdTag(v);
         } catch (const std::exception &) {
             return QStringLiteral("at most 32 bytes in code page 936");
         }
         return std::nullopt;
     },
     [](SystemPanel &p, const QString &v) { p.pdTag = v; }},
    {{"firmware_version", false}, TEXT_FIELD(innerVersion)},
    {{"version", false}, TEXT_FIELD(version)},
    {{"boot_version", false}, TEXT_FIELD(bootVersion)},
    {{"module_address", true},
     TEXT_FIELD(boxes.txtModuleAddr),
     range<0, 255>,
     TEXT_SET(boxes.txtModuleAddr)},
    {{"ip", true},
     [](const DeviceState &s) {
         return s.panel.boxes.txtIp.front().isEmpty()
                    ? QString()
                    : QStringList(s.panel.boxes.txtIp.begin(), s.panel.boxes.txtIp.end())
                          .join(u'.');
     },
     addressCheck,
     [](SystemPanel &p, const QString &v) {
         const auto bytes = dotted(v);
         for (std::size_t i = 0; i < 4; ++i)
             p.boxes.txtIp[i] = QString::number((*bytes)[i]);
     }},
    {{"production_date", true},
     [](const DeviceState &s) {
         return s.sysParamRead ? panelDate(s.panel.boxes).toString(QStringLiteral("yyyy-MM-dd"))
                               : QString();
     },
     [](const QString &v) -> std::optional<QString> {
         if (parseDate(v)) return std::nullopt;
         return QStringLiteral("a date YYYY-MM-DD, year 1..3000");
     },
     [](SystemPanel &p, const QString &v) {
         const QDate d = *parseDate(v);
         p.boxes.year = d.year();
         p.boxes.month = d.month();
         p.boxes.day = d.day();
     }},
    {{"production_time", true},
     [](const DeviceState &s) {
         const SysParamPanelInput &b = s.panel.boxes;
         return s.sysParamRead
                    ? QTime(b.hour, b.minute, b.second).toString(QStringLiteral("HH:mm:ss"))
                    : QString();
     },
     [](const QString &v) -> std::optional<QString> {
         if (parseTime(v)) return std::nullopt;
         return QStringLiteral("a time HH:MM:SS");
     },
     [](SystemPanel &p, const QString &v) {
         const QTime t = *parseTime(v);
         p.boxes.hour = t.hour();
         p.boxes.minute = t.minute();
         p.boxes.second = t.second();
     }},
    PORT_FIELDS(1, 0),
    PORT_FIELDS(2, 1),
    {{"rs485_2.max_errors", true}, TEXT_FIELD(rs485_2[0]), range<0, 255>, TEXT_SET(rs485_2[0])},
    {{"rs485_2.comm_interval_ms", true},
     TEXT_FIELD(rs485_2[1]),
     range<0, 65535>,
     TEXT_SET(rs485_2[1])},
    {{"rs485_2.wait_time_ms", true}, TEXT_FIELD(rs485_2[2]), range<0, 65535>, TEXT_SET(rs485_2[2])},
    {{"di_debounce_ms", true}, TEXT_FIELD(diDebounce), range<-32768, 32767>, TEXT_SET(diDebounce)},
    {{"udp_port", true}, TEXT_FIELD(boxes.uPortTxt), range<0, 65535>, TEXT_SET(boxes.uPortTxt)},
    {{"cpu_type", true}, TEXT_FIELD(boxes.cpuTxt), range<0, 65535>, TEXT_SET(boxes.cpuTxt)},
    {{"slave_max_errors", true},
     TEXT_FIELD(boxes.txtSubErr),
     range<0, 255>,
     TEXT_SET(boxes.txtSubErr)},
    {{"slave_comm_interval_ms", true},
     TEXT_FIELD(boxes.txtSubcommIntv),
     range<0, 65535>,
     TEXT_SET(boxes.txtSubcommIntv)},
    {{"slave_max_wait_ms", true},
     TEXT_FIELD(boxes.txtSubWaitTime),
     range<0, 65535>,
     TEXT_SET(boxes.txtSubWaitTime)},
    {{"scan_control", true}, TEXT_FIELD(boxes.ScanCtrl), range<0, 65535>, TEXT_SET(boxes.ScanCtrl)},
    {{"scan_interval", true},
     TEXT_FIELD(boxes.ScanInterval),
     range<0, 65535>,
     TEXT_SET(boxes.ScanInterval)},
    // Written with the parameters, by their own commands.
    {{"mac", true},
     [](const DeviceState &s) { return s.mac ? macText(*s.mac) : QString(); },
     [](const QString &v) -> std::optional<QString> {
         if (macBytes(v)) return std::nullopt;
         return QStringLiteral("six hexadecimal bytes XX-XX-XX-XX-XX-XX");
     },
     [](SystemPanel &, const QString &) {}},
    {{"gateway", true},
     [](const DeviceState &s) {
         return s.gatewayAndMask ? dottedText(s.gatewayAndMask->data()) : QString();
     },
     addressCheck,
     [](SystemPanel &, const QString &) {}},
    {{"subnet_mask", true},
     [](const DeviceState &s) {
         return s.gatewayAndMask ? dottedText(s.gatewayAndMask->data() + 4) : QString();
     },
     addressCheck,
     [](SystemPanel &, const QString &) {}},
    {{"clock", false},
     [](const DeviceState &s) {
         if (!s.clock) return QString();
         const ClockValue &c = *s.clock;
         return QStringLiteral("%1-%2-%3 %4:%5:%6")
             .arg(c.year, 4, 10, QChar(u'0'))
             .arg(c.month, 2, 10, QChar(u'0'))
             .arg(c.day, 2, 10, QChar(u'0'))
             .arg(c.hour, 2, 10, QChar(u'0'))
             .arg(c.minute, 2, 10, QChar(u'0'))
             .arg(c.second, 2, 10, QChar(u'0'));
     }},
};

const Row *findRow(const QString &name)
{
    for (const Row &row : kRows)
        if (name == QLatin1String(row.info.name)) return &row;
    return nullptr;
}

} // namespace

std::span<const FieldInfo> deviceFields()
{
    static const std::vector<FieldInfo> fields = [] {
        std::vector<FieldInfo> list;
        for (const Row &row : kRows)
            list.push_back(row.info);
        return list;
    }();
    return fields;
}

const FieldInfo *findField(const QString &name)
{
    const Row *row = findRow(name);
    return row ? &row->info : nullptr;
}

QString fieldValue(const DeviceState &state, const QString &name)
{
    const Row *row = findRow(name);
    return row ? row->get(state) : QString();
}

std::optional<QString> checkChange(const FieldChange &change)
{
    const Row *row = findRow(change.name);
    if (!row) return QStringLiteral("unknown field \"%1\"").arg(change.name);
    if (!row->info.writable)
        return QStringLiteral("field \"%1\" cannot be written").arg(change.name);
    if (const auto error = row->check(change.value))
        return QStringLiteral("%1=%2: expected %3").arg(change.name, change.value, *error);
    return std::nullopt;
}

ExtraWrites applyChanges(const QList<FieldChange> &changes, const DeviceState &state,
                         SystemPanel &panel)
{
    ExtraWrites extra;
    std::array<quint8, 8> gateway = state.gatewayAndMask.value_or(std::array<quint8, 8>{});
    bool gatewayChanged = false;
    for (const FieldChange &change : changes) {
        const Row *row = findRow(change.name);
        if (!row || !row->info.writable) continue;
        // A file that read --json wrote names every field: only what differs
        // from the read changes anything.
        if (change.fromFile && row->get(state) == change.value.trimmed()) continue;
        if (change.name == u"mac") {
            extra.mac = macBytes(change.value);
        } else if (change.name == u"gateway" || change.name == u"subnet_mask") {
            const auto bytes = *dotted(change.value);
            std::copy(bytes.begin(), bytes.end(),
                      gateway.begin() + (change.name == u"gateway" ? 0 : 4));
            gatewayChanged = true;
        } else {
            row->set(panel, change.value);
        }
    }
    if (gatewayChanged) extra.gatewayAndMask = gateway;
    if (extra.mac) panel.automaticMac = false;
    return extra;
}

} // namespace kalmo::cli
