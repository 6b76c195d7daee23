// The system information panel of the main window: showing the system
// parameter record, the read and write buttons, the serial-number box with
// its model lookup, the series box, the MAC address write and the small
// decoders of the MAC, gateway and RAM-test replies; and the number boxes of
// neighbouring frames that normalise what is typed into them.
#include "app/form1.h"

#include "core/error_log.h"
#include "features/clock_io/clock_io_panel.h"
#include "features/image_files/image_file_panel.h"
#include "features/maintenance/maintenance_panel.h"
#include "features/network_identity/network_identity_panel.h"
#include "features/system_info/system_info_panel.h"
#include "features/upgrade/upgrade_panel.h"
#include "features/zigbee/zigbee_panel.h"
#include "protocol/device_catalogue.h"
#include "protocol/tag_block.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kalmo {

namespace {

constexpr char kShowSysInfoLabel[] = "ShowSysInfo(Form1)";
constexpr char kGetSysLabel[] = "cmdGetSys_Click(Form1)";
constexpr char kSetParaLabel[] = "cmdSetPara_Click(Form1)";
constexpr char kMacWriteLabel[] = "bt_MAC_Click(Form1)";
// The number boxes log under the label of the procedure that shares their
// error handler.
constexpr char kNumberBoxLabel[] = "optComm_Click(Form1)";

const QString kHardwareNumberLengthText = QStringLiteral("硬件版号位数不正确");
const QString kWritingSysInfoText = QStringLiteral("正在设置系统信息，请稍候");
const QString kMacBoxErrorText = QStringLiteral("号地址书写错误");
const QString kInvalidPropertyText = QStringLiteral("无效属性值");

constexpr int kLastSeries = 4095;
// The box takes a signed 16-bit number; the device keeps it as 16 bits.
constexpr int kLowestDebounce = -32768;
constexpr int kHighestDebounce = 32767;
// The text a number box had when it last held an accepted value.
constexpr char kAcceptedTextProperty[] = "kalmoAcceptedText";

// The largest production hour, minute and second the time picker can show.
constexpr int kLastHour = 23;
constexpr int kLastMinute = 59;

QString upperHex(int value)
{
    return QString::number(value, 16).toUpper();
}

// One MAC box: one or more hexadecimal digits worth at most one byte.
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

VersionLimits versionLimits(const RangeBounds &range)
{
    const auto clamp = [](qint32 v) { return quint16(std::clamp<qint32>(v, 0, 0xFFFF)); };
    return VersionLimits{clamp(range.lower), clamp(range.upper)};
}

} // namespace

// ---- Wiring ------------------------------------------------------------------

void Form1::connectPanel()
{
    connect(systemInfo->cmdGetSys, &QPushButton::clicked, this, &Form1::cmdGetSys_Click);
    connect(systemInfo->txtSeries, &QLineEdit::textChanged, this, &Form1::txtSeries_Change);
    connect(systemInfo->lblNUM, &QLineEdit::textChanged, this, &Form1::lblNUM_Change);
    connect(zigbee->Text_DNO, &QLineEdit::textChanged, this, &Form1::Text_DNO_Change);
    for (int i : {2, 3})
        connect(clockIo->Text5[std::size_t(i)], &QLineEdit::textChanged, this,
                [this, i] { Text5_Change(i); });
    connect(networkIdentity->bt_MAC, &QPushButton::clicked, this, &Form1::bt_MAC_Click);
    for (int i = 0; i < 2; ++i)
        connect(networkIdentity->ophandornot[std::size_t(i)], &QRadioButton::clicked, this,
                [this, i] { ophandornot_Click(i); });

    connect(clockIo->cmdReclock, &QPushButton::clicked, this, &Form1::cmdReclock_Click);
    connect(clockIo->cmdWrclock, &QPushButton::clicked, this, &Form1::cmdWrclock_Click);
    connect(clockIo->cmdTimeInit, &QPushButton::clicked, this, &Form1::cmdTimeInit_Click);
    // A date the user picks sets the week day; a date a reply shows leaves the
    // list to the reply (the clock echo does not touch it).
    connect(clockIo->clkDate, &QDateEdit::dateChanged, this, [this] {
        QDateEdit *picker = clockIo->clkDate;
        if (picker->hasFocus() || picker->calendarWidget()->isVisible()) clkDate_Change();
    });
    for (int i = 0; i < ClockIoPanel::kPointCount; ++i)
        connect(clockIo->bt_DIQ[std::size_t(i)], &QPushButton::clicked, this,
                [this, i] { bt_DIQ_Click(i); });
}

