#include "protocol/sys_param_block.h"

#include "core/bytes.h"

#include <limits>
#include <type_traits>

namespace kalmo {

namespace {

// ---- Field codecs: one per field type, low byte first ----------------------

template <typename T> struct FieldCodec;

template <> struct FieldCodec<quint8>
{
    static quint8 read(const QByteArray &b, qsizetype at) { return byteAt(b, at); }
    static void write(QByteArray &b, qsizetype at, quint8 v) { setByteAt(b, at, v); }
};

template <> struct FieldCodec<quint16>
{
    static quint16 read(const QByteArray &b, qsizetype at) { return le16At(b, at); }
    static void write(QByteArray &b, qsizetype at, quint16 v) { setLe16At(b, at, v); }
};

template <> struct FieldCodec<qint32>
{
    static qint32 read(const QByteArray &b, qsizetype at)
    {
        return static_cast<qint32>(le32At(b, at));
    }
    static void write(QByteArray &b, qsizetype at, qint32 value)
    {
        setLe32At(b, at, static_cast<quint32>(value));
    }
};

template <std::size_t N> struct FieldCodec<std::array<quint8, N>>
{
    static std::array<quint8, N> read(const QByteArray &b, qsizetype at)
    {
        std::array<quint8, N> v{};
        for (std::size_t i = 0; i < N; ++i)
            v[i] = byteAt(b, at + qsizetype(i));
        return v;
    }
    static void write(QByteArray &b, qsizetype at, const std::array<quint8, N> &v)
    {
        for (std::size_t i = 0; i < N; ++i)
            setByteAt(b, at + qsizetype(i), v[i]);
    }
};

// Seven flags in bits 0..6 of one byte; bit 7 is dropped.
template <> struct FieldCodec<std::array<bool, 7>>
{
    static std::array<bool, 7> read(const QByteArray &b, qsizetype at)
    {
        const quint8 byte = byteAt(b, at);
        std::array<bool, 7> v{};
        for (int i = 0; i < 7; ++i)
            v[i] = (byte >> i) & 1;
        return v;
    }
    static void write(QByteArray &b, qsizetype at, const std::array<bool, 7> &v)
    {
        quint8 byte = 0;
        for (int i = 0; i < 7; ++i)
            byte |= quint8(v[i] ? 1u << i : 0u);
        setByteAt(b, at, byte);
    }
};

template <typename T> struct FieldCodec<std::optional<T>>
{
    static T read(const QByteArray &b, qsizetype at) { return FieldCodec<T>::read(b, at); }
};

// ---- The layout table -------------------------------------------------------

using Decode = void (*)(SysParamRecord &, SysParamPanelItems &, const QByteArray &, qsizetype);
using Encode = void (*)(const SysParamRecord &, const Rs485_2Settings &, QByteArray &, qsizetype);

inline constexpr int kAbsent = -1;

// One item of the block: its offsets in the serial reply (s), the network
// reply (n) and the write image (w), kAbsent where it does not appear.
struct LayoutRow
{
    const char *item;
    int s;
    int n;
    int w;
    Decode decode;
    Encode encode; // set exactly when w != kAbsent
};

template <typename T> struct MemberOf;
template <typename C, typename T> struct MemberOf<T C::*>
{
    using Class = C;
    using Type = T;
};

// A field of the record, in both read layouts and (when w is given) the image.
template <auto Member> constexpr LayoutRow field(const char *item, int s, int n, int w = kAbsent)
{
    using Type = typename MemberOf<decltype(Member)>::Type;
    static_assert(std::is_same_v<typename MemberOf<decltype(Member)>::Class, SysParamRecord>);
    Encode encode = nullptr;
    if (w != kAbsent)
        encode = [](const SysParamRecord &r, const Rs485_2Settings &, QByteArray &b, qsizetype at) {
            FieldCodec<Type>::write(b, at, r.*Member);
        };
    return {item,
            s,
            n,
            w,
            [](SysParamRecord &r, SysParamPanelItems &, const QByteArray &b, qsizetype at) {
                r.*Member = FieldCodec<Type>::read(b, at); // whole field read before it is set
            },
            encode};
}

// A panel item: read from both layouts; written (when it is an RS485_2
// value) from the settings the caller passes.
template <auto Item, auto Setting = nullptr>
constexpr LayoutRow panelItem(const char *item, int s, int n, int w = kAbsent)
{
    using Type = typename MemberOf<decltype(Item)>::Type;
    static_assert(std::is_same_v<typename MemberOf<decltype(Item)>::Class, SysParamPanelItems>);
    Encode encode = nullptr;
    if constexpr (!std::is_same_v<decltype(Setting), std::nullptr_t>) {
        using SettingType = typename MemberOf<decltype(Setting)>::Type;
        encode = [](const SysParamRecord &, const Rs485_2Settings &rs, QByteArray &b,
                    qsizetype at) { FieldCodec<SettingType>::write(b, at, rs.*Setting); };
    }
    return {item,
            s,
            n,
            w,
            [](SysParamRecord &, SysParamPanelItems &p, const QByteArray &b, qsizetype at) {
                p.*Item = FieldCodec<Type>::read(b, at);
            },
            encode};
}

using R = SysParamRecord;
using P = SysParamPanelItems;
using S = Rs485_2Settings;

// In decoding order; each row is (item, serial offset, network offset,
// image offset if written). Serial reply bytes 40, 69..87, 95..106 and network
// reply bytes 49, 78..98, 104..111 are not read.
constexpr LayoutRow kLayout[] = {
    panelItem<&P::BootVersion>("BootVersion", 68, 77),
    panelItem<&P::NoUserProgram>("NoUserProgram", 67, 76),
    field<&R::SerialNumber>("SerialNumber", 3, 12, 0),
    field<&R::IpAddress>("IpAddress", 7, 16, 4),
    field<&R::SoftAddress>("SoftAddress", 11, 20, 8),
    field<&R::SensorTypes>("SensorTypes", 12, 21),
    field<&R::Port1Line>("Port1Line", 19, 28, 9),
    field<&R::Port1Protocol>("Port1Protocol", 20, 29, 10),
    field<&R::Port2Line>("Port2Line", 21, 30, 11),
    field<&R::Port2Protocol>("Port2Protocol", 22, 31, 12),
    field<&R::CarriedByte1>("CarriedByte1", 23, 32, 13),
    field<&R::DiDebounce>("DiDebounce", 24, 33, 14),
    field<&R::CarriedWord>("CarriedWord", 26, 35, 16),
    field<&R::CarriedByte2>("CarriedByte2", 28, 37, 18),
    field<&R::SelfRecoveryControl>("SelfRecoveryControl", 29, 38, 38),
    field<&R::SelfRecoveryInterval>("SelfRecoveryInterval", 31, 40, 40),
    field<&R::DeviceType>("DeviceType", 33, 42),
    field<&R::VersionWord1>("VersionWord1", 34, 43),
    field<&R::VersionWord2>("VersionWord2", 36, 45),
    field<&R::FirmwareVersion>("FirmwareVersion", 38, 47),
    field<&R::Version>("Version", 41, 50),
    field<&R::Spare>("Spare", 42, 51),
    field<&R::ProductionYear>("ProductionYear", 46, 55, 19),
    field<&R::ProductionMonth>("ProductionMonth", 48, 57, 21),
    field<&R::ProductionDay>("ProductionDay", 49, 58, 22),
    field<&R::ProductionHour>("ProductionHour", 50, 59, 23),
    field<&R::ProductionMinute>("ProductionMinute", 51, 60, 24),
    field<&R::ProductionSecond>("ProductionSecond", 52, 61, 25),
    field<&R::Port1Role>("Port1Role", 53, 62, 26),
    field<&R::Port2Role>("Port2Role", 54, 63, 27),
    field<&R::FlagBits>("FlagBits", 55, 64, 28),
    field<&R::UdpPort>("UdpPort", 56, 65, 29),
    field<&R::CpuType>("CpuType", 58, 67, 31),
    field<&R::SlaveMaxErrors>("SlaveMaxErrors", 60, 69, 33),
    field<&R::SlaveCommInterval>("SlaveCommInterval", 61, 70, 34),
    field<&R::SlaveMaxWait>("SlaveMaxWait", 63, 72, 36),
    field<&R::Port1PacketInterval>("Port1PacketInterval", 65, 74, 42),
    field<&R::Port2PacketInterval>("Port2PacketInterval", 66, 75, 43),
    panelItem<&P::Rs485_2MaxErrors, &S::Rs485_2MaxErrors>("Rs485_2MaxErrors", 88, 99, 47),
    panelItem<&P::Rs485_2CommInterval, &S::Rs485_2CommInterval>("Rs485_2CommInterval", 89, 100, 48),
    panelItem<&P::Rs485_2WaitTime, &S::Rs485_2WaitTime>("Rs485_2WaitTime", 91, 102, 50),
    panelItem<&P::FlashFlags>("FlashFlags", 93, 112),
};

// Write image bytes that are not fields.
inline constexpr qsizetype kImageEndMarkerAt = 45; // 0x55 0xAA; byte 44 stays 0

enum class ReadLayout { Serial, Network };

void decodeLayout(ReadLayout layout, const QByteArray &reply, SysParamRecord &record,
                  SysParamPanelItems &items)
{
    for (const LayoutRow &row : kLayout)
        row.decode(record, items, reply, layout == ReadLayout::Serial ? row.s : row.n);
}

// ---- Port lists ---------------------------------------------------------------

struct PortListRow
{
    PortList list;
    int PortSettings::*index;
    int size;
};

constexpr PortListRow kPortLists[] = {
    {PortList::Parity, &PortSettings::parity, 5},
    {PortList::DataBits, &PortSettings::dataBits, 2},
    {PortList::StopBits, &PortSettings::stopBits, 2},
    {PortList::Baud, &PortSettings::baud, 10},
    {PortList::Protocol, &PortSettings::protocol, 7},
};

// The line-byte fields other than parity: (list, mask, shift).
struct LineBits
{
    PortList list;
    quint8 mask;
    int shift;
};

constexpr LineBits kLineBits[] = {
    {PortList::DataBits, 0x20, 5},
    {PortList::StopBits, 0x10, 4},
    {PortList::Baud, 0x0F, 0},
};

constexpr quint8 kParityMask = 0xC0;
constexpr int kParityShift = 6;
constexpr quint8 kMarkFlag = 0x10;
constexpr quint8 kProtocolMask = 0x0F;
constexpr int kSpaceParity = 3;
constexpr int kMarkParity = 4;

// ---- Panel -> record helpers ----------------------------------------------------

[[noreturn]] void fail(const QString &description, const QString &control, const QString &label,
                       ChangeParameterReport *report)
{
    if (report) {
        report->failedControl = control;
        report->failedLabel = label;
    }
    throw FieldConversionError(description, control, label);
}

QString indexed(const char *name, int index)
{
    return QString::fromLatin1(name) + u'_' + QString::number(index);
}

// A box whose number must lie in [low, high]: otherwise the collection ends.
qint64 requireNumber(const QString &text, qint64 low, qint64 high, const QString &control,
                     const QString &label, ChangeParameterReport *report)
{
    const std::optional<qint64> value = panelInteger(text);
    if (!value) fail(typeMismatchText(), control, label, report);
    if (*value < low || *value > high) fail(overflowText(), control, label, report);
    return *value;
}

// A box whose number replaces the field only when it lies in [0, high].
template <typename T> void takeIfInRange(const QString &text, qint64 high, T &field)
{
    const std::optional<qint64> value = panelInteger(text);
    if (value && *value >= 0 && *value <= high) field = static_cast<T>(*value);
}

QString portListControl(PortList list, int port)
{
    static constexpr const char *kNames[] = {"Combo6", "Combo7", "Combo8", "Combo9", "Combo10"};
    return indexed(kNames[int(list)], port);
}

QString portListLabel(PortList list)
{
    switch (list) {
    case PortList::Parity:
        return QStringLiteral("校验位");
    case PortList::DataBits:
        return QStringLiteral("数据位");
    case PortList::StopBits:
        return QStringLiteral("停止位");
    case PortList::Baud:
        return QStringLiteral("波特率");
    case PortList::Protocol:
        return QStringLiteral("协议");
    }
    return {};
}

} // namespace

// ---- Read layouts -------------------------------------------------------------

void decodeSerialSysInfoReply(const QByteArray &reply, SysParamRecord &record,
                              SysParamPanelItems &items)
{
    decodeLayout(ReadLayout::Serial, reply, record, items);
}

void decodeNetworkSysParamReply(const QByteArray &datagram, SysParamRecord &record,
                                SysParamPanelItems &items)
{
    decodeLayout(ReadLayout::Network, datagram, record, items);
}

// ---- Write image ----------------------------------------------------------------

QByteArray sysParamWriteImage(const SysParamRecord &record, const Rs485_2Settings &rs485_2)
{
    QByteArray image(kSysParamImageLength, '\0');
    for (const LayoutRow &row : kLayout)
        if (row.encode) row.encode(record, rs485_2, image, row.w);
    setByteAt(image, kImageEndMarkerAt, 0x55);
    setByteAt(image, kImageEndMarkerAt + 1, 0xAA);
    return image;
}

QByteArray setSysInfoFrame(const SysParamRecord &record, const Rs485_2Settings &rs485_2)
{
    QByteArray frame(kSetSysInfoFrameLength, '\0');
    setByteAt(frame, 2, kSetSysInfoFunction);
    const QByteArray image = sysParamWriteImage(record, rs485_2);
    frame.replace(3, image.size(), image);
    return frame;
}

// ---- Port lists -------------------------------------------------------------------

const QStringList &portListItems(PortList list)
{
    static const QStringList kParity = {QStringLiteral("无校验"), QStringLiteral("奇校验"),
                                        QStringLiteral("偶校验"), QStringLiteral("空格校验"),
                                        QStringLiteral("Mark校验")};
    static const QStringList kDataBits = {QStringLiteral("8位"), QStringLiteral("7位")};
    static const QStringList kStopBits = {QStringLiteral("1位"), QStringLiteral("2位")};
    static const QStringList kBaud = {QStringLiteral("1200bps"),  QStringLiteral("2400bps"),
                                      QStringLiteral("4800bps"),  QStringLiteral("9600bps"),
                                      QStringLiteral("19200bps"), QStringLiteral("38400bps"),
                                      QStringLiteral("57600bps"), QStringLiteral("115200bps"),
                                      QStringLiteral("500K bps"), QStringLiteral("1M bps")};
    static const QStringList kProtocol = {QStringLiteral("Debug"),      QStringLiteral("ModbusRTU"),
                                          QStringLiteral("ModbusASII"), QStringLiteral("Adam"),
                                          QStringLiteral("Panasoic"),   QStringLiteral("S7-200"),
                                          QStringLiteral("OMRON")};
    switch (list) {
    case PortList::Parity:
        return kParity;
    case PortList::DataBits:
        return kDataBits;
    case PortList::StopBits:
        return kStopBits;
    case PortList::Baud:
        return kBaud;
    case PortList::Protocol:
        break;
    }
    return kProtocol;
}

const QStringList &roleListItems()
{
    static const QStringList kRoles = {QStringLiteral("从"), QStringLiteral("主")};
    return kRoles;
}

int &PortSettings::operator[](PortList list)
{
    return this->*kPortLists[int(list)].index;
}

int PortSettings::operator[](PortList list) const
{
    return this->*kPortLists[int(list)].index;
}

PortSettings decodePortSettings(quint8 line, quint8 protocol)
{
    PortSettings s;
    s.parity = (line & kParityMask) >> kParityShift;
    if (s.parity == kSpaceParity && (protocol & kMarkFlag)) s.parity = kMarkParity;
    for (const LineBits &bits : kLineBits)
        s[bits.list] = (line & bits.mask) >> bits.shift;
    s.protocol = protocol & kProtocolMask;
    for (const PortListRow &row : kPortLists)
        if (s.*row.index >= row.size) s.*row.index = -1; // a code the list has no entry for
    return s;
}

std::optional<PortList> invalidPortList(const PortSettings &settings)
{
    for (const PortListRow &row : kPortLists) {
        const int index = settings.*row.index;
        if (index < -1 || index >= row.size) return row.list;
    }
    return std::nullopt;
}

void encodePortSettings(const PortSettings &settings, quint8 &line, quint8 &protocol)
{
    if (invalidPortList(settings)) throw ProcedureError(overflowText());
    quint8 newLine = line;
    quint8 newProtocol = protocol;
    const bool keptMark = newProtocol & kMarkFlag;
    if (settings.protocol >= 0) newProtocol = quint8(settings.protocol);
    if (settings.parity >= 0) {
        const int bits = settings.parity == kMarkParity ? kSpaceParity : settings.parity;
        newLine = quint8((newLine & ~kParityMask) | (bits << kParityShift));
        newProtocol =
            quint8((newProtocol & ~kMarkFlag) | (settings.parity == kMarkParity ? kMarkFlag : 0));
    } else if (keptMark) {
        newProtocol |= kMarkFlag;
    }
    for (const LineBits &bits : kLineBits) {
        const int index = settings[bits.list];
        if (index >= 0) newLine = quint8((newLine & ~bits.mask) | (index << bits.shift));
    }
    line = newLine;
    protocol = newProtocol;
}

int roleIndex(quint8 role)
{
    return role <= 1 ? role : -1;
}

// ---- Display texts --------------------------------------------------------------

QString firmwareVersionText(quint16 firmwareVersion)
{
    const QString digits = QStringLiteral("%1").arg(firmwareVersion, 4, 16, QChar(u'0')).toUpper();
    return digits.left(1) + u'.' + digits.mid(1);
}

QString versionText(quint8 version)
{
    const QString digits = QStringLiteral("%1").arg(version, 2, 16, QChar(u'0')).toUpper();
    return digits.left(1) + u'.' + digits.mid(1);
}

QString bootVersionText(quint8 bootVersion)
{
    return QString::number(bootVersion >> 4) + u'.' + QString::number(bootVersion & 0x0F);
}

QString unsigned16Text(qint32 value)
{
    return QString::number(value < 0 ? qint64(value) + 65536 : qint64(value));
}

// ---- Panel -> record --------------------------------------------------------------

std::optional<qint64> panelInteger(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) {
        negative = t[i] == u'-';
        ++i;
    }
    if (i == t.size()) return std::nullopt;
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    qint64 value = 0;
    for (; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        if (c < u'0' || c > u'9') return std::nullopt;
        const int digit = c - u'0';
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return negative ? -value : value;
}

FieldConversionError::FieldConversionError(const QString &description, const QString &control,
                                           const QString &label)
    : ProcedureError(description), m_control(control), m_label(label)
{
}

void ChangeParameter(SysParamRecord &record, const SysParamPanelInput &panel,
                     ChangeParameterReport *report)
{
    if (report) *report = {};
    constexpr qint64 kLongMin = std::numeric_limits<qint32>::min();
    constexpr qint64 kLongMax = std::numeric_limits<qint32>::max();

    // Module address and series: the remainder keeps the sign of the number,
    // so a negative module address does not fit its byte.
    const qint64 module =
        requireNumber(panel.txtModuleAddr, kLongMin, kLongMax, QStringLiteral("txtModuleAddr"),
                      QStringLiteral("模块地址"), report) %
        256;
    if (module < 0)
        fail(overflowText(), QStringLiteral("txtModuleAddr"), QStringLiteral("模块地址"), report);
    record.SoftAddress = quint8(module);
    record.SerialNumber =
        qint32(requireNumber(panel.txtSeries, kLongMin, kLongMax, QStringLiteral("txtSeries"),
                             QStringLiteral("序列号"), report) %
               65536);

    for (int i = 0; i < 4; ++i)
        record.IpAddress[i] = quint8(requireNumber(panel.txtIp[i], 0, 255, indexed("txtIp", i),
                                                   QStringLiteral("IP"), report));

    for (int port = 0; port < 2; ++port) {
        const PortSettings &settings = panel.ports[port];
        if (const std::optional<PortList> bad = invalidPortList(settings))
            fail(overflowText(), portListControl(*bad, port), portListLabel(*bad), report);
        quint8 &line = port == 0 ? record.Port1Line : record.Port2Line;
        quint8 &protocol = port == 0 ? record.Port1Protocol : record.Port2Protocol;
        encodePortSettings(settings, line, protocol);
    }

    // Production date and time.
    const auto byteValue = [&](int value, const char *control) {
        if (value < 0 || value > 255)
            fail(overflowText(), QString::fromLatin1(control), QStringLiteral("生产时间"), report);
        return quint8(value);
    };
    record.ProductionYear = (panel.year < 1 || panel.year > 3000) ? 1900 : quint16(panel.year);
    record.ProductionMonth = byteValue(panel.month, "datePicker");
    record.ProductionDay = byteValue(panel.day, "datePicker");
    record.ProductionHour = byteValue(panel.hour, "timePicker");
    record.ProductionMinute = byteValue(panel.minute, "timePicker");
    record.ProductionSecond = byteValue(panel.second, "timePicker");

    // Master/slave: both must be chosen, or both ports become slaves.
    for (int port = 0; port < 2; ++port)
        if (panel.ComboMS[port] < -1 || panel.ComboMS[port] >= roleListItems().size())
            fail(overflowText(), indexed("ComboMS", port), QStringLiteral("主从"), report);
    if (panel.ComboMS[0] < 0 || panel.ComboMS[1] < 0) {
        record.Port1Role = 0;
        record.Port2Role = 0;
        if (report) report->roleListsReset = true;
    } else {
        record.Port1Role = quint8(panel.ComboMS[0]);
        record.Port2Role = quint8(panel.ComboMS[1]);
    }

    takeIfInRange(panel.uPortTxt, 65535, record.UdpPort);
    takeIfInRange(panel.cpuTxt, 65535, record.CpuType);
    takeIfInRange(panel.txtSubcommIntv, 65535, record.SlaveCommInterval);
    takeIfInRange(panel.txtSubWaitTime, 65535, record.SlaveMaxWait);
    takeIfInRange(panel.ScanCtrl, 65535, record.SelfRecoveryControl);
    takeIfInRange(panel.ScanInterval, 65535, record.SelfRecoveryInterval);
    takeIfInRange(panel.txtSubErr, 255, record.SlaveMaxErrors);

    record.Port1PacketInterval =
        quint8(requireNumber(panel.txt_RSDataTime[0], 0, 255, indexed("txt_RSDataTime", 0),
                             QStringLiteral("间隔时间"), report));
    record.Port2PacketInterval =
        quint8(requireNumber(panel.txt_RSDataTime[1], 0, 255, indexed("txt_RSDataTime", 1),
                             QStringLiteral("间隔时间"), report));
}

} // namespace kalmo
