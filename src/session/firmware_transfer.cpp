#include "session/firmware_transfer.h"

#include "core/bytes.h"
#include "core/error_log.h"
#include "protocol/command_codes.h"
#include "protocol/network_replies.h"
#include "protocol/upgrade_package.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <vector>

namespace kalmo {

namespace {

constexpr char kUpdataClickLabel[] = "bt_Updata_Click(Form1)";

} // namespace

UpgradePackage readFirmwareFile(const QString &path, QByteArray *image)
{
    const QFileInfo info(path);
    if (info.isFile() && info.size() > kUpgradeMaxImageSize) {
        UpgradePackage refused;
        refused.refusal = UpgradeRefusal::TooLarge;
        return refused;
    }
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
    UpgradePackage package = SetBin(bytes);
    if (file.error() != QFileDevice::NoError && package.accepted())
        package.refusal = UpgradeRefusal::Empty; // read but not whole: as unreadable
    if (image) *image = bytes;
    return package;
}

FirmwareTransfer::FirmwareTransfer(Session &session) : m_session(session)
{
    registerBuilders();
    m_session.handle(SerialReplyAction::UpgradeBlock,
                     [this](const Reply &) { serialBlockAcknowledged(); });
    m_session.handle(NetworkReplyAction::UpgradeBlock,
                     [this](const Reply &) { networkBlockAcknowledged(); });
}

// The three requests of a transfer. Network writes carry item count 0.
void FirmwareTransfer::registerBuilders()
{
    Session &s = m_session;
    s.registerBuilder(Builder::UpgradeStart, [](BuildContext &c) {
        if (c.link == Link::Network) {
            c.send.writePayload = QByteArray(1, '\0');
            c.send.itemCount = 0;
        }
        return BuildOutcome::built();
    });
    s.registerBuilder(Builder::UpgradeSize, [this](BuildContext &c) {
        QByteArray size(2, '\0');
        setLe16At(size, 0, quint16(m_session.upgrade.count));
        if (c.link == Link::Serial) {
            c.frame.replace(3, 2, size);
        } else {
            c.send.writePayload = size;
            c.send.itemCount = 0;
        }
        return BuildOutcome::built();
    });
    s.registerBuilder(Builder::UpgradeBlock, [this](BuildContext &c) {
        UpgradeTransfer &transfer = m_session.upgrade;
        if (transfer.index < 0 || transfer.index >= transfer.packets.size() ||
            transfer.packets[transfer.index].size() != kUpgradePacketSize)
            throw ProcedureError(subscriptOutOfRangeText());
        const QByteArray &packet = transfer.packets[transfer.index];
        if (c.link == Link::Serial) {
            c.frame.replace(3, kUpgradePacketSize, packet);
        } else {
            c.send.writePayload = packet;
            c.send.itemCount = 0;
        }
        // The device counts the packets; the next one follows this one.
        ++transfer.index;
        return BuildOutcome::built();
    });
}

bool FirmwareTransfer::running() const
{
    return m_session.dispatcher().stack().held();
}

void FirmwareTransfer::start(Link link)
{
    Session &s = m_session;
    const int count = s.upgrade.count;
    s.StartProgress(count + 3, false);
    s.upgrade.index = 0;
    if (link != Link::Serial && link != Link::Network) return;

    const bool serial = link == Link::Serial;
    const qint16 start =
        serial ? qint16(serial_cmd::UpgradeStart) : qint16(network_cmd::UpgradeStart);
    const qint16 size = serial ? qint16(serial_cmd::UpgradeSize) : qint16(network_cmd::UpgradeSize);
    const qint16 block =
        serial ? qint16(serial_cmd::UpgradeBlock) : qint16(network_cmd::UpgradeBlock);
    // Run order: start, size, then the packets; the last pushed runs first.
    std::vector<qint16> codes(std::size_t(count), block);
    codes.push_back(size);
    codes.push_back(start);
    CommandStack &stack = s.dispatcher().stack();
    stack.replacePending(codes);
    // Nothing else is queued until the transfer has ended.
    stack.hold(true);
}

void FirmwareTransfer::serialBlockAcknowledged()
{
    Session &s = m_session;
    s.Timer2->stop();
    s.Timer1->stop();
    s.dispatcher().sendState().itemCount = 0;

    if (s.progress.maximum > s.progress.value) {
        // Packets remain: the next one goes out now; sending it sets the
        // upgrade flag again.
        s.dispatcher().setUpgradeFlag(0);
        s.Timer1_Timer();
        return;
    }

    finish();
    // Back to the connection speed. A port that does not reopen is reported;
    // the new connection tries it once more.
    try {
        s.view().reopenSerialPort(kNormalPortSettings);
    } catch (const std::exception &e) {
        appendErrorLog(QString::fromUtf8(kUpdataClickLabel), describeError(e));
        portError(describeError(e));
    }
    serialFinished();

    s.Timer2->stop();
    s.Timer1->start();
    s.dispatcher().setUpgradeFlag(0);
}

void FirmwareTransfer::networkBlockAcknowledged()
{
    Session &s = m_session;
    s.dispatcher().sendState().itemCount = 0;
    if (s.progress.maximum <= s.progress.value) {
        // The last packet is in.
        finish();
        s.timCheckDevice->setInterval(kCheckDeviceAfterUpgradeMs);
        s.timCheckDevice->start();
        networkFinished();
    }
    s.dispatcher().setUpgradeFlag(0);
}

// The transfer is complete: progress hidden, the stack released, the button
// back, the dispatcher at its usual pace.
void FirmwareTransfer::finish()
{
    Session &s = m_session;
    s.progress.value = 0;
    s.hideProgress();
    s.dispatcher().stack().hold(false);
    ended();
    s.Timer1->setInterval(kDispatchIntervalMs);
}

} // namespace kalmo