// ---- Display -----------------------------------------------------------------

void Form1::ShowSysInfo()
{
    runLogged(kShowSysInfoLabel, [&] {
        SystemInfoPanel &p = *systemInfo;
        SysParamRecord &r = sysParam;

        p.cmdSetPara->setEnabled(true);
        for (QRadioButton *mode : networkIdentity->ophandornot)
            mode->setEnabled(true);
        networkIdentity->ophandornot[1]->setChecked(true);
        ophandornot_Click(1);
        networkIdentity->bt_MAC->setEnabled(true);

        p.txtSeries->setText(QString::number(r.SerialNumber));
        p.txtModuleAddr->setText(QString::number(r.SoftAddress));
        for (std::size_t i = 0; i < p.txtIp.size(); ++i)
            p.txtIp[i]->setText(QString::number(r.IpAddress[i]));

        for (std::size_t port = 0; port < 2; ++port)
            for (QComboBox *list : {p.Combo6[port], p.Combo7[port], p.Combo8[port], p.Combo9[port],
                                    p.Combo10[port], p.ComboMS[port]})
                list->setEnabled(true);
        p.datePicker->setEnabled(true);
        p.timePicker->setEnabled(true);
        for (QWidget *w : std::initializer_list<QWidget *>{imageFiles->cmdSave, imageFiles->cmdRead,
                                                           imageFiles->ReadTxtPublic})
            w->setEnabled(false);
        cmdPause->setEnabled(true);
        cmdPause->setText(kPauseCaption);

        p.showPortSettings(0, decodePortSettings(r.Port1Line, r.Port1Protocol));
        p.showPortSettings(1, decodePortSettings(r.Port2Line, r.Port2Protocol));
        p.ScanCtrl->setText(QString::number(r.SelfRecoveryControl));
        p.ScanInterval->setText(QString::number(r.SelfRecoveryInterval));
        p.lblVersion->setText(versionText(r.Version));

        // Values the pickers cannot show are corrected, and the record keeps
        // the corrected values so that a write sends what is shown.
        int year = r.ProductionYear;
        if (year < SystemInfoPanel::kFirstProductionYear ||
            year > SystemInfoPanel::kLastProductionYear)
            year = 1900;
        int month = r.ProductionMonth;
        if (month == 0 || month > 12) month = 1;
        int day = r.ProductionDay;
        if (day == 0 || day > 31) day = 1;
        day = std::min(day, QDate(year, month, 1).daysInMonth()); // 31 April is 30 April
        r.ProductionYear = quint16(year);
        r.ProductionMonth = quint8(month);
        r.ProductionDay = quint8(day);
        p.datePicker->setDate(QDate(year, month, day));
        if (r.ProductionHour > kLastHour) r.ProductionHour = 0;
        if (r.ProductionMinute > kLastMinute) r.ProductionMinute = 0;
        if (r.ProductionSecond > kLastMinute) r.ProductionSecond = 0;
        p.timePicker->setTime(QTime(r.ProductionHour, r.ProductionMinute, r.ProductionSecond));
        p.ComboMS[0]->setCurrentIndex(roleIndex(r.Port1Role));
        p.ComboMS[1]->setCurrentIndex(roleIndex(r.Port2Role));

        const QDate shown = p.datePicker->date();
        maintenance->bt_CheckRAM->setEnabled(true);

        // An unknown model shows no more than this.
        if (!findDeviceType(r.DeviceType)) return;
        if (const auto number = composeSerialNumber(r.DeviceType, shown.year(), r.ProductionMonth,
                                                    r.ProductionDay, p.txtSeries->text())) {
            // The lookup names the model even when the number has not changed
            // since the last read (the block's arrival has just put the
            // link's own name into txtDeviceType).
            if (p.lblNUM->text() == *number)
                lblNUM_Change();
            else
                p.lblNUM->setText(*number);
        }
        setupPointButtons(r.DeviceType);

        const QString serialNumber = p.lblNUM->text();
        const bool padded = serialNumber.size() == 14 || serialNumber.size() == 15;
        p.txtDevID->setText(QStringLiteral("02") +
                            (padded ? QString(30 - serialNumber.size(), u'0') : QString()) +
                            serialNumber);

        p.txtDIPrevent->setText(QString::number(r.DiDebounce));
        p.uPortTxt->setText(QString::number(r.UdpPort));
        p.cpuTxt->setText(QString::number(r.CpuType));
        p.txtSubErr->setText(QString::number(r.SlaveMaxErrors));
        p.txtSubcommIntv->setText(QString::number(r.SlaveCommInterval));
        p.txtSubWaitTime->setText(QString::number(r.SlaveMaxWait));
        p.txtInnerVersion->setText(firmwareVersionText(r.FirmwareVersion));
        p.txt_RSDataTime[0]->setText(QString::number(r.Port1PacketInterval));
        p.txt_RSDataTime[1]->setText(QString::number(r.Port2PacketInterval));

        for (QWidget *w : std::initializer_list<QWidget *>{
                 maintenance->cmdClearCode, maintenance->cmdCheckLight, maintenance->cmdStopCheck,
                 maintenance->btRProfibus, maintenance->ckProfibus, upgrade->bt_FindUpdataFile,
                 upgrade->bt_Updata})
            w->setEnabled(true);

        // Family A takes the first range, family B the second.
        if (rangeTableValid)
            versionCheck.setLimits(versionLimits(rangeTable[0]), versionLimits(rangeTable[1]));
        const VersionCheckResult check = versionCheck.check(r.DeviceType, r.FirmwareVersion);
        if (!check.message.isEmpty())
            showMessageBox(
                {QMessageBox::Information, QApplication::applicationDisplayName(), check.message});

        ForCustomer();
    });
}

