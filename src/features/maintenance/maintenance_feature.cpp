#include "features/maintenance/maintenance_feature.h"

#include "protocol/frames.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTimer>

namespace kalmo {

MaintenanceFeature::MaintenanceFeature(const FeatureContext &context, QObject *parent)
    : Feature(context, parent), m_panel(new MaintenancePanel)
{
    for (QCheckBox *box : m_panel->Check_SysParam)
        box->setChecked(true);

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
    s.registerBuilder(Builder::ProfibusWrite,
                      Session::onlyOn(Link::Serial, [this](BuildContext &c) {
                          setByteAt(c.frame, 3, m_panel->ckProfibus->isChecked() ? 1 : 0);
                          return BuildOutcome::built();
                      }));
    s.handle(SerialReplyAction::Profibus, [this](const Reply &r) {
        const bool on = r.data(0) != 0;
        m_panel->ckProfibus->setChecked(on);
        m_panel->ckProfibus->setText(on ? QStringLiteral("开启") : QStringLiteral("关闭"));
    });

    // The RAM test waits for the system block; a known model also gets the
    // commands that act on its program.
    requests().systemBlockArriving.listen([this] { m_panel->bt_CheckRAM->setEnabled(false); });
    requests().systemInformationShown.listen([this](bool known) {
        m_panel->bt_CheckRAM->setEnabled(true);
        if (known) enableDeviceCommands(true);
    });
}

void MaintenanceFeature::enableDeviceCommands(bool enabled)
{
    for (QWidget *w : std::initializer_list<QWidget *>{
             m_panel->cmdClearCode, m_panel->cmdCheckLight, m_panel->cmdStopCheck,
             m_panel->btRProfibus, m_panel->ckProfibus})
        w->setEnabled(enabled);
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
        break;
    case ConnectionEvent::NetworkChosen:
        m_panel->bt_CheckRAM->hide();
        enableDeviceCommands(false);
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
