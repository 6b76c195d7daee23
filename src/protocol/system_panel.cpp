#include "protocol/system_panel.h"

#include "core/error_log.h"
#include "protocol/command_codes.h"
#include "protocol/device_catalogue.h"
#include "protocol/tag_block.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace kalmo {

namespace {

constexpr char kSetParaLabel[] = "cmdSetPara_Click(Form1)";
const QString kHardwareNumberLengthText = QStringLiteral("硬件版号位数不正确");
const QString kInvalidPropertyText = QStringLiteral("无效属性值");

// The box takes a signed 16-bit number; the device keeps it as 16 bits.
constexpr int kLowestDebounce = -32768;
constexpr int kHighestDebounce = 32767;
// The largest production hour, minute and second the time picker can show.
constexpr int kLastHour = 23;
constexpr int kLastMinute = 59;

// The whole part (rounded down) of a decimal number, as the series box reads it.
std::optional<qint64> wholePart(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)$"));
    const QString trimmed = text.trimmed();
    if (!number.match(trimmed).hasMatch()) return std::nullopt;
    constexpr double kLimit = 9.0e18;
    return qint64(std::clamp(std::floor(trimmed.toDouble()), -kLimit, kLimit));
}

QString upperHex(int value)
{
    return QString::number(value, 16).toUpper();
}

} // namespace

QString normalSeriesText(const QString &text)
{
    const std::optional<qint64> value = wholePart(text);
    return value ? QString::number(std::clamp<qint64>(*value, 0, kLastSeries)) : QString();
}

SysParamDisplay displaySysParam(SysParamRecord &r)
{
    SysParamDisplay d;
    d.series = normalSeriesText(QString::number(r.SerialNumber));
    d.moduleAddress = QString::number(r.SoftAddress);
    for (std::size_t i = 0; i < d.ip.size(); ++i)
        d.ip[i] = QString::number(r.IpAddress[i]);
    d.ports[0] = decodePortSettings(r.Port1Line, r.Port1Protocol);
    d.ports[1] = decodePortSettings(r.Port2Line, r.Port2Protocol);
    d.scanControl = QString::number(r.SelfRecoveryControl);
    d.scanInterval = QString::number(r.SelfRecoveryInterval);
    d.version = versionText(r.Version);

    int year = r.ProductionYear;
    if (year < kFirstProductionYear || year > kLastProductionYear) year = 1900;
    int month = r.ProductionMonth;
    if (month == 0 || month > 12) month = 1;
    int day = r.ProductionDay;
    if (day == 0 || day > 31) day = 1;
    day = std::min(day, QDate(year, month, 1).daysInMonth()); // 31 April is 30 April
    r.ProductionYear = quint16(year);
    r.ProductionMonth = quint8(month);
    r.ProductionDay = quint8(day);
    d.productionDate = QDate(year, month, day);
    if (r.ProductionHour > kLastHour) r.ProductionHour = 0;
    if (r.ProductionMinute > kLastMinute) r.ProductionMinute = 0;
    if (r.ProductionSecond > kLastMinute) r.ProductionSecond = 0;
    d.hour = r.ProductionHour;
    d.minute = r.ProductionMinute;
    d.second = r.ProductionSecond;
    d.roles = {roleIndex(r.Port1Role), roleIndex(r.Port2Role)};

    d.known = findDeviceType(r.DeviceType) != nullptr;
    if (!d.known) return d;
    d.serialNumber = composeSerialNumber(r.DeviceType, year, month, day, d.series);
    d.diDebounce = QString::number(r.DiDebounce);
    d.udpPort = QString::number(r.UdpPort);
    d.cpu = QString::number(r.CpuType);
    d.slaveMaxErrors = QString::number(r.SlaveMaxErrors);
    d.slaveCommInterval = QString::number(r.SlaveCommInterval);
    d.slaveMaxWait = QString::number(r.SlaveMaxWait);
    d.innerVersion = firmwareVersionText(r.FirmwareVersion);
    d.packetIntervals = {QString::number(r.Port1PacketInterval),
                         QString::number(r.Port2PacketInterval)};
    return d;
}

QString displayedDeviceId(const QString &serialNumber)
{
    const bool padded = serialNumber.size() == 14 || serialNumber.size() == 15;
    return QStringLiteral("02") + (padded ? QString(30 - serialNumber.size(), u'0') : QString()) +
           serialNumber;
}