// ---- Read and write buttons -----------------------------------------------

void Form1::cmdGetSys_Click()
{
    runLogged(kGetSysLabel, [&] {
        CommandStack &stack = dispatcher().stack();
        switch (selectedLink()) {
        case Link::Serial:
            for (qint16 code :
                 {serial_cmd::ReadSystemInfo, serial_cmd::ReadGateway, serial_cmd::ReadTags})
                stack.push(code);
            break;
        case Link::Network:
            for (qint16 code : {network_cmd::ReadSystemParameters, network_cmd::ReadGateway,
                                network_cmd::ReadTags})
                stack.push(code);
            m_session->tagCaptureFlag = 0;
            break;
        case Link::None:
            break;
        }
        cmdReclock_Click();
    });
}

void Form1::refuseField(const QString &control, const QString &label, const QString &logLabel,
                        const QString &description)
{
    appendErrorLog(logLabel, description);
    const QString text = kFormatErrorText + label;
    Text2->setText(text);
    if (auto *widget = findChild<QWidget *>(control)) {
        widget->setFocus();
        if (auto *box = qobject_cast<QLineEdit *>(widget)) box->selectAll();
    }
    showMessageBox({QMessageBox::Warning, QApplication::applicationDisplayName(), text});
}

bool Form1::collectSystemParameters(SysParamRecord &record)
{
    ChangeParameterReport report;
    try {
        kalmo::ChangeParameter(record, systemInfo->input(), &report);
    } catch (const FieldConversionError &e) {
        refuseField(e.control(), e.label(), QString::fromUtf8(kChangeParameterLabel),
                    e.description());
        return false;
    }
    if (report.roleListsReset)
        for (QComboBox *list : systemInfo->ComboMS)
            list->setCurrentIndex(0);
    return true;
}

