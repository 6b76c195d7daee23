// The network connection of the main window: listening for the controllers'
// announcements, the device list with the device table behind it, choosing a
// device, the presence check that drops silent devices, and the network part
// of stopping.
#include "app/form1.h"

#include "features/common/controls.h"

#include "core/error_log.h"
#include "core/error_texts.h"
#include "features/system_info/system_info_feature.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace kalmo {

namespace {

// Texts of discovery and presence.
const QString kWaitingForDevicesText = QStringLiteral("正在查询设备，请稍候");
const QString kNewDeviceText = QStringLiteral("有新设备上线");
const QString kChooseDeviceText = QStringLiteral("当前有设备在线,请选择设备IP");
const QString kNoDeviceOnlineText = QStringLiteral("当前无在线设备,请检查设备状态");
const QString kDeviceOfflineText = QStringLiteral("有设备下线");
const QString kChosenDeviceOfflineText = QStringLiteral("当前设备下线");
const QString kReadingInformationText = QStringLiteral("正在读取信息");
const QString kWinsockErrorTitle = QStringLiteral("请注意Winsock错误!");
const QString kRestartAfterErrorText = QStringLiteral("请排除错误原因后,重新开始");

// Log labels of the handlers.
constexpr char kAnnouncementLabel[] = "wsckdevicequery_DataArrival(Form1)";
constexpr char kPresenceTickLabel[] = "timCheckDevice_Timer(Form1)";
constexpr char kDeviceChoiceLabel[] = "CmbDevice_Click(Form1)";

} // namespace

namespace {

} // namespace

void Form1::buildNetworkLink()
{
    connect(m_session->wsckDeviceQuery, &AnnouncementListener::announcementReceived, this,
            [this](const Announcement &announcement) {
                runLogged(kAnnouncementLabel, [&] { takeAnnouncement(announcement); });
            });
    connect(m_session->timCheckDevice, &QTimer::timeout, this, &Form1::timCheckDevice_Timer);
    // A choice made in the list, the same entry again included.
    connect(cmbDevice, &QComboBox::activated, this, [this] { cmbDevice_Click(); });
}

// ---- Start and stop ---------------------------------------------------------

void Form1::startNetworkLink()
{
    lockLinkChoice();
    tellSections(ConnectionEvent::NetworkListening);

    m_session->timMscon->setInterval(kReceiveTimeoutMs);
    m_session->Timer1->setInterval(kDispatchIntervalMs);
    m_session->Timer1->stop();

    if (const auto failure = m_session->wsckDeviceQuery->start(m_session->discoveryPort)) {
        listeningFailed(*failure);
        return;
    }
    setStatusText(kWaitingForDevicesText);

    // One empty entry and no list item: the two stay index-aligned.
    m_session->deviceTable.reset();
    for (int i = cmbDevice->count() - 1; i >= 0; --i)
        cmbDevice->removeItem(i);
    cmbDevice->hide();
    m_deviceAutoChosen = false;

    ForCustomer();
}

void Form1::listeningFailed(const SocketFailure &failure)
{
    // Typically the port is held by another program. No log line.
    showBox({QMessageBox::Warning, kWinsockErrorTitle,
             WinsockErrorText(failure.number, failure.description)});
    optComm[0]->setEnabled(true);
    optComm[1]->setEnabled(true);
    StartRun->setEnabled(true);
    cmdStop->setEnabled(false);
    tellSections(ConnectionEvent::OpeningFailed);
    setStatusText(kRestartAfterErrorText);
    ForCustomer();
}

void Form1::stopNetworkLink()
{
    m_session->wsckDeviceQuery->stop();
    m_session->wsckR_W->close();
    m_session->deviceTable.reset();
    setStatusText(QString());
    for (int i = cmbDevice->count() - 1; i >= 0; --i)
        cmbDevice->removeItem(i);
    cmbDevice->hide();
}

// ---- Announcements ----------------------------------------------------------

void Form1::wsckDeviceQuery_DataArrival(const QByteArray &datagram)
{
    runLogged(kAnnouncementLabel, [&] {
        // Anything but 91 bytes of kind 4 is ignored without a word.
        if (const auto announcement = parseAnnouncement(datagram)) takeAnnouncement(*announcement);
    });
}

