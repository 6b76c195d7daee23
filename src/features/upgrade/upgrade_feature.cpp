#include "features/upgrade/upgrade_feature.h"

#include "protocol/network_replies.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

namespace kalmo {

namespace {

const QString kUpgradeSucceededMessage = QStringLiteral("升级成功！");
const QString kUpgradeDoneText = QStringLiteral("升级下位机成功");

} // namespace

UpgradeFeature::UpgradeFeature(const FeatureContext &context, QObject *parent)
    : Feature(context, parent), m_panel(new UpgradePanel)
{
    Session &s = session();
    s.upgradeButtonHook = [this](bool enabled) { m_panel->bt_Updata->setEnabled(enabled); };
    s.handle(SerialReplyAction::UpgradeBlock, [this](const Reply &) { serialBlockAcknowledged(); });
    s.handle(NetworkReplyAction::UpgradeBlock,
             [this](const Reply &) { networkBlockAcknowledged(); });

    // A device without a program can be given one at once on the network; a
    // known model can always be upgraded.
    requests().noUserProgram.listen([this](Link link) {
        if (link == Link::Network) enableUpgrade();
    });
    requests().systemInformationShown.listen([this](bool known) {
        if (known) enableUpgrade();
    });
}

void UpgradeFeature::enableUpgrade()
{
    m_panel->bt_FindUpdataFile->setEnabled(true);
    m_panel->bt_Updata->setEnabled(true);
}

void UpgradeFeature::serialBlockAcknowledged()
{
    Session &s = session();
    s.Timer2->stop();
    s.Timer1->stop();
    s.dispatcher().sendState().itemCount = 0;

    if (s.progress.maximum > s.progress.value) {
        // Blocks remain: the next one goes out now; sending it sets the
        // upgrade flag again.
        s.dispatcher().setUpgradeFlag(0);
        s.Timer1_Timer();
        return;
    }

    s.progress.value = 0;
    s.hideProgress();
    m_panel->bt_Updata->setEnabled(true);
    s.Timer1->setInterval(kDispatchIntervalMs);
    window().reopenSerialPort(kNormalPortSettings);

    window().setStatus(kUpgradeDoneText);
    window().startCommunication();

    s.Timer2->stop();
    s.Timer1->start();
    s.dispatcher().setUpgradeFlag(0);
}

void UpgradeFeature::networkBlockAcknowledged()
{
    Session &s = session();
    s.dispatcher().sendState().itemCount = 0;
    if (s.progress.maximum <= s.progress.value) {
        // The last block is in.
        s.progress.value = 0;
        s.hideProgress();
        m_panel->bt_Updata->setEnabled(true);
        s.Timer1->setInterval(kDispatchIntervalMs);
        s.timCheckDevice->setInterval(kCheckDeviceAfterUpgradeMs);
        s.timCheckDevice->start();
        window().showBox({QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                          kUpgradeSucceededMessage});
    }
    s.dispatcher().setUpgradeFlag(0);
}

} // namespace kalmo