void Form1::cmdSetPara_Click()
{
    runLogged(kSetParaLabel, [&] {
        SystemInfoPanel &p = *systemInfo;
        const QString setParaLabel = QString::fromUtf8(kSetParaLabel);

        const QString hardwareNumber = p.txthardwarenum->text();
        if (hardwareNumber.size() != 14 && hardwareNumber.size() != 15) {
            showMessageBox({QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                            kHardwareNumberLengthText});
            return;
        }

        const QDate date = p.datePicker->date();
        if (const auto number =
                composeSerialNumber(sysParam.DeviceType, date.year(), date.month(), date.day(),
                                    p.txtSeries->text(), SerialPrefixUse::Write))
            p.lblNUM->setText(*number);

        // The serial number fills the last 16 characters of the device ID.
        const QString serialNumber = p.lblNUM->text();
        if (serialNumber.size() > 16) {
            refuseField(p.lblNUM->objectName(), QStringLiteral("设备序号"), setParaLabel,
                        kInvalidPropertyText);
            return;
        }
        p.txtDevID->setText(
            (hardwareNumber.size() == 15 ? QStringLiteral("0") : QStringLiteral("00")) +
            hardwareNumber + QString(16 - serialNumber.size(), u'0') + serialNumber);

        // Everything is collected into a copy first: a box that does not
        // convert stops the write with nothing queued and the record as read.
        SysParamRecord record = sysParam;
        const std::optional<qint64> debounce = panelInteger(p.txtDIPrevent->text().trimmed());
        if (!debounce || *debounce < kLowestDebounce || *debounce > kHighestDebounce) {
            refuseField(p.txtDIPrevent->objectName(), QStringLiteral("防抖时间(ms)"), setParaLabel,
                        debounce ? overflowText() : typeMismatchText());
            return;
        }
        record.DiDebounce = quint16(qint16(*debounce));
        if (!collectSystemParameters(record)) return;

        // The boxes the write requests take when they go out.
        const struct
        {
            QLineEdit *box;
            const char *label;
            qint64 max;
        } rs485_2[] = {
            {p.Text_ErrorTimeComm2, "RS485_2设置 最大错误数", 0xFF},
            {p.Text_InterTimeComm2, "RS485_2设置 通信间隔ms", 0xFFFF},
            {p.Text_WaitTimeComm2, "RS485_2设置 等待时间ms", 0xFFFF},
        };
        for (const auto &field : rs485_2) {
            const std::optional<qint64> value = panelInteger(field.box->text());
            if (!value || *value < 0 || *value > field.max) {
                refuseField(field.box->objectName(), QString::fromUtf8(field.label), setParaLabel,
                            value ? overflowText() : typeMismatchText());
                return;
            }
        }
        try {
            encodePdTag(p.txtPD_Tag->text());
        } catch (const FieldConversionError &e) {
            refuseField(e.control(), e.label(), setParaLabel, e.description());
            return;
        }

        sysParam = record;
        CommandStack &stack = dispatcher().stack();
        switch (selectedLink()) {
        case Link::Serial: {
            const qint16 codes[] = {serial_cmd::ReadSystemInfo, serial_cmd::WriteSystemParameters,
                                    serial_cmd::WriteTags};
            stack.load(kSerialIdleCommand, codes);
            break;
        }
        case Link::Network: {
            const qint16 codes[] = {network_cmd::ReadSystemParameters, network_cmd::ReadTags,
                                    network_cmd::WriteSystemParameters, network_cmd::WriteTags,
                                    network_cmd::ReadTags};
            stack.load(kNetworkIdleCommand, codes);
            m_session->tagCaptureFlag = 1;
            break;
        }
        case Link::None:
            return;
        }
        Text2->setText(kWritingSysInfoText);
        bt_MAC_Click();
    });
}

// ---- Serial number, series and number boxes ----------------------------------

void Form1::lblNUM_Change()
{
    runLogged(
        kLblNumChangeLabel,
        [&] {
            const std::optional<SerialNumberLookup> lookup =
                lookupSerialNumber(systemInfo->lblNUM->text());
            if (!lookup) return;
            systemInfo->txtDeviceType->setText(lookup->deviceTypeText);
            systemInfo->txtSeries->setText(lookup->seriesText);
            if (const auto &date = lookup->productionDate) {
                QDateEdit *picker = systemInfo->datePicker;
                if (*date < picker->minimumDate() || *date > picker->maximumDate())
                    throw ProcedureError(kInvalidPropertyText);
                picker->setDate(*date);
            }
            if (!lookup->logDescription.isEmpty()) throw ProcedureError(lookup->logDescription);
        },
        ErrorLogFile::Aux);
}

