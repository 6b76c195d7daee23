#include "features/system_info/system_info_feature.h"

#include "core/error_log.h"
#include "features/common/controls.h"
#include "features/common/number_box.h"
#include "protocol/command_codes.h"
#include "protocol/device_catalogue.h"
#include "protocol/network_reply.h"
#include "protocol/tag_block.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>

#include <algorithm>
#include <exception>

namespace kalmo {

namespace {

const QString kNoUserProgramMessage = QStringLiteral("无用户程序，请升级用户程序");
constexpr char kLblNumChangeLabel[] = "lblNUM_Change(Form1)";
constexpr char kDistributeTagsLabel[] = "DistributePDTagandDeviceID(Form1)";

constexpr char kDistributeSysParamLabel[] = "DistributeSysParam(Form1)";
constexpr char kShowSysInfoLabel[] = "ShowSysInfo(Form1)";
constexpr char kGetSysLabel[] = "cmdGetSys_Click(Form1)";
constexpr char kSetParaLabel[] = "cmdSetPara_Click(Form1)";
constexpr char kSetSysInfoLabel[] = "SetSysInfo(Form1)";
constexpr char kSetPdtagLabel[] = "SetPdtag(Form1)";
constexpr char kStorePdTagLabel[] = "StorePDTag(Form1)";
const QString kWritingSysInfoText = QStringLiteral("正在设置系统信息，请稍候");
const QString kInvalidPropertyText = QStringLiteral("无效属性值");

// The production pickers after "停止", and while no device has been read.
const QDate kStoppedProductionDate(1976, 4, 5);
const QDate kNoProductionDate(1900, 1, 1);

// A box of the RS485_2 frame read as a number 0..max. A box that does not
// hold one gives the format error that names the box's label.
struct NumericBox
{
    const QLineEdit *box;
    QString label;
    qint64 max;
};

std::optional<BuildOutcome> readBox(const NumericBox &field, qint64 &value)
{
    const std::optional<qint64> number = panelInteger(field.box->text());
    if (!number)
        return BuildOutcome::formatError(field.label, QString::fromUtf8(kSetSysInfoLabel),
                                         typeMismatchText());
    if (*number < 0 || *number > field.max)
        return BuildOutcome::formatError(field.label, QString::fromUtf8(kSetSysInfoLabel),
                                         overflowText());
    value = *number;
    return std::nullopt;
}

VersionLimits versionLimits(const RangeBounds &range)
{
    const auto clamp = [](qint32 v) { return quint16(std::clamp<qint32>(v, 0, 0xFFFF)); };
    return VersionLimits{clamp(range.lower), clamp(range.upper)};
}

} // namespace

SystemInfoFeature::SystemInfoFeature(const FeatureContext &context, QObject *parent)
    : Feature(context, parent), m_panel(new SystemInfoPanel)
{
    connect(m_panel->cmdGetSys, &QPushButton::clicked, this, &SystemInfoFeature::cmdGetSys_Click);
    connect(m_panel->txtSeries, &QLineEdit::textChanged, this,
            &SystemInfoFeature::txtSeries_Change);
    connect(m_panel->lblNUM, &QLineEdit::textChanged, this, &SystemInfoFeature::lblNUM_Change);

    Session &s = session();
    using A = SerialReplyAction;
    using N = NetworkReplyAction;
    s.registerBuilder(Builder::SetSysInfo, [this](BuildContext &c) { return buildSetSysInfo(c); });
    s.registerBuilder(Builder::TagWrite, [this](BuildContext &c) { return buildTagWrite(c); });
    s.handle(A::SystemInformation, [this](const Reply &r) {
        showSysParamReply(Link::Serial, [&](SysParamPanelItems &items) {
            decodeSerialSysInfoReply(r.bytes, session().sysParam, items);
        });
    });
    s.handle(N::SysParam, [this](const Reply &) { DistributeSysParam(); });
    s.handle(A::SensorTypes, [this](const Reply &r) {
        std::array<quint8, 7> &types = session().sysParam.SensorTypes;
        for (std::size_t i = 0; i < types.size(); ++i)
            types[i] = r.data(qsizetype(i));
    });
    s.handle(A::TagRead, [this](const Reply &r) { showTags(r.bytes); });
    s.handle(A::PdTagEcho, [this](const Reply &r) {
        m_panel->txtPD_Tag->setText(decodeSerialTagWriteEcho(r.bytes));
    });
    s.handle(N::Tags, [this](const Reply &) { DistributePDTagandDeviceID(); });
    s.handle(N::Dump, [this](const Reply &r) { appendDump(r.bytes); });

    requests().productionDate = [this] { return m_panel->datePicker->date(); };
    requests().seriesText = [this] { return m_panel->txtSeries->text(); };
    requests().didoRead.listen([this](const DidoReading &reading) { showDidoItems(reading); });
    requests().collectImage.listen([this](ImageRecord &record) { collectImage(record); });
    requests().deviceTypeText = [this] { return m_panel->txtDeviceType->text(); };
    requests().imageValue.listen([this](const ImageItemTarget &target, const QString &value) {
        showImageValue(target, value);
    });
}

void SystemInfoFeature::ShowSysInfo()
{
    runLogged(kShowSysInfoLabel, [&] {
        SystemInfoPanel &p = *m_panel;
        SysParamRecord &r = session().sysParam;

        p.cmdSetPara->setEnabled(true);
        requests().systemInformationShowing();

        // The record keeps the values corrected for the pickers, so that a
        // write sends what is shown.
        const SysParamDisplay d = displaySysParam(r);
        p.txtSeries->setText(d.series);
        p.txtModuleAddr->setText(d.moduleAddress);
        for (std::size_t i = 0; i < p.txtIp.size(); ++i)
            p.txtIp[i]->setText(d.ip[i]);

        for (std::size_t port = 0; port < 2; ++port)
            for (QComboBox *list : {p.Combo6[port], p.Combo7[port], p.Combo8[port], p.Combo9[port],
                                    p.Combo10[port], p.ComboMS[port]})
                list->setEnabled(true);
        p.datePicker->setEnabled(true);
        p.timePicker->setEnabled(true);

        p.showPortSettings(0, d.ports[0]);
        p.showPortSettings(1, d.ports[1]);
        p.ScanCtrl->setText(d.scanControl);
        p.ScanInterval->setText(d.scanInterval);
        p.lblVersion->setText(d.version);
        p.datePicker->setDate(d.productionDate);
        p.timePicker->setTime(QTime(d.hour, d.minute, d.second));
        p.ComboMS[0]->setCurrentIndex(d.roles[0]);
        p.ComboMS[1]->setCurrentIndex(d.roles[1]);

        // An unknown model shows no more than this.
        if (!d.known) {
            requests().systemInformationShown(false);
            return;
        }
        if (d.serialNumber) {
            // The lookup names the model even when the number has not changed
            // since the last read (the block's arrival has just put the
            // link's own name into txtDeviceType).
            if (p.lblNUM->text() == *d.serialNumber)
                lblNUM_Change();
            else
                p.lblNUM->setText(*d.serialNumber);
        }
        p.txtDevID->setText(displayedDeviceId(p.lblNUM->text()));

        p.txtDIPrevent->setText(d.diDebounce);
        p.uPortTxt->setText(d.udpPort);
        p.cpuTxt->setText(d.cpu);
        p.txtSubErr->setText(d.slaveMaxErrors);
        p.txtSubcommIntv->setText(d.slaveCommInterval);
        p.txtSubWaitTime->setText(d.slaveMaxWait);
        p.txtInnerVersion->setText(d.innerVersion);
        p.txt_RSDataTime[0]->setText(d.packetIntervals[0]);
        p.txt_RSDataTime[1]->setText(d.packetIntervals[1]);

        requests().systemInformationShown(true);
        checkFirmwareVersion();
        window().ForCustomer();
    });
}

void SystemInfoFeature::cmdGetSys_Click()
{
    runLogged(kGetSysLabel, [&] {
        CommandStack &stack = session().dispatcher().stack();
        switch (window().chosenLink()) {
        case Link::Serial:
            for (qint16 code :
                 {serial_cmd::ReadSystemInfo, serial_cmd::ReadGateway, serial_cmd::ReadTags})
                stack.push(code);
            break;
        case Link::Network:
            for (qint16 code : {network_cmd::ReadSystemParameters, network_cmd::ReadGateway,
                                network_cmd::ReadTags})
                stack.push(code);
            session().tagCaptureFlag = 0;
            break;
        case Link::None:
            break;
        }
        requests().readClock();
    });
}

SystemPanel SystemInfoFeature::panelValues() const
{
    const SystemInfoPanel &p = *m_panel;
    SystemPanel v;
    v.boxes = p.input();
    v.serialNumber = p.lblNUM->text();
    v.deviceType = p.txtDeviceType->text();
    v.hardwareNumber = p.txthardwarenum->text();
    v.deviceId = p.txtDevID->text();
    v.pdTag = p.txtPD_Tag->text();
    v.diDebounce = p.txtDIPrevent->text();
    v.rs485_2 = {p.Text_ErrorTimeComm2->text(), p.Text_InterTimeComm2->text(),
                 p.Text_WaitTimeComm2->text()};
    return v;
}

void SystemInfoFeature::cmdSetPara_Click()
{
    runLogged(kSetParaLabel, [&] {
        SystemInfoPanel &p = *m_panel;

        // Everything is checked and collected into a copy first: a box that
        // does not convert stops the write with nothing queued and the
        // record as read.
        const auto prepared = prepareSysParamWrite(panelValues(), session().sysParam);
        if (const auto *refusal = std::get_if<SysParamWriteRefusal>(&prepared)) {
            // What the write had shown before it stopped stays shown.
            if (refusal->serialNumber) p.lblNUM->setText(*refusal->serialNumber);
            if (refusal->deviceId) p.txtDevID->setText(*refusal->deviceId);
            if (!refusal->message.isEmpty())
                window().showBox({QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                                  refusal->message});
            else
                window().refuseField(refusal->control, refusal->label, refusal->logLabel,
                                     refusal->description);
            return;
        }
        const SysParamWrite &write = std::get<SysParamWrite>(prepared);
        p.lblNUM->setText(write.serialNumber);
        p.txtDevID->setText(write.deviceId);
        if (write.roleListsReset)
            for (QComboBox *list : p.ComboMS)
                list->setCurrentIndex(0);
        const SysParamRecord &record = write.record;

        session().sysParam = record;
        m_recordToWrite = record;
        const Link link = window().chosenLink();
        if (link == Link::None) return;
        session().dispatcher().stack().load(link == Link::Serial ? kSerialIdleCommand
                                                                 : kNetworkIdleCommand,
                                            sysParamWriteCommands(link));
        if (link == Link::Network) session().tagCaptureFlag = 1;
        window().setStatus(kWritingSysInfoText);
        requests().writeMac();
    });
}

void SystemInfoFeature::lblNUM_Change()
{
    runLogged(
        kLblNumChangeLabel,
        [&] {
            const std::optional<SerialNumberLookup> lookup =
                lookupSerialNumber(m_panel->lblNUM->text());
            if (!lookup) return;
            m_panel->txtDeviceType->setText(lookup->deviceTypeText);
            m_panel->txtSeries->setText(lookup->seriesText);
            if (const auto &date = lookup->productionDate) {
                QDateEdit *picker = m_panel->datePicker;
                if (*date < picker->minimumDate() || *date > picker->maximumDate())
                    throw ProcedureError(kInvalidPropertyText);
                picker->setDate(*date);
            }
            if (!lookup->logDescription.isEmpty()) throw ProcedureError(lookup->logDescription);
        },
        ErrorLogFile::Aux);
}

void SystemInfoFeature::txtSeries_Change()
{
    QLineEdit *box = m_panel->txtSeries;
    const QString normal = normalSeriesText(box->text());
    if (normal != box->text()) box->setText(normal);
}

// The panel steps of a system-parameter read on either link, in the panel's
// order. The codec keeps what it has decoded when the reply ends early; the
// panel is filled up to the first item that is missing and the failure then
// ends the caller.
void SystemInfoFeature::showSysParamReply(Link link,
                                          const std::function<void(SysParamPanelItems &)> &decode)
{
    static const QColor lampOn(255, 0, 0);
    static const QColor lampOff(0, 255, 0);

    SysParamPanelItems items;
    std::exception_ptr failure;
    try {
        decode(items);
    } catch (const std::exception &) {
        failure = std::current_exception();
    }
    const auto need = [&failure](bool decoded) {
        if (decoded) return;
        if (failure) std::rethrow_exception(failure);
        throw ProcedureError(subscriptOutOfRangeText());
    };

    need(items.BootVersion.has_value());
    m_panel->lb_BookNo->setText(bootVersionText(*items.BootVersion));

    need(items.NoUserProgram.has_value());
    if (*items.NoUserProgram == 1) {
        window().showBox(
            {QMessageBox::NoIcon, QApplication::applicationDisplayName(), kNoUserProgramMessage});
        requests().noUserProgram(link);
    }

    // The record's fields lie in front of the boot version: they are all
    // decoded once it is.
    requests().systemBlockArriving();

    m_panel->txtDeviceType->setText(link == Link::Network
                                        ? networkLinkTypeName(session().sysParam.DeviceType)
                                        : serialLinkTypeName(session().sysParam.DeviceType));

    need(items.Rs485_2MaxErrors.has_value());
    m_panel->Text_ErrorTimeComm2->setText(QString::number(*items.Rs485_2MaxErrors));
    need(items.Rs485_2CommInterval.has_value());
    m_panel->Text_InterTimeComm2->setText(unsigned16Text(*items.Rs485_2CommInterval));
    need(items.Rs485_2WaitTime.has_value());
    m_panel->Text_WaitTimeComm2->setText(unsigned16Text(*items.Rs485_2WaitTime));

    need(items.FlashFlags.has_value());
    for (std::size_t i = 0; i < m_panel->shpFlash.size(); ++i)
        m_panel->shpFlash[i]->setColor((*items.FlashFlags >> i) & 1 ? lampOn : lampOff);

    ShowSysInfo();
}

void SystemInfoFeature::DistributeSysParam()
{
    runLogged(kDistributeSysParamLabel, [&] {
        showSysParamReply(Link::Network, [&](SysParamPanelItems &items) {
            decodeNetworkSysParamReply(session().networkReply, session().sysParam, items);
        });
    });
}

void SystemInfoFeature::showDefaultRs485_2Settings()
{
    m_panel->Text_ErrorTimeComm2->setText(QStringLiteral("10"));
    m_panel->Text_InterTimeComm2->setText(QStringLiteral("100"));
    m_panel->Text_WaitTimeComm2->setText(QStringLiteral("1000"));
}

// Once per start: a firmware version outside the family's range is named.
void SystemInfoFeature::checkFirmwareVersion()
{
    const SysParamRecord &r = session().sysParam;
    // Family A takes the first range, family B the second.
    if (rangeTableValid)
        versionCheck.setLimits(versionLimits(rangeTable[0]), versionLimits(rangeTable[1]));
    const VersionCheckResult check = versionCheck.check(r.DeviceType, r.FirmwareVersion);
    if (!check.message.isEmpty())
        window().showBox(
            {QMessageBox::Information, QApplication::applicationDisplayName(), check.message});
}

// ---- Identity tags ---------------------------------------------------------------

void SystemInfoFeature::showTags(const QByteArray &reply)
{
    // Each text is shown as soon as it is decoded; a reply cut short inside
    // the PD tag leaves the hardware number shown.
    TagReading tags;
    try {
        decodeSerialTagReply(reply, tags);
    } catch (const std::exception &) {
        if (tags.hardwareNumber) m_panel->txthardwarenum->setText(*tags.hardwareNumber);
        throw;
    }
    m_panel->txthardwarenum->setText(tags.hardwareNumber.value_or(QString()));
    m_panel->txtPD_Tag->setText(tags.pdTag.value_or(QString()));
}

void SystemInfoFeature::DistributePDTagandDeviceID()
{
    runLogged(kDistributeTagsLabel, [&] {
        // The tag block is the reply's data: device ID at 12..43, PD tag at 44..75.
        TagReading tags;
        std::exception_ptr failure;
        try {
            decodeNetworkTagReply(session().networkReply, tags);
        } catch (const std::exception &) {
            failure = std::current_exception();
        }
        if (tags.hardwareNumber) m_panel->txthardwarenum->setText(*tags.hardwareNumber);
        if (tags.pdTag) m_panel->txtPD_Tag->setText(*tags.pdTag);
        if (failure) std::rethrow_exception(failure);
    });
}

BuildOutcome SystemInfoFeature::buildTagWrite(BuildContext &context)
{
    const bool serial = context.link == Link::Serial;
    const QString deviceId = m_panel->txtDevID->text();
    const QString pdTag = m_panel->txtPD_Tag->text();
    try {
        if (serial)
            context.frame = setPdtagFrame(deviceId, pdTag); // SetPdtag
        else
            context.send.writePayload = storePdTagPayload(deviceId, pdTag); // StorePDTag
    } catch (const FieldConversionError &e) {
        return BuildOutcome::formatError(
            e.label(), QString::fromUtf8(serial ? kSetPdtagLabel : kStorePdTagLabel),
            e.description());
    }
    return BuildOutcome::built();
}

BuildOutcome SystemInfoFeature::buildSetSysInfo(BuildContext &context)
{
    qint64 maxErrors = 0;
    qint64 interval = 0;
    qint64 wait = 0;
    const NumericBox boxes[] = {
        {m_panel->Text_ErrorTimeComm2, QStringLiteral("最大错误数"), 0xFF},
        {m_panel->Text_InterTimeComm2, QStringLiteral("通信间隔ms"), 0xFFFF},
        {m_panel->Text_WaitTimeComm2, QStringLiteral("等待时间ms"), 0xFFFF},
    };
    qint64 *values[] = {&maxErrors, &interval, &wait};
    for (int i = 0; i < 3; ++i)
        if (auto error = readBox(boxes[i], *values[i])) return *error;

    const Rs485_2Settings rs485_2{quint8(maxErrors), quint16(interval), quint16(wait)};
    const SysParamRecord record = m_recordToWrite.value_or(session().sysParam);
    m_recordToWrite.reset();
    if (context.link == Link::Serial)
        context.frame = setSysInfoFrame(record, rs485_2);
    else
        context.send.writePayload = sysParamWriteImage(record, rs485_2);
    return BuildOutcome::built();
}

// The whole data area of the device, appended to a file named after it, so
// that dumps of one device follow each other.
void SystemInfoFeature::appendDump(const QByteArray &reply)
{
    QFile file(dumpFileName(m_panel->txtDevID->text()));
    if (!file.open(QIODevice::Append)) throw ProcedureError(file.errorString());
    const QByteArray area = reply.mid(kDumpDataOffset);
    if (file.write(area) != area.size()) throw ProcedureError(file.errorString());
}

// The items of a DI/DO read that this panel shows: hard address and battery.
void SystemInfoFeature::showDidoItems(const DidoReading &reading)
{
    if (reading.hardAddress)
        controls::showText(m_panel->txtHardAddr, QString::number(*reading.hardAddress));
    switch (reading.battery.action) {
    case BatteryUpdate::Action::Leave:
        break;
    case BatteryUpdate::Action::Clear:
        m_panel->txtCellPressure->clear();
        break;
    case BatteryUpdate::Action::Show:
        controls::showText(m_panel->txtCellPressure, reading.battery.text);
        break;
    }
}

// ---- Parameter images ----------------------------------------------------------

void SystemInfoFeature::showImageValue(const ImageItemTarget &target, const QString &value)
{
    SystemInfoPanel &p = *m_panel;
    using F = ImageField;
    // The boxes that take the value as it stands.
    const std::pair<F, QLineEdit *> boxes[] = {
        {F::SerialNumber, p.lblNUM},
        {F::HardwareNumber, p.txthardwarenum},
        {F::Series, p.txtSeries},
        {F::ModuleAddress, p.txtModuleAddr},
        {F::InnerVersion, p.txtInnerVersion},
        {F::HardAddress, p.txtHardAddr},
        {F::UdpPort, p.uPortTxt},
        {F::DeviceId, p.txtDevID},
        {F::PdTag, p.txtPD_Tag},
        {F::Battery, p.txtCellPressure},
        {F::DiDebounce, p.txtDIPrevent},
        {F::SlaveMaxErrors, p.txtSubErr},
        {F::SlaveCommInterval, p.txtSubcommIntv},
        {F::SlaveMaxWait, p.txtSubWaitTime},
        {F::ScanControlWord, p.ScanCtrl},
        {F::ScanInterval, p.ScanInterval},
    };
    for (const auto &[field, box] : boxes)
        if (field == target.field) {
            box->setText(value);
            return;
        }

    switch (target.field) {
    case F::Version:
        p.lblVersion->setText(value);
        break;
    case F::WholeIp: {
        const auto parts = splitImageIp(value);
        if (!parts) throw ProcedureError(kInvalidPropertyText);
        for (std::size_t i = 0; i < p.txtIp.size(); ++i)
            p.txtIp[i]->setText((*parts)[i]);
        break;
    }
    case F::IpByte:
        p.txtIp.at(std::size_t(target.index))->setText(value);
        break;
    case F::PortList: {
        const std::array<std::array<QComboBox *, 2>, 6> lists{p.Combo6, p.Combo7,  p.Combo8,
                                                              p.Combo9, p.Combo10, p.ComboMS};
        QComboBox *list = lists.at(std::size_t(target.index)).at(std::size_t(target.port));
        const int index = ImageValueIndex(value);
        // A list takes only an index it has.
        if (index >= list->count()) throw ProcedureError(kInvalidPropertyText);
        list->setCurrentIndex(index);
        break;
    }
    case F::PortPacketInterval:
        p.txt_RSDataTime.at(std::size_t(target.port))->setText(value);
        break;
    case F::ProductionDate: {
        const std::optional<QDate> date = parseImageDate(value);
        if (!date || *date < p.datePicker->minimumDate() || *date > p.datePicker->maximumDate())
            throw ProcedureError(kInvalidPropertyText);
        p.datePicker->setDate(*date);
        break;
    }
    case F::ProductionTime: {
        const std::optional<QTime> time = parseImageTime(value);
        if (!time) throw ProcedureError(kInvalidPropertyText);
        p.timePicker->setTime(*time);
        break;
    }
    default: // the MAC address and the keys shown nowhere
        break;
    }
}

void SystemInfoFeature::collectImage(ImageRecord &r) const
{
    const SystemInfoPanel &p = *m_panel;
    r.serialNumber = p.lblNUM->text();
    r.hardwareNumber = p.txthardwarenum->text();
    r.series = p.txtSeries->text();
    r.version = p.lblVersion->text();
    r.moduleAddress = p.txtModuleAddr->text();
    r.innerVersion = p.txtInnerVersion->text();
    r.hardAddress = p.txtHardAddr->text();
    r.udpPort = p.uPortTxt->text();
    r.deviceId = p.txtDevID->text();
    r.pdTag = p.txtPD_Tag->text();
    for (std::size_t i = 0; i < r.ip.size(); ++i)
        r.ip[i] = p.txtIp[i]->text();
    for (std::size_t port = 0; port < r.ports.size(); ++port) {
        ImagePortValues &v = r.ports[port];
        v.parity = p.Combo6[port]->currentText();
        v.dataBits = p.Combo7[port]->currentText();
        v.stopBits = p.Combo8[port]->currentText();
        v.baudRate = p.Combo9[port]->currentText();
        v.protocol = p.Combo10[port]->currentText();
        v.masterSlave = p.ComboMS[port]->currentText();
        v.packetInterval = p.txt_RSDataTime[port]->text();
    }
    r.productionDate = imageDateText(p.datePicker->date());
    r.productionTime = imageTimeText(p.timePicker->time());
    r.battery = p.txtCellPressure->text();
    r.diDebounce = p.txtDIPrevent->text();
    r.slaveMaxErrors = p.txtSubErr->text();
    r.slaveCommInterval = p.txtSubcommIntv->text();
    r.slaveMaxWait = p.txtSubWaitTime->text();
    r.scanControlWord = p.ScanCtrl->text();
    r.scanInterval = p.ScanInterval->text();
}

// ---- Connection ------------------------------------------------------------------

void SystemInfoFeature::enableAll(bool enabled, std::initializer_list<QWidget *> widgets)
{
    for (QWidget *w : widgets)
        w->setEnabled(enabled);
}

void SystemInfoFeature::setPortLists(bool enabled, bool cleared)
{
    for (int port = 0; port < 2; ++port)
        for (QComboBox *list :
             {m_panel->Combo6[port], m_panel->Combo7[port], m_panel->Combo8[port],
              m_panel->Combo9[port], m_panel->Combo10[port], m_panel->ComboMS[port]}) {
            if (cleared) list->setCurrentIndex(-1);
            list->setEnabled(enabled);
        }
}

void SystemInfoFeature::setProductionPickers(const QDate &date, bool enabled)
{
    m_panel->datePicker->setDate(date);
    m_panel->timePicker->setTime(QTime(0, 0, 0));
    m_panel->datePicker->setEnabled(enabled);
    m_panel->timePicker->setEnabled(enabled);
}

// The identity and version boxes emptied when the device changes or goes.
void SystemInfoFeature::clearDeviceBoxes()
{
    SystemInfoPanel &p = *m_panel;
    for (QLineEdit *box :
         {p.lblNUM, p.txtSeries, p.txtInnerVersion, p.txtModuleAddr, p.txtDevID, p.txtPD_Tag,
          p.txtDIPrevent, p.cpuTxt, p.uPortTxt, p.txtHardAddr, p.txtCellPressure})
        box->clear();
    p.lblVersion->clear();
}

void SystemInfoFeature::onConnection(ConnectionEvent event)
{
    SystemInfoPanel &p = *m_panel;
    switch (event) {
    case ConnectionEvent::SerialChosen:
        p.txtPD_Tag->setEnabled(true);
        break;
    case ConnectionEvent::NetworkChosen:
        p.txtDevID->clear();
        p.txtPD_Tag->clear();
        p.txtPD_Tag->setEnabled(true);
        break;
    case ConnectionEvent::NetworkListening:
        controls::setBold(p.txtDevID, false);
        controls::setBold(p.txtPD_Tag, false);
        break;
    case ConnectionEvent::SerialStarting:
        controls::setBold(p.txtDevID, false);
        controls::setBold(p.txtPD_Tag, false);
        p.txtDevID->clear();
        p.txtPD_Tag->clear();
        p.cmdGetSys->setEnabled(true);
        setPortLists(true, false);
        enableAll(true, {p.datePicker, p.timePicker});
        break;
    case ConnectionEvent::Stopped:
        for (Lamp *lamp : p.shpFlash)
            lamp->setColor(Qt::white);
        for (QLineEdit *box : {p.txtSubErr, p.txtSubcommIntv, p.txtSubWaitTime, p.txtDIPrevent,
                               p.cpuTxt, p.uPortTxt, p.txtHardAddr, p.txtCellPressure})
            box->clear();
        for (QLineEdit *box : {p.lblNUM, p.txthardwarenum, p.txtSeries})
            box->clear();
        p.lblVersion->clear();
        for (QLineEdit *box : {p.txtInnerVersion, p.txtModuleAddr, p.txtDevID, p.txtPD_Tag})
            box->clear();
        setPortLists(false, true);
        setProductionPickers(kStoppedProductionDate, false);
        enableAll(false, {p.cmdGetSys, p.cmdSetPara});
        for (QLineEdit *box : p.txtIp)
            box->clear();
        p.ScanCtrl->clear();
        p.ScanInterval->clear();
        for (QLineEdit *box : p.txt_RSDataTime)
            box->clear();
        break;
    case ConnectionEvent::DeviceChosen:
        clearDeviceBoxes();
        for (QLineEdit *box : p.txt_RSDataTime)
            box->clear();
        setPortLists(false, true);
        setProductionPickers(kNoProductionDate, false);
        p.cmdSetPara->setEnabled(false);
        p.cmdGetSys->setEnabled(true);
        break;
    case ConnectionEvent::LastDeviceGone:
        for (QLineEdit *box : p.txtIp)
            box->clear();
        clearDeviceBoxes();
        break;
    case ConnectionEvent::ChosenDeviceGone:
        for (QLineEdit *box : p.txtIp)
            box->clear();
        clearDeviceBoxes();
        enableAll(false, {p.cmdGetSys, p.cmdSetPara, p.datePicker, p.timePicker});
        setPortLists(false, true);
        setProductionPickers(kNoProductionDate, false);
        break;
    case ConnectionEvent::NoDeviceListed:
        enableAll(false, {p.cmdGetSys, p.cmdSetPara, p.datePicker, p.timePicker});
        setPortLists(false, false);
        break;
    default:
        break;
    }
}

void SystemInfoFeature::showChosenDevice(const QStringList &address, const QString &pdTag)
{
    for (std::size_t i = 0; i < m_panel->txtIp.size(); ++i)
        m_panel->txtIp[i]->setText(address[qsizetype(i)]);
    controls::setBold(m_panel->txtDevID, false);
    m_panel->txthardwarenum->clear();
    m_panel->txtPD_Tag->setText(pdTag);
}

} // namespace kalmo