QString applySerialNumberLookup(SystemPanel &panel, const QString &serialNumber)
{
    panel.serialNumber = serialNumber;
    const std::optional<SerialNumberLookup> lookup = lookupSerialNumber(serialNumber);
    if (!lookup) return {};
    panel.deviceType = lookup->deviceTypeText;
    panel.boxes.txtSeries = normalSeriesText(lookup->seriesText);
    if (const auto &date = lookup->productionDate) {
        if (date->year() < kFirstProductionYear || date->year() > kLastProductionYear)
            return kInvalidPropertyText;
        panel.boxes.year = date->year();
        panel.boxes.month = date->month();
        panel.boxes.day = date->day();
    }
    return lookup->logDescription;
}

QString showSysParam(SystemPanel &panel, SysParamRecord &record, const SysParamPanelItems &items,
                     Link link)
{
    panel.bootVersion = bootVersionText(items.BootVersion.value_or(0));
    panel.deviceType = link == Link::Network ? networkLinkTypeName(record.DeviceType)
                                             : serialLinkTypeName(record.DeviceType);
    panel.rs485_2 = {QString::number(items.Rs485_2MaxErrors.value_or(0)),
                     unsigned16Text(items.Rs485_2CommInterval.value_or(0)),
                     unsigned16Text(items.Rs485_2WaitTime.value_or(0))};

    const SysParamDisplay d = displaySysParam(record);
    SysParamPanelInput &b = panel.boxes;
    b.txtSeries = d.series;
    b.txtModuleAddr = d.moduleAddress;
    b.txtIp = d.ip;
    b.ports = d.ports;
    b.ScanCtrl = d.scanControl;
    b.ScanInterval = d.scanInterval;
    panel.version = d.version;
    b.year = d.productionDate.year();
    b.month = d.productionDate.month();
    b.day = d.productionDate.day();
    b.hour = d.hour;
    b.minute = d.minute;
    b.second = d.second;
    b.ComboMS = d.roles;
    if (!d.known) return {};

    QString logDescription;
    if (d.serialNumber) logDescription = applySerialNumberLookup(panel, *d.serialNumber);
    panel.deviceId = displayedDeviceId(panel.serialNumber);
    panel.diDebounce = d.diDebounce;
    b.uPortTxt = d.udpPort;
    b.cpuTxt = d.cpu;
    b.txtSubErr = d.slaveMaxErrors;
    b.txtSubcommIntv = d.slaveCommInterval;
    b.txtSubWaitTime = d.slaveMaxWait;
    panel.innerVersion = d.innerVersion;
    b.txt_RSDataTime = d.packetIntervals;
    // The display turns the MAC address to automatic mode.
    panel.automaticMac = true;
    return logDescription;
}

std::variant<SysParamWrite, SysParamWriteRefusal> prepareSysParamWrite(const SystemPanel &shown,
                                                                       const SysParamRecord &read)
{
    SysParamWriteRefusal refusal;
    const auto refuse = [&](const QString &logLabel, const QString &control, const QString &label,
                            const QString &description) {
        refusal.logLabel = logLabel;
        refusal.control = control;
        refusal.label = label;
        refusal.description = description;
        return refusal;
    };
    const QString setParaLabel = QString::fromUtf8(kSetParaLabel);

    const QString &hardwareNumber = shown.hardwareNumber;
    if (hardwareNumber.size() != 14 && hardwareNumber.size() != 15) {
        refusal.message = kHardwareNumberLengthText;
        return refusal;
    }

    SystemPanel panel = shown;
    SysParamWrite write;
    const std::optional<QString> composed =
        composeSerialNumber(read.DeviceType, panel.boxes.year, panel.boxes.month, panel.boxes.day,
                            panel.boxes.txtSeries, SerialPrefixUse::Write);
    if (composed) {
        if (*composed != panel.serialNumber) applySerialNumberLookup(panel, *composed);
        refusal.serialNumber = *composed;
    }
    write.serialNumber = panel.serialNumber;
    // The serial number fills the last 16 characters of the device ID.
    if (write.serialNumber.size() > 16)
        return refuse(setParaLabel, QStringLiteral("lblNUM"), QStringLiteral("设备序号"),
                      kInvalidPropertyText);
    write.deviceId = (hardwareNumber.size() == 15 ? QStringLiteral("0") : QStringLiteral("00")) +
                     hardwareNumber + QString(16 - write.serialNumber.size(), u'0') +
                     write.serialNumber;
    refusal.deviceId = write.deviceId;

    write.record = read;
    const std::optional<qint64> debounce = panelInteger(panel.diDebounce.trimmed());
    if (!debounce || *debounce < kLowestDebounce || *debounce > kHighestDebounce)
        return refuse(setParaLabel, QStringLiteral("txtDIPrevent"), QStringLiteral("防抖时间(ms)"),
                      debounce ? overflowText() : typeMismatchText());
    write.record.DiDebounce = quint16(qint16(*debounce));

    ChangeParameterReport report;
    try {
        ChangeParameter(write.record, panel.boxes, &report);
    } catch (const FieldConversionError &e) {
        return refuse(QString::fromUtf8(kChangeParameterLabel), e.control(), e.label(),
                      e.description());
    }
    write.roleListsReset = report.roleListsReset;
    if (report.roleListsReset) panel.boxes.ComboMS = {0, 0};

    const struct
    {
        const char *control;
        const char *label;
        qint64 max;
    } rs485_2[] = {
        {"Text_ErrorTimeComm2", "RS485_2设置 最大错误数", 0xFF},
        {"Text_InterTimeComm2", "RS485_2设置 通信间隔ms", 0xFFFF},
        {"Text_WaitTimeComm2", "RS485_2设置 等待时间ms", 0xFFFF},
    };
    std::array<qint64, 3> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::optional<qint64> value = panelInteger(panel.rs485_2[i]);
        if (!value || *value < 0 || *value > rs485_2[i].max)
            return refuse(setParaLabel, QString::fromLatin1(rs485_2[i].control),
                          QString::fromUtf8(rs485_2[i].label),
                          value ? overflowText() : typeMismatchText());
        values[i] = *value;
    }
    write.rs485_2 = {quint8(values[0]), quint16(values[1]), quint16(values[2])};

    try {
        encodePdTag(panel.pdTag);
    } catch (const FieldConversionError &e) {
        return refuse(setParaLabel, e.control(), e.label(), e.description());
    }
    panel.serialNumber = write.serialNumber;
    panel.deviceId = write.deviceId;
    write.panel = panel;
    return write;
}

