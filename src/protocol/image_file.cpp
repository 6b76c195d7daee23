#include "protocol/image_file.h"

#include "core/codepage.h"
#include "protocol/sys_param_block.h"

#include <QHash>
#include <QStringList>

#include <span>

namespace kalmo {

namespace {

// A label written from one field of the record, and what it sets on reading.
struct FieldRow
{
    const char16_t *label;
    QString ImageRecord::*member;
    ImageField field;
};

// The file's groups of single items, in the order they are written.
constexpr FieldRow kIdentityRows[] = {
    {u"设备序号", &ImageRecord::serialNumber, ImageField::SerialNumber},
    {u"硬件版号", &ImageRecord::hardwareNumber, ImageField::HardwareNumber},
    {u"序列号", &ImageRecord::series, ImageField::Series},
    {u"版本号", &ImageRecord::version, ImageField::Version},
    {u"模块地址", &ImageRecord::moduleAddress, ImageField::ModuleAddress},
    {u"内版本号", &ImageRecord::innerVersion, ImageField::InnerVersion},
    {u"硬地址", &ImageRecord::hardAddress, ImageField::HardAddress},
    {u"软地址", &ImageRecord::moduleAddress, ImageField::ModuleAddress},
    {u"UDP端口号", &ImageRecord::udpPort, ImageField::UdpPort},
};
constexpr FieldRow kTagRows[] = {
    {u"DeviceID号", &ImageRecord::deviceId, ImageField::DeviceId},
    {u"PD_Tag标识", &ImageRecord::pdTag, ImageField::PdTag},
};
constexpr FieldRow kProductionRows[] = {
    {u"生产时间 年月日", &ImageRecord::productionDate, ImageField::ProductionDate},
    {u"生产时间 时分秒", &ImageRecord::productionTime, ImageField::ProductionTime},
};
constexpr FieldRow kSlaveRows[] = {
    {u"电池电压", &ImageRecord::battery, ImageField::Battery},
    {u"DI防抖时间", &ImageRecord::diDebounce, ImageField::DiDebounce},
    {u"从设备最大错误次数", &ImageRecord::slaveMaxErrors, ImageField::SlaveMaxErrors},
    {u"从设备通讯时间间隔", &ImageRecord::slaveCommInterval, ImageField::SlaveCommInterval},
    {u"从设备最大等待时间", &ImageRecord::slaveMaxWait, ImageField::SlaveMaxWait},
    {u"从设备自恢复扫描控制字", &ImageRecord::scanControlWord, ImageField::ScanControlWord},
    {u"从设备自恢复扫描时间间隔", &ImageRecord::scanInterval, ImageField::ScanInterval},
};
constexpr std::span<const FieldRow> kFieldGroups[] = {kIdentityRows, kTagRows, kProductionRows,
                                                      kSlaveRows};

// Numbered labels: the number, then the suffix ("0段IP地址", "1号串口波特率").
constexpr char16_t kIpSuffix[] = u"段IP地址";
constexpr char16_t kMacSuffix[] = u"段MAC地址";

struct PortRow
{
    const char16_t *suffix;
    QString ImagePortValues::*member;
    ImageItemTarget target; // port filled in per port
};

// clang-format off
constexpr PortRow kPortRows[] = {
    {u"号串口检验位", &ImagePortValues::parity,
     {ImageField::PortList, 0, int(ImagePortList::Parity)}},
    {u"号串口数据位", &ImagePortValues::dataBits,
     {ImageField::PortList, 0, int(ImagePortList::DataBits)}},
    {u"号串口停止位", &ImagePortValues::stopBits,
     {ImageField::PortList, 0, int(ImagePortList::StopBits)}},
    {u"号串口波特率", &ImagePortValues::baudRate,
     {ImageField::PortList, 0, int(ImagePortList::BaudRate)}},
    {u"号串口通讯协议", &ImagePortValues::protocol,
     {ImageField::PortList, 0, int(ImagePortList::Protocol)}},
    {u"号串口主从口", &ImagePortValues::masterSlave,
     {ImageField::PortList, 0, int(ImagePortList::MasterSlave)}},
    {u"号串口数据包通讯时间间隔", &ImagePortValues::packetInterval,
     {ImageField::PortPacketInterval, 0, 0}},
};
// clang-format on

// Keys only the reader knows.
struct KeyRow
{
    const char16_t *key;
    ImageField field;
};

// clang-format off
constexpr KeyRow kReaderOnlyKeys[] = {
    {u"员工编号",    ImageField::Ignored},
    {u"部门编号",    ImageField::Ignored},
    {u"Bin文件名称", ImageField::Ignored},
    {u"Bin版本号",   ImageField::Ignored},
    {u"Boot版本号",  ImageField::Ignored},
    {u"IP地址",      ImageField::WholeIp},
    {u"MAC地址",     ImageField::WholeMac},
};
// clang-format on

QString numbered(int n, const char16_t *suffix)
{
    return QString::number(n) + QString::fromUtf16(suffix);
}

// Every key the reader knows, from the same rows the writer uses.
const QHash<QString, ImageItemTarget> &keyTable()
{
    static const QHash<QString, ImageItemTarget> table = [] {
        QHash<QString, ImageItemTarget> t;
        for (const KeyRow &row : kReaderOnlyKeys)
            t.insert(QString::fromUtf16(row.key), {row.field});
        for (std::span<const FieldRow> group : kFieldGroups)
            for (const FieldRow &row : group)
                t.insert(QString::fromUtf16(row.label), {row.field});
        for (int n = 0; n < 4; ++n)
            t.insert(numbered(n, kIpSuffix), {ImageField::IpByte, 0, n});
        for (int n = 0; n < 6; ++n)
            t.insert(numbered(n, kMacSuffix), {ImageField::MacByte, 0, n});
        for (int p = 0; p < 2; ++p)
            for (const PortRow &row : kPortRows) {
                ImageItemTarget target = row.target;
                target.port = p;
                t.insert(numbered(p, row.suffix), target);
            }
        return t;
    }();
    return table;
}

// The value texts of the lists the image reader fills besides the port lists,
// group by group; the port lists' texts are the panel's own items.
struct ValueRow
{
    const char16_t *text;
    int index;
};

// clang-format off
constexpr ValueRow kValueTexts[] = {
    // Yes/no
    {u"NO", 0}, {u"YES", 1},
    // Input type; the empty text is a type of its own
    {u"A/D", 0}, {u"V", 1}, {u"I", 2}, {u"PT01", 3}, {u"J", 4}, {u"E", 5}, {u"N", 6},
    {u"T", 7}, {u"W", 8}, {u"R", 9}, {u"S", 10}, {u"B", 11}, {u"K", 12}, {u"PT100", 13},
    {u"Cu50", 14}, {u"Cu100", 15}, {u"", 16}, {u"R200K", 17}, {u"R470K", 18}, {u"BA1", 19},
    {u"EA", 20},
    // Filter
    {u"无滤波", 0}, {u"4次滤波", 1},
    // Conversion rate
    {u"101.1Hz 90/105ms", 0}, {u"84.5Hz 106/125ms", 1}, {u"61.6Hz 140/170ms", 2},
    {u"30Hz 300/350ms", 3}, {u"15Hz 600/700ms", 4}, {u"7.75Hz 1.2/1.4s", 5},
    {u"3.76Hz 2.4/2.8s", 6}, {u"1.88Hz 4.8/5.6s", 7},
    // Output kind
    {u"开关量输出", 0}, {u"模拟量输出", 1},
    // Output signal
    {u"电流输出", 0}, {u"电压输出", 1},
};
// clang-format on

// Exactly `N` parts of `value` at `separator`.
template <std::size_t N>
std::optional<std::array<QString, N>> splitExactly(const QString &value, QChar separator)
{
    const QStringList parts = value.split(separator);
    if (parts.size() != qsizetype(N)) return std::nullopt;
    std::array<QString, N> out;
    for (std::size_t i = 0; i < N; ++i)
        out[i] = parts[qsizetype(i)];
    return out;
}

// Three unsigned decimal numbers joined by `separator`, no signs or blanks.
std::optional<std::array<int, 3>> threeNumbers(const QString &value, QChar separator)
{
    const auto parts = splitExactly<3>(value, separator);
    if (!parts) return std::nullopt;
    std::array<int, 3> numbers{};
    for (std::size_t i = 0; i < 3; ++i) {
        const QString &part = (*parts)[i];
        // Four digits hold every year; more could only overflow.
        if (part.isEmpty() || part.size() > 4) return std::nullopt;
        for (QChar c : part)
            if (c < u'0' || c > u'9') return std::nullopt;
        numbers[i] = part.toInt();
    }
    return numbers;
}

QString joinedNumbers(int a, int b, int c)
{
    return QStringLiteral("%1-%2-%3").arg(a).arg(b).arg(c);
}

} // namespace

// ---- Grammar --------------------------------------------------------------

void WriteImageItem(QString &text, const QString &label, const QString &value)
{
    const QString crlf = QStringLiteral("\r\n");
    if (label == QString::fromUtf16(kImageLineBreakLabel)) {
        text += kImageGroupLine + crlf;
        return;
    }
    text += label.trimmed().isEmpty() ? QString::fromUtf16(kImageDefaultLabel) : label;
    text += kImageKeySeparator;
    text += value.trimmed().isEmpty() ? QString::fromUtf16(kImageDefaultValue) : value;
    text += kImageItemEnd + crlf;
}

bool breaksImageFile(const QString &value)
{
    return value.contains(kImageItemEnd) || value.contains(kImageKeySeparator);
}

// ---- Writing --------------------------------------------------------------

QList<ImageItem> imageFileItems(const ImageRecord &record)
{
    QList<ImageItem> list;
    const auto add = [&](const QString &label, const QString &value) {
        list.append({label, value});
    };
    const auto items = [&](std::span<const FieldRow> rows) {
        for (const FieldRow &row : rows)
            add(QString::fromUtf16(row.label), record.*row.member);
    };
    const auto groupEnd = [&] { add(QString::fromUtf16(kImageLineBreakLabel), {}); };

    items(kIdentityRows);
    groupEnd();
    items(kTagRows);
    groupEnd();
    for (int n = 0; n < int(record.ip.size()); ++n)
        add(numbered(n, kIpSuffix), record.ip[size_t(n)]);
    groupEnd();
    for (int n = 0; n < int(record.mac.size()); ++n)
        add(numbered(n, kMacSuffix), record.mac[size_t(n)]);
    groupEnd();
    for (int p = 0; p < int(record.ports.size()); ++p) {
        for (const PortRow &row : kPortRows)
            add(numbered(p, row.suffix), record.ports[size_t(p)].*row.member);
        groupEnd();
    }
    items(kProductionRows);
    groupEnd();
    items(kSlaveRows);
    groupEnd();
    return list;
}

QString imageFileText(const ImageRecord &record)
{
    QString text;
    for (const ImageItem &item : imageFileItems(record))
        WriteImageItem(text, item.key, item.value);
    return text;
}

std::optional<QString> labelBreakingImageFile(const ImageRecord &record)
{
    for (const ImageItem &item : imageFileItems(record))
        if (breaksImageFile(item.value)) return item.key;
    return std::nullopt;
}

QByteArray imageFileBytes(const ImageRecord &record)
{
    return cp936::encode(imageFileText(record));
}

QString imageDateText(QDate date)
{
    return joinedNumbers(date.year(), date.month(), date.day());
}

QString imageTimeText(QTime time)
{
    return joinedNumbers(time.hour(), time.minute(), time.second());
}

// ---- Saving checks -----------------------------------------------------------

namespace {

// The device types an image is saved for, with the serial-number prefix of
// each, and the prefix the parameter write composes where it differs.
struct SavableType
{
    const char16_t *deviceType;
    const char16_t *prefix;
    const char16_t *writtenPrefix;
};

// clang-format off
constexpr SavableType kSavableTypes[] = {
    {u"KVRQ101", u"90",  u"090"}, {u"KVRQ103", u"94",  u"094"}, {u"LTNQ101", u"190", nullptr},
    {u"LTNQ102", u"120", nullptr}, {u"KVRQ104", u"198", nullptr}, {u"KVRX201", u"79",  nullptr},
    {u"KVRX206", u"132", nullptr}, {u"KVRX207", u"134", nullptr}, {u"KVRX209", u"133", nullptr},
    {u"KVRX202", u"132", nullptr}, {u"KVRX211", u"197", nullptr}, {u"KVRX212", u"131", nullptr},
    {u"KVRB301", u"127", nullptr}, {u"KVRX203", u"122", nullptr}, {u"KVRQ105", u"186", nullptr},
    {u"KVRQ106", u"185", nullptr}, {u"KVRX204", u"199", nullptr}, {u"KVRX205", u"133", nullptr},
    {u"KVSQ101", u"118", nullptr}, {u"KVRX208", u"135", nullptr}, {u"WYLM101", u"160", nullptr},
    {u"KVRX210", u"136", nullptr},
};
// clang-format on

const SavableType *findSavableType(const QString &deviceType)
{
    for (const SavableType &row : kSavableTypes)
        if (deviceType == QStringView(row.deviceType)) return &row;
    return nullptr;
}

} // namespace

bool imageSavableDeviceType(const QString &deviceType)
{
    return findSavableType(deviceType) != nullptr;
}

bool serialNumberFitsDeviceType(const QString &deviceType, const QString &serialNumber)
{
    const SavableType *row = findSavableType(deviceType);
    if (!row) return true;
    if (serialNumber.startsWith(QStringView(row->prefix))) return true;
    return row->writtenPrefix && serialNumber.startsWith(QStringView(row->writtenPrefix));
}

// ---- Reading --------------------------------------------------------------

QList<ImageItem> readImageItems(const QString &text)
{
    QList<ImageItem> items;
    QStringList pieces = text.split(kImageItemEnd);
    pieces.removeLast(); // what follows the last "|" is no item
    for (const QString &piece : std::as_const(pieces)) {
        const QStringList parts = piece.split(kImageKeySeparator);
        if (parts.size() != 2) continue;
        QStringView key = QStringView(parts[0]).trimmed();
        while (!key.isEmpty() &&
               (key.front() == u'\r' || key.front() == u'\n' || key.front() == kImageGroupLine))
            key = key.mid(1);
        // A key of line ends and "~" alone names nothing.
        if (key.isEmpty()) continue;
        items.append({key.toString(), parts[1].trimmed()});
    }
    return items;
}

QList<ImageItem> readImageFile(const QByteArray &bytes)
{
    return readImageItems(cp936::decode(bytes));
}

int ImageValueIndex(const QString &text)
{
    // No text is in two groups; were one added twice, its first group would win.
    for (const PortList list : {PortList::Parity, PortList::DataBits, PortList::StopBits,
                                PortList::Baud, PortList::Protocol})
        if (const qsizetype index = portListItems(list).indexOf(text); index >= 0)
            return int(index);
    if (const qsizetype index = roleListItems().indexOf(text); index >= 0) return int(index);
    for (const ValueRow &row : kValueTexts)
        if (text == QStringView(row.text)) return row.index;
    return 0;
}

// ---- What a key sets --------------------------------------------------------

std::optional<ImageItemTarget> imageItemTarget(const QString &key)
{
    const auto &table = keyTable();
    const auto found = table.constFind(key);
    if (found == table.constEnd()) return std::nullopt;
    return *found;
}

std::optional<std::array<QString, 4>> splitImageIp(const QString &value)
{
    return splitExactly<4>(value, u'.');
}

std::optional<std::array<QString, 6>> splitImageMac(const QString &value)
{
    return splitExactly<6>(value, u'-');
}

std::optional<QDate> parseImageDate(const QString &value)
{
    const auto n = threeNumbers(value, u'-');
    if (!n) return std::nullopt;
    const QDate date((*n)[0], (*n)[1], (*n)[2]);
    if (!date.isValid()) return std::nullopt;
    return date;
}

std::optional<QTime> parseImageTime(const QString &value)
{
    // One separator throughout: "-" as the file writes it, ":" as typed.
    auto n = threeNumbers(value, u'-');
    if (!n) n = threeNumbers(value, u':');
    if (!n) return std::nullopt;
    const QTime time((*n)[0], (*n)[1], (*n)[2]);
    if (!time.isValid()) return std::nullopt;
    return time;
}

} // namespace kalmo