namespace {

// The whole part (rounded down) of a number typed into a box that normalises
// itself on every change: digits with an optional sign and decimal point, so
// that "12." while typing "12.5" is a number and not a lost text.
std::optional<qint64> wholeNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)$"));
    const QString trimmed = text.trimmed();
    if (!number.match(trimmed).hasMatch()) return std::nullopt;
    const double value = std::floor(trimmed.toDouble());
    constexpr double kLimit = 9.0e18;
    return qint64(std::clamp(value, -kLimit, kLimit));
}

} // namespace

void Form1::txtSeries_Change()
{
    QLineEdit *box = systemInfo->txtSeries;
    const std::optional<qint64> value = wholeNumber(box->text());
    const QString normal =
        value ? QString::number(std::clamp<qint64>(*value, 0, kLastSeries)) : QString();
    if (normal != box->text()) box->setText(normal);
}

namespace {

// A number box that normalises its text on every change: `normalise` gives
// the text the box shows, or throws for a text that is no number. Such a
// text is logged and refused: the box returns to the last text it accepted.
template <typename Normalise> void normaliseNumberBox(QLineEdit *box, Normalise normalise)
{
    const QString text = box->text();
    try {
        const QString normal = normalise(text);
        box->setProperty(kAcceptedTextProperty, normal);
        if (normal != text) box->setText(normal);
    } catch (const std::exception &e) {
        appendErrorLog(QString::fromUtf8(kNumberBoxLabel), describeError(e));
        box->setText(box->property(kAcceptedTextProperty).toString());
    }
}

qint64 integerValue(const QString &text)
{
    const std::optional<qint64> value = wholeNumber(text);
    if (!value) throw ProcedureError(typeMismatchText());
    if (*value < std::numeric_limits<qint32>::min() || *value > std::numeric_limits<qint32>::max())
        throw ProcedureError(overflowText());
    return *value;
}

} // namespace

void Form1::Text_DNO_Change()
{
    normaliseNumberBox(zigbee->Text_DNO, [](const QString &text) {
        if (text.isEmpty()) return text;
        return QString::number(integerValue(text) & 0xFFFF);
    });
}

void Form1::Text5_Change(int index)
{
    if (index != 2 && index != 3) return;
    normaliseNumberBox(clockIo->Text5[std::size_t(index)], [](const QString &text) {
        return QString::number(integerValue(text.isEmpty() ? QStringLiteral("0") : text) % 65535);
    });
}

// ---- MAC address -------------------------------------------------------------

void Form1::ophandornot_Click(int index)
{
    // Manual mode lets the six boxes be typed into; automatic mode fills them.
    for (QLineEdit *box : networkIdentity->txt_MAC)
        box->setEnabled(index == 0);
}

void Form1::bt_MAC_Click()
{
    runLogged(kMacWriteLabel, [&] {
        const auto &boxes = networkIdentity->txt_MAC;
        const QDate date = systemInfo->datePicker->date();

        if (networkIdentity->ophandornot[1]->isChecked()) {
            // 00, FE (FD for type 4), year, month (with the series' high byte
            // in front above 255), day, series low byte.
            const std::optional<qint64> series = panelInteger(systemInfo->txtSeries->text());
            if (!series) {
                refuseField(systemInfo->txtSeries->objectName(), QStringLiteral("序列号"),
                            QString::fromUtf8(kMacWriteLabel), typeMismatchText());
                return;
            }
            const auto s = quint16(*series & 0xFFFF);
            boxes[0]->setText(QStringLiteral("00"));
            boxes[1]->setText(sysParam.DeviceType == 4 ? QStringLiteral("FD")
                                                       : QStringLiteral("FE"));
            boxes[2]->setText(upperHex(date.year() % 100));
            boxes[3]->setText(s <= 255 ? upperHex(date.month())
                                       : upperHex(s >> 8) + upperHex(date.month()));
            boxes[4]->setText(upperHex(date.day()));
            boxes[5]->setText(upperHex(s & 0xFF));
        }

        for (std::size_t i = 0; i < boxes.size(); ++i) {
            if (macBoxValue(boxes[i]->text())) continue;
            boxes[i]->setFocus();
            boxes[i]->selectAll();
            showMessageBox({QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                            numberText(qint64(i)) + kMacBoxErrorText});
            return;
        }

        switch (selectedLink()) {
        case Link::Serial:
            dispatcher().stack().push(serial_cmd::WriteMac);
            break;
        case Link::Network:
            dispatcher().stack().push(network_cmd::WriteMac);
            break;
        case Link::None:
            break;
        }
    });
}

