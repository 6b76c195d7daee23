#include "features/maintenance/maintenance_feature.h"

#include "core/error_log.h"
#include "protocol/command_codes.h"
#include "protocol/frames.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <iterator>

namespace kalmo {

namespace {

const QString kResumeQuestion = QStringLiteral("是否确定要恢复默认参数？");
const QString kResumeTitle = QStringLiteral("提示");
const QString kDefaultsQuestion = QStringLiteral("确定要恢复默认参数");
const QString kSelectedQuestion = QStringLiteral("确定要恢复选中参数");

// Captions of the high-speed boxes after "启动" or "停止".
const char *const kHighSpeedPoints[kHighSpeedBoxCount] = {
    "DI22高速输入", "DI23高速输入", "Q0.0高速输出", "Q0.1高速输出", "DI21高速输入", "DI20高速输入"};
const char *const kFrequencyLabels[2] = {"Q0.0 输出频率", "Q0.1 输出频率"};
constexpr char kOutputFrequencyLabel[] = "Cmd_WritePre_Click(Form1)";

// Character time of an RS485 port by its baud-rate entry: 1200, 2400, 4800 and
// 9600 bps; every faster rate takes the last.
const char *const kCharacterTimes[] = {"32", "16", "8", "4", "2"};

const QString kProfibusOn = QStringLiteral("开启");
const QString kProfibusOff = QStringLiteral("关闭");

} // namespace

MaintenanceFeature::MaintenanceFeature(const FeatureContext &context, QObject *parent)
    : Feature(context, parent), m_panel(new MaintenancePanel)
{
    MaintenancePanel *p = m_panel;
    for (QCheckBox *box : p->Check_SysParam)
        box->setChecked(true);

    const auto onClick = [this](QAbstractButton *button, void (MaintenanceFeature::*slot)()) {
        connect(button, &QAbstractButton::clicked, this, slot);
    };
    onClick(p->bt_CheckRAM, &MaintenanceFeature::bt_CheckRAM_Click);
    onClick(p->cmdCheckLight, &MaintenanceFeature::cmdCheckLight_Click);
    onClick(p->cmdStopCheck, &MaintenanceFeature::cmdStopCheck_Click);
    onClick(p->cmdClearCode, &MaintenanceFeature::cmdClearCode_Click);
    onClick(p->Command_STORE, &MaintenanceFeature::Command_STORE_Click);
    onClick(p->Command_Resume, &MaintenanceFeature::Command_Resume_Click);
    onClick(p->Cmd_DefaultParam, &MaintenanceFeature::Cmd_DefaultParam_Click);
    onClick(p->Cmd_ResumeParam, &MaintenanceFeature::Cmd_ResumeParam_Click);
    onClick(p->btRProfibus, &MaintenanceFeature::btRProfibus_Click);
    // clicked comes with the release of the mouse, and only from the user.
    onClick(p->ckProfibus, &MaintenanceFeature::ckProfibus_MouseUp);

    registerBuilders();

    Session &s = session();
    s.handle(SerialReplyAction::RamTest, [this](const Reply &r) {
        session().timMscon->setInterval(kReceiveTimeoutMs);
        session().timMscon->start();
        DistributeRAMTest(r);
    });
    s.handle(NetworkReplyAction::RamTest, [this](const Reply &r) {
        DistributeRAMTest(r);
        session().timMscon->setInterval(kReceiveTimeoutMs);
        session().timMscon->start();
    });
    s.handle(SerialReplyAction::Profibus, [this](const Reply &r) {
        const bool on = r.data(0) != 0;
        m_panel->ckProfibus->setChecked(on);
        m_panel->ckProfibus->setText(on ? kProfibusOn : kProfibusOff);
    });

    // The RAM test waits for the system block; a known model also gets the
    // commands that act on its program.
    requests().systemBlockArriving.listen([this] { m_panel->bt_CheckRAM->setEnabled(false); });
    requests().systemInformationShown.listen([this](bool known) {
        m_panel->bt_CheckRAM->setEnabled(true);
        if (known) enableDeviceCommands(true);
    });
}

void MaintenanceFeature::registerBuilders()
{
    Session &s = session();
    // Network writes without data: whatever an earlier write left is dropped.
    s.registerBuilder(Builder::StopAndClear, [](BuildContext &c) {
        if (c.link == Link::Network) c.send.writePayload.clear();
        return BuildOutcome::built();
    });
    // On (1) or off (0) is the item count the button set: the serial payload
    // byte, the item count of the network write.
    s.registerBuilder(Builder::LightBoard, [](BuildContext &c) {
        if (c.link == Link::Serial)
            setByteAt(c.frame, 3, quint8(c.send.itemCount));
        else
            c.send.writePayload.clear();
        return BuildOutcome::built();
    });
    // The selection byte follows 0x55 0xAA on the serial link and is the item
    // count of the network write.
    s.registerBuilder(Builder::RestoreSelected, [this](BuildContext &c) {
        const quint8 selection = selectionByte();
        if (c.link == Link::Serial) {
            setByteAt(c.frame, 5, selection);
        } else {
            c.send.itemCount = selection;
            c.send.writePayload.clear();
        }
        return BuildOutcome::built();
    });
    s.registerBuilder(Builder::HighSpeedIo, Session::onlyOn(Link::Serial, [this](BuildContext &c) {
                          return buildHighSpeedIo(c);
                      }));
    s.registerBuilder(
        Builder::OutputFrequency,
        Session::onlyOn(Link::Serial, [this](BuildContext &c) { return buildOutputFrequency(c); }));
    s.registerBuilder(Builder::ProfibusWrite,
                      Session::onlyOn(Link::Serial, [this](BuildContext &c) {
                          setByteAt(c.frame, 3, m_panel->ckProfibus->isChecked() ? 1 : 0);
                          return BuildOutcome::built();
                      }));
}

void MaintenanceFeature::attach(const NeighbourControls &controls)
{
    m_neighbours = controls;
    for (int i = 0; i < kHighSpeedBoxCount; ++i)
        connect(controls.Check_InAndOut[std::size_t(i)], &QCheckBox::clicked, this,
                [this, i] { Check_InAndOut_Click(i); });
    connect(controls.Cmd_WritePre, &QPushButton::clicked, this,
            &MaintenanceFeature::Cmd_WritePre_Click);
    // activated: the user's choice only, never a list set by a parameter read.
    for (int port = 0; port < 2; ++port)
        connect(controls.Combo9[std::size_t(port)], &QComboBox::activated, this,
                [this, port] { Combo9_Click(port); });
}

BuildOutcome MaintenanceFeature::buildHighSpeedIo(BuildContext &context) const
{
    HighSpeedFlags flags{};
    for (std::size_t i = 0; i < flags.size(); ++i)
        flags[i] = m_neighbours.Check_InAndOut[i]->isChecked();
    const SysParamRecord &r = session().sysParam;
    context.frame = context.frame.left(3) +
                    highSpeedIoPayload(flags, r.DeviceType, r.FirmwareVersion) +
                    QByteArray(4, '\0');
    context.expectedReplyLength = int(context.frame.size());
    return BuildOutcome::built();
}

BuildOutcome MaintenanceFeature::buildOutputFrequency(BuildContext &context) const
{
    std::array<quint16, 2> frequency{};
    for (std::size_t i = 0; i < frequency.size(); ++i) {
        bool ok = false;
        const uint value = m_neighbours.outputFrequency[i]->text().trimmed().toUInt(&ok);
        if (!ok || value > 0xFFFF)
            return BuildOutcome::formatError(QString::fromUtf8(kFrequencyLabels[i]),
                                             QString::fromUtf8(kOutputFrequencyLabel),
                                             typeMismatchText());
        frequency[i] = quint16(value);
    }
    const QByteArray payload = outputFrequencyPayload(frequency[0], frequency[1]);
    for (qsizetype i = 0; i < payload.size(); ++i)
        setByteAt(context.frame, 3 + i, quint8(payload[i]));
    return BuildOutcome::built();
}

quint8 MaintenanceFeature::selectionByte() const
{
    std::array<bool, kRestoreGroupCount> groups{};
    for (std::size_t i = 0; i < groups.size(); ++i)
        groups[i] = m_panel->Check_SysParam[i]->isChecked();
    return restoreSelectionByte(groups);
}

// ---- Buttons ------------------------------------------------------------------

void MaintenanceFeature::push(const char *label, qint16 code)
{
    runLogged(label, [&] { session().dispatcher().stack().push(code); });
}

void MaintenanceFeature::pushFor(const char *label, qint16 serialCode, qint16 networkCode)
{
    switch (window().chosenLink()) {
    case Link::Serial:
        push(label, serialCode);
        break;
    case Link::Network:
        push(label, networkCode);
        break;
    case Link::None:
        break;
    }
}

void MaintenanceFeature::bt_CheckRAM_Click()
{
    pushFor("bt_CheckRAM_Click(Form1)", serial_cmd::RamTest, network_cmd::RamTest);
}

void MaintenanceFeature::switchLightBoard(const char *label, bool on)
{
    session().dispatcher().sendState().itemCount = on ? 1 : 0;
    pushFor(label, serial_cmd::LightBoard, network_cmd::LightBoard);
}

void MaintenanceFeature::cmdCheckLight_Click()
{
    switchLightBoard("cmdCheckLight_Click(Form1)", true);
}

void MaintenanceFeature::cmdStopCheck_Click()
{
    switchLightBoard("cmdStopCheck_Click(Form1)", false);
}

void MaintenanceFeature::cmdClearCode_Click()
{
    pushFor("cmdClearCode_Click(Form1)", serial_cmd::StopAndClear, network_cmd::StopAndClear);
}

// Save and restore are pushed on either link; the network has no row for
// them and answers "无此功能号".
void MaintenanceFeature::Command_STORE_Click()
{
    push("Command_STORE_Click(Form1)", serial_cmd::SaveParameters);
}

void MaintenanceFeature::Command_Resume_Click()
{
    if (!window().ask({QMessageBox::Question, kResumeTitle, kResumeQuestion})) return;
    push("Command_Resume_Click(Form1)", serial_cmd::RestoreParameters);
}

void MaintenanceFeature::Cmd_DefaultParam_Click()
{
    MessageBoxRequest question{QMessageBox::Question, QApplication::applicationDisplayName(),
                               kDefaultsQuestion};
    question.buttons = QMessageBox::Ok | QMessageBox::Cancel;
    if (!window().ask(question)) return;
    // The network's code sends nothing and says "无此功能号".
    pushFor("Cmd_DefaultParam_Click(Form1)", serial_cmd::RestoreDefaults, network_cmd::Nothing);
}

void MaintenanceFeature::Cmd_ResumeParam_Click()
{
    MessageBoxRequest question{QMessageBox::Question, QApplication::applicationDisplayName(),
                               kSelectedQuestion};
    question.buttons = QMessageBox::Ok | QMessageBox::Cancel;
    if (!window().ask(question)) return;
    pushFor("Cmd_ResumeParam_Click(Form1)", serial_cmd::RestoreSelected,
            network_cmd::RestoreSelected);
}

void MaintenanceFeature::Check_InAndOut_Click(int index)
{
    if (index < 0 || index >= kHighSpeedBoxCount) return;
    QCheckBox *box = m_neighbours.Check_InAndOut[std::size_t(index)];
    box->setText((box->isChecked() ? QStringLiteral("停止") : QStringLiteral("启动")) +
                 QString::fromUtf8(kHighSpeedPoints[index]));
    if (window().chosenLink() == Link::Serial)
        push("Check_InAndOut_Click(Form1)", serial_cmd::WriteHighSpeedIo);
}

void MaintenanceFeature::Cmd_WritePre_Click()
{
    if (window().chosenLink() == Link::Serial)
        push(kOutputFrequencyLabel, serial_cmd::WriteOutputFrequency);
}

void MaintenanceFeature::btRProfibus_Click()
{
    constexpr char label[] = "btRProfibus_Click(Form1)";
    if (window().chosenLink() != Link::Serial) return;
    if (!runLogged(label, [&] { session().dispatcher().stack().push(serial_cmd::ReadProfibus); }))
        window().showBox({QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                          QStringLiteral("btRProfibus_Click错误")});
}

void MaintenanceFeature::ckProfibus_MouseUp()
{
    constexpr char label[] = "ckProfibus_MouseUp(Form1)";
    QCheckBox *box = m_panel->ckProfibus;
    box->setText(box->isChecked() ? kProfibusOn : kProfibusOff);
    if (window().chosenLink() != Link::Serial) return;
    if (!runLogged(label, [&] { session().dispatcher().stack().push(serial_cmd::WriteProfibus); }))
        window().showBox({QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                          QStringLiteral("ckProfibus_MouseUp错误")});
}

void MaintenanceFeature::Combo9_Click(int port)
{
    if (port < 0 || port > 1) return;
    const int entry = m_neighbours.Combo9[std::size_t(port)]->currentIndex();
    if (entry < 0) return;
    const int last = int(std::size(kCharacterTimes)) - 1;
    m_neighbours.txt_RSDataTime[std::size_t(port)]->setText(
        QString::fromUtf8(kCharacterTimes[std::min(entry, last)]));
}

// ---- Connection ----------------------------------------------------------------

void MaintenanceFeature::enableDeviceCommands(bool enabled)
{
    for (QWidget *w : std::initializer_list<QWidget *>{
             m_panel->cmdClearCode, m_panel->cmdCheckLight, m_panel->cmdStopCheck,
             m_panel->btRProfibus, m_panel->ckProfibus})
        w->setEnabled(enabled);
}

// The high-speed flags and frequencies have no request on the network.
void MaintenanceFeature::enableHighSpeedIo(bool enabled)
{
    for (QCheckBox *box : m_neighbours.Check_InAndOut)
        if (box) box->setEnabled(enabled);
    if (m_neighbours.Cmd_WritePre) m_neighbours.Cmd_WritePre->setEnabled(enabled);
}

void MaintenanceFeature::clearLamps()
{
    for (Lamp *lamp : m_panel->ram_sap)
        lamp->setColor(Qt::white);
}

void MaintenanceFeature::onConnection(ConnectionEvent event)
{
    switch (event) {
    case ConnectionEvent::SerialChosen:
        m_panel->bt_CheckRAM->show();
        enableHighSpeedIo(true);
        break;
    case ConnectionEvent::NetworkChosen:
        m_panel->bt_CheckRAM->hide();
        enableDeviceCommands(false);
        enableHighSpeedIo(false);
        break;
    case ConnectionEvent::SerialStarting:
        enableDeviceCommands(true);
        break;
    case ConnectionEvent::OpeningFailed:
        enableDeviceCommands(false);
        break;
    case ConnectionEvent::Stopped:
    case ConnectionEvent::DeviceChosen:
    case ConnectionEvent::LastDeviceGone:
    case ConnectionEvent::ChosenDeviceGone:
        enableDeviceCommands(false);
        clearLamps();
        break;
    case ConnectionEvent::NoDeviceListed:
        clearLamps();
        break;
    default:
        break;
    }
}

void MaintenanceFeature::DistributeRAMTest(const Reply &reply)
{
    const quint8 result = reply.data(0);
    for (std::size_t i = 0; i < m_panel->ram_sap.size(); ++i)
        m_panel->ram_sap[i]->setColor((result >> i) & 1 ? QColor(255, 0, 0) : QColor(0, 255, 0));
}

} // namespace kalmo