QString portListText(PortList list, int index)
{
    const QStringList &items = portListItems(list);
    return index >= 0 && index < items.size() ? items[index] : QString();
}

QString roleListText(int index)
{
    return index >= 0 && index < roleListItems().size() ? roleListItems()[index] : QString();
}

ImageRecord imageRecordOf(const SystemPanel &p)
{
    const SysParamPanelInput &b = p.boxes;
    ImageRecord r;
    r.serialNumber = p.serialNumber;
    r.hardwareNumber = p.hardwareNumber;
    r.series = b.txtSeries;
    r.version = p.version;
    r.moduleAddress = b.txtModuleAddr;
    r.innerVersion = p.innerVersion;
    r.hardAddress = p.hardAddress;
    r.udpPort = b.uPortTxt;
    r.deviceId = p.deviceId;
    r.pdTag = p.pdTag;
    r.ip = b.txtIp;
    r.mac = p.mac;
    for (std::size_t port = 0; port < r.ports.size(); ++port) {
        ImagePortValues &v = r.ports[port];
        const PortSettings &lists = b.ports[port];
        v.parity = portListText(PortList::Parity, lists.parity);
        v.dataBits = portListText(PortList::DataBits, lists.dataBits);
        v.stopBits = portListText(PortList::StopBits, lists.stopBits);
        v.baudRate = portListText(PortList::Baud, lists.baud);
        v.protocol = portListText(PortList::Protocol, lists.protocol);
        v.masterSlave = roleListText(b.ComboMS[port]);
        v.packetInterval = b.txt_RSDataTime[port];
    }
    r.productionDate = imageDateText(QDate(b.year, b.month, b.day));
    r.productionTime = imageTimeText(QTime(b.hour, b.minute, b.second));
    r.battery = p.battery;
    r.diDebounce = p.diDebounce;
    r.slaveMaxErrors = b.txtSubErr;
    r.slaveCommInterval = b.txtSubcommIntv;
    r.slaveMaxWait = b.txtSubWaitTime;
    r.scanControlWord = b.ScanCtrl;
    r.scanInterval = b.ScanInterval;
    return r;
}