BuildOutcome Form1::buildMacWrite(BuildContext &context)
{
    QByteArray mac;
    for (QLineEdit *box : networkIdentity->txt_MAC) {
        const std::optional<quint8> value = macBoxValue(box->text());
        if (!value)
            return BuildOutcome::formatError(QStringLiteral("MAC地址"),
                                             QString::fromUtf8(kMacWriteLabel), typeMismatchText());
        mac.append(char(*value));
    }
    if (context.link == Link::Serial)
        for (qsizetype i = 0; i < mac.size(); ++i)
            setByteAt(context.frame, 3 + i, quint8(mac[i]));
    else
        context.send.writePayload = mac;
    return BuildOutcome::built();
}

// ---- Small replies: MAC, gateway, RAM test -----------------------------------

void Form1::DistributeMAC(const Reply &reply)
{
    for (std::size_t i = 0; i < networkIdentity->txt_MAC.size(); ++i)
        networkIdentity->txt_MAC[i]->setText(
            QStringLiteral("%1").arg(reply.data(qsizetype(i)), 2, 16, QLatin1Char('0')).toUpper());
}

void Form1::DistributeGateway(const Reply &reply)
{
    for (std::size_t i = 0; i < 4; ++i)
        networkIdentity->txtGate[i]->setText(QString::number(reply.data(qsizetype(i))));
    for (std::size_t i = 0; i < 4; ++i)
        networkIdentity->txtSubNet[i]->setText(QString::number(reply.data(4 + qsizetype(i))));
}

void Form1::DistributeRAMTest(const Reply &reply)
{
    const quint8 result = reply.data(0);
    for (std::size_t i = 0; i < maintenance->ram_sap.size(); ++i)
        maintenance->ram_sap[i]->setColor((result >> i) & 1 ? QColor(255, 0, 0)
                                                            : QColor(0, 255, 0));
}

// The panel steps of a system-parameter read on either link, in the panel's
// order. The codec keeps what it has decoded when the reply ends early; the
// panel is filled up to the first item that is missing and the failure then
// ends the caller.
void Form1::showSysParamReply(Link link, const std::function<void(SysParamPanelItems &)> &decode)
{
    static const QColor greyedBox(224, 224, 224);
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
    systemInfo->lb_BookNo->setText(bootVersionText(*items.BootVersion));

    need(items.NoUserProgram.has_value());
    if (*items.NoUserProgram == 1) {
        showMessageBox(
            {QMessageBox::NoIcon, QApplication::applicationDisplayName(), kNoUserProgramMessage});
        // On the network the device can then be given a program at once.
        if (link == Link::Network) {
            upgrade->bt_FindUpdataFile->setEnabled(true);
            upgrade->bt_Updata->setEnabled(true);
        }
    }

    // The record's fields lie in front of the boot version: they are all
    // decoded once it is.
    maintenance->bt_CheckRAM->setEnabled(false);
    for (QLineEdit *box : networkIdentity->txt_MAC) {
        box->setEnabled(false);
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base, greyedBox);
        box->setPalette(palette);
    }

    systemInfo->txtDeviceType->setText(link == Link::Network
                                           ? networkLinkTypeName(sysParam.DeviceType)
                                           : serialLinkTypeName(sysParam.DeviceType));

    need(items.Rs485_2MaxErrors.has_value());
    systemInfo->Text_ErrorTimeComm2->setText(QString::number(*items.Rs485_2MaxErrors));
    need(items.Rs485_2CommInterval.has_value());
    systemInfo->Text_InterTimeComm2->setText(unsigned16Text(*items.Rs485_2CommInterval));
    need(items.Rs485_2WaitTime.has_value());
    systemInfo->Text_WaitTimeComm2->setText(unsigned16Text(*items.Rs485_2WaitTime));

    need(items.FlashFlags.has_value());
    for (std::size_t i = 0; i < systemInfo->shpFlash.size(); ++i)
        systemInfo->shpFlash[i]->setColor((*items.FlashFlags >> i) & 1 ? lampOn : lampOff);

    ShowSysInfo();
}

} // namespace kalmo