void Form1::takeAnnouncement(const Announcement &announcement)
{
    const AnnouncementOutcome outcome = m_session->deviceTable.take(announcement);
    switch (outcome.kind) {
    case AnnouncementOutcome::Kind::Ignored:
        return;
    case AnnouncementOutcome::Kind::Refreshed:
        break;
    case AnnouncementOutcome::Kind::Added: {
        Q_ASSERT(outcome.index == cmbDevice->count());
        // Listing a device does not choose it.
        const int current = cmbDevice->currentIndex();
        cmbDevice->addItem(outcome.itemText);
        cmbDevice->setCurrentIndex(current);
        setStatusText(kNewDeviceText);
        break;
    }
    }

    if (!m_session->timCheckDevice->isActive()) m_session->timCheckDevice->start();
    if (cmbDevice->isHidden() && cmbDevice->count() >= 1) {
        cmbDevice->show();
        setStatusText(kChooseDeviceText);
        cmbDevice->setFocus();
    }

    // --device: the named device is chosen as soon as it is listed.
    if (!m_deviceAutoChosen && !m_options.device.isEmpty()) {
        const int index = cmbDevice->findText(m_options.device, Qt::MatchExactly);
        if (index >= 0) {
            m_deviceAutoChosen = true;
            cmbDevice->setCurrentIndex(index);
            cmbDevice_Click();
        }
    }
}

// ---- Device choice ----------------------------------------------------------

void Form1::cmbDevice_Click()
{
    runLogged(kDeviceChoiceLabel, [&] {
        const int index = cmbDevice->currentIndex();
        // The panel is reset for the device: nothing read yet.
        m_session->resetCounters();
        m_session->Timer1->stop();
        m_session->timMscon->stop();
        resetPauseButton(false);
        tellSections(ConnectionEvent::DeviceChosen);
        setStatusText(kReadingInformationText);

        const DeviceEntry entry = m_session->deviceTable.entryForItem(index);
        const QString itemText = cmbDevice->itemText(index);
        const QStringList parts = itemText.split(u'.');
        if (parts.size() != 4) throw ProcedureError(subscriptOutOfRangeText());
        systemInfoFeature->showChosenDevice(parts, entry.pdTagText());

        if (const auto failure = m_session->wsckR_W->aim(itemText, entry.servicePort))
            throw ProcedureError(WinsockErrorText(failure->number, failure->description));

        m_session->tagCaptureFlag = 0;
        // Zigbee, tags, system parameters, week day, clock, DI/DO, gateway,
        // MAC; then the idle DI/DO read every 300 ms.
        dispatcher().stack().loadNetworkStart();
        m_session->Timer1->start();
    });
}

// ---- Presence ---------------------------------------------------------------

void Form1::timCheckDevice_Timer()
{
    runLogged(kPresenceTickLabel, [&] {
        std::array<QString, 4> addressBoxes;
        for (std::size_t i = 0; i < addressBoxes.size(); ++i)
            addressBoxes[i] = systemInfoFeature->panel()->txtIp[i]->text();

        const QList<DeviceDeparture> departures =
            m_session->deviceTable.checkPresence(addressBoxes);
        for (const DeviceDeparture &departure : departures) {
            switch (departure.kind) {
            case DeviceDeparture::Kind::LastDevice:
                cmbDevice->removeItem(int(departure.index));
                m_session->timCheckDevice->stop();
                cmbDevice->hide();
                setStatusText(kNoDeviceOnlineText);
                stopReadingLostDevice();
                tellSections(ConnectionEvent::LastDeviceGone);
                break;
            case DeviceDeparture::Kind::Chosen:
                setStatusText(kChosenDeviceOfflineText);
                stopReadingLostDevice();
                resetPauseButton(false);
                tellSections(ConnectionEvent::ChosenDeviceGone);
                cmbDevice->removeItem(int(departure.index));
                // No entry stays shown as chosen.
                cmbDevice->setCurrentIndex(-1);
                break;
            case DeviceDeparture::Kind::Other:
                setStatusText(kDeviceOfflineText);
                cmbDevice->removeItem(int(departure.index));
                break;
            }
        }

        // Nothing listed any more: nothing to read or write.
        if (cmbDevice->count() == 0) {
            resetPauseButton(false);
            tellSections(ConnectionEvent::NoDeviceListed);
        }
    });
}

// The chosen device is gone: no more reads, the counters back to 0.
void Form1::stopReadingLostDevice()
{
    m_session->Timer1->stop();
    m_session->timMscon->stop();
    m_session->resetCounters();
}

} // namespace kalmo