QString applyImageValue(SystemPanel &p, const ImageItemTarget &target, const QString &value)
{
    SysParamPanelInput &b = p.boxes;
    using F = ImageField;
    switch (target.field) {
    case F::SerialNumber:
        return applySerialNumberLookup(p, value);
    case F::HardwareNumber:
        p.hardwareNumber = value;
        break;
    case F::Series:
        b.txtSeries = normalSeriesText(value);
        break;
    case F::ModuleAddress:
        b.txtModuleAddr = value;
        break;
    case F::InnerVersion:
        p.innerVersion = value;
        break;
    case F::HardAddress:
        p.hardAddress = value;
        break;
    case F::UdpPort:
        b.uPortTxt = value;
        break;
    case F::DeviceId:
        p.deviceId = value;
        break;
    case F::PdTag:
        p.pdTag = value;
        break;
    case F::Battery:
        p.battery = value;
        break;
    case F::DiDebounce:
        p.diDebounce = value;
        break;
    case F::SlaveMaxErrors:
        b.txtSubErr = value;
        break;
    case F::SlaveCommInterval:
        b.txtSubcommIntv = value;
        break;
    case F::SlaveMaxWait:
        b.txtSubWaitTime = value;
        break;
    case F::ScanControlWord:
        b.ScanCtrl = value;
        break;
    case F::ScanInterval:
        b.ScanInterval = value;
        break;
    case F::Version:
        p.version = value;
        break;
    case F::WholeIp: {
        const auto parts = splitImageIp(value);
        if (!parts) throw ProcedureError(kInvalidPropertyText);
        b.txtIp = *parts;
        break;
    }
    case F::IpByte:
        b.txtIp.at(std::size_t(target.index)) = value;
        break;
    case F::MacByte:
        p.mac.at(std::size_t(target.index)) = value;
        break;
    case F::WholeMac: {
        const auto parts = splitImageMac(value);
        if (!parts) throw ProcedureError(kInvalidPropertyText);
        p.mac = *parts;
        break;
    }
    case F::PortList: {
        const int index = ImageValueIndex(value);
        const auto list = ImagePortList(target.index);
        const std::size_t port = std::size_t(target.port);
        // A list takes only an index it has.
        if (list == ImagePortList::MasterSlave) {
            if (index >= roleListItems().size()) throw ProcedureError(kInvalidPropertyText);
            b.ComboMS.at(port) = index;
            break;
        }
        static constexpr PortList kLists[] = {PortList::Parity, PortList::DataBits,
                                              PortList::StopBits, PortList::Baud,
                                              PortList::Protocol};
        const PortList portList = kLists[std::size_t(target.index)];
        if (index >= portListItems(portList).size()) throw ProcedureError(kInvalidPropertyText);
        b.ports.at(port)[portList] = index;
        break;
    }
    case F::PortPacketInterval:
        b.txt_RSDataTime.at(std::size_t(target.port)) = value;
        break;
    case F::ProductionDate: {
        const std::optional<QDate> date = parseImageDate(value);
        if (!date || date->year() < kFirstProductionYear || date->year() > kLastProductionYear)
            throw ProcedureError(kInvalidPropertyText);
        b.year = date->year();
        b.month = date->month();
        b.day = date->day();
        break;
    }
    case F::ProductionTime: {
        const std::optional<QTime> time = parseImageTime(value);
        if (!time) throw ProcedureError(kInvalidPropertyText);
        b.hour = time->hour();
        b.minute = time->minute();
        b.second = time->second();
        break;
    }
    case F::Ignored:
        break;
    }
    return {};
}

std::span<const qint16> sysParamWriteCommands(Link link)
{
    static constexpr qint16 kSerial[] = {serial_cmd::ReadSystemInfo,
                                         serial_cmd::WriteSystemParameters, serial_cmd::WriteTags};
    static constexpr qint16 kNetwork[] = {network_cmd::ReadSystemParameters, network_cmd::ReadTags,
                                          network_cmd::WriteSystemParameters,
                                          network_cmd::WriteTags, network_cmd::ReadTags};
    switch (link) {
    case Link::Serial:
        return kSerial;
    case Link::Network:
        return kNetwork;
    case Link::None:
        break;
    }
    return {};
}

std::optional<std::array<QString, 6>> automaticMacAddress(int deviceType, QDate productionDate,
                                                          const QString &seriesText)
{
    const std::optional<qint64> series = panelInteger(seriesText);
    if (!series) return std::nullopt;
    const auto s = quint16(*series & 0xFFFF);
    return std::array<QString, 6>{
        QStringLiteral("00"),
        deviceType == 4 ? QStringLiteral("FD") : QStringLiteral("FE"),
        upperHex(productionDate.year() % 100),
        s <= 255 ? upperHex(productionDate.month())
                 : upperHex(s >> 8) + upperHex(productionDate.month()),
        upperHex(productionDate.day()),
        upperHex(s & 0xFF),
    };
}

std::optional<quint8> macBoxValue(const QString &text)
{
    if (text.isEmpty()) return std::nullopt;
    quint32 value = 0;
    for (const QChar c : text) {
        const int digit = QStringLiteral("0123456789ABCDEF").indexOf(c.toUpper());
        if (digit < 0) return std::nullopt;
        value = value * 16 + quint32(digit);
        if (value > 0xFF) return std::nullopt;
    }
    return quint8(value);
}

} // namespace kalmo
