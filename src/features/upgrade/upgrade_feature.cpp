#include "features/upgrade/upgrade_feature.h"

#include "core/bytes.h"
#include "core/error_log.h"
#include "protocol/crc.h"
#include "protocol/network_replies.h"
#include "protocol/upgrade_package.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>

#include <vector>

namespace kalmo {

namespace {

const QString kUpgradeSucceededMessage = QStringLiteral("升级成功！");
const QString kUpgradeDoneText = QStringLiteral("升级下位机成功");
const QString kNoPathText = QStringLiteral("升级文件地址不能为空");
const QString kReadingText = QStringLiteral("正在读取并解析升级文件");
const QString kReadText = QStringLiteral("读取并解析升级文件成功");
const QString kConfirmText = QStringLiteral("升级将冲掉原来的程序\r\n\r\n是否确认？");
constexpr char kUpdataClickLabel[] = "bt_Updata_Click(Form1)";

MessageBoxRequest plainBox(const QString &text)
{
    return {QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, {}};
}

} // namespace

UpgradeFeature::UpgradeFeature(const FeatureContext &context, QObject *parent)
    : Feature(context, parent), m_panel(new UpgradePanel)
{
    Session &s = session();
    s.upgradeButtonHook = [this](bool enabled) { m_panel->bt_Updata->setEnabled(enabled); };
    registerBuilders();
    s.handle(SerialReplyAction::UpgradeBlock, [this](const Reply &) { serialBlockAcknowledged(); });
    s.handle(NetworkReplyAction::UpgradeBlock,
             [this](const Reply &) { networkBlockAcknowledged(); });

    chooseUpgradeFile = [this] {
        // Upper- and lower-case extensions alike, on file systems that tell
        // them apart.
        return QFileDialog::getOpenFileName(m_panel->window(), QStringLiteral("浏览升级文件"),
                                            QString(), QStringLiteral("BIN (*.BIN *.bin)"));
    };
    connect(m_panel->bt_FindUpdataFile, &QPushButton::clicked, this,
            &UpgradeFeature::bt_FindUpdataFile_Click);
    connect(m_panel->bt_Updata, &QPushButton::clicked, this, &UpgradeFeature::bt_Updata_Click);

    // A device without a program can be given one at once on the network; a
    // known model can always be upgraded.
    requests().noUserProgram.listen([this](Link link) {
        if (link == Link::Network) enableUpgrade();
    });
    requests().systemInformationShown.listen([this](bool known) {
        if (known) enableUpgrade();
    });
}

// The three requests of a transfer. Network writes carry item count 0.
void UpgradeFeature::registerBuilders()
{
    Session &s = session();
    s.registerBuilder(Builder::UpgradeStart, [](BuildContext &c) {
        if (c.link == Link::Network) {
            c.send.writePayload = QByteArray(1, '\0');
            c.send.itemCount = 0;
        }
        return BuildOutcome::built();
    });
    s.registerBuilder(Builder::UpgradeSize, [this](BuildContext &c) {
        QByteArray size(2, '\0');
        setLe16At(size, 0, quint16(session().upgrade.count));
        if (c.link == Link::Serial) {
            c.frame.replace(3, 2, size);
        } else {
            c.send.writePayload = size;
            c.send.itemCount = 0;
        }
        return BuildOutcome::built();
    });
    s.registerBuilder(Builder::UpgradeBlock, [this](BuildContext &c) {
        UpgradeTransfer &transfer = session().upgrade;
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

bool UpgradeFeature::upgrading() const
{
    return session().dispatcher().stack().held();
}

void UpgradeFeature::enableUpgrade()
{
    m_panel->bt_FindUpdataFile->setEnabled(true);
    if (!upgrading()) m_panel->bt_Updata->setEnabled(true);
}

void UpgradeFeature::onConnection(ConnectionEvent)
{
    // Every moment of a connection leaves no device shown yet (or none at
    // all): an upgrade waits until one is.
    if (!upgrading()) m_panel->bt_Updata->setEnabled(false);
}

// ---- Choosing and reading the file ------------------------------------------

void UpgradeFeature::bt_FindUpdataFile_Click()
{
    // A cancelled dialog changes nothing.
    const QString path = chooseUpgradeFile();
    if (!path.isEmpty()) m_panel->txt_UpdataAddr->setText(path);
}

bool UpgradeFeature::ReadUpgradeFile(const QString &path)
{
    window().setStatus(kReadingText);
    const QString fileName = path.trimmed();

    // A file too large to be sent is refused before it is read.
    const QFileInfo info(fileName);
    if (info.isFile() && info.size() > kUpgradeMaxImageSize) {
        window().showBox(plainBox(upgradeRefusalText(UpgradeRefusal::TooLarge, path)));
        return false;
    }
    QFile file(fileName);
    QByteArray image;
    if (file.open(QIODevice::ReadOnly)) image = file.readAll();
    UpgradePackage package = SetBin(image);
    if (file.error() != QFileDevice::NoError && package.accepted())
        package.refusal = UpgradeRefusal::Empty; // read but not whole: as unreadable
    if (!package.accepted()) {
        window().showBox(plainBox(upgradeRefusalText(package.refusal, path)));
        return false;
    }

    UpgradeTransfer &transfer = session().upgrade;
    transfer.packets = std::move(package.UpgradePackets);
    transfer.count = package.UpgradePacketCount;
    m_imageSize = image.size();
    m_imageCrc32 = crc32(image);
    window().setStatus(kReadText);
    return true;
}

// ---- The transfer ------------------------------------------------------------------

void UpgradeFeature::bt_Updata_Click()
{
    runLogged(kUpdataClickLabel, [this] {
        const QString path = m_panel->txt_UpdataAddr->text().trimmed();
        if (path.isEmpty()) {
            window().showBox(plainBox(kNoPathText));
            return;
        }
        if (upgrading() || !ReadUpgradeFile(path)) return;

        MessageBoxRequest question = plainBox(kConfirmText);
        question.icon = QMessageBox::Question;
        question.informativeText =
            QStringLiteral("文件：%1\n大小：%2 字节\n包数：%3\nCRC-32：%4")
                .arg(path)
                .arg(m_imageSize)
                .arg(session().upgrade.count)
                .arg(QString::number(m_imageCrc32, 16).rightJustified(8, u'0').toUpper());
        if (!window().ask(question)) return;
        StartUpgrade();
    });
}

void UpgradeFeature::StartUpgrade()
{
    runLogged(kUpdataClickLabel, [this] {
        Session &s = session();
        const int count = s.upgrade.count;
        s.StartProgress(count + 3, false);
        s.upgrade.index = 0;

        const Link link = window().chosenLink();
        if (link != Link::Serial && link != Link::Network) return;
        const bool serial = link == Link::Serial;
        const qint16 start =
            serial ? qint16(serial_cmd::UpgradeStart) : qint16(network_cmd::UpgradeStart);
        const qint16 size =
            serial ? qint16(serial_cmd::UpgradeSize) : qint16(network_cmd::UpgradeSize);
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
    });
}

void UpgradeFeature::serialBlockAcknowledged()
{
    Session &s = session();
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

    finishTransfer();
    // Back to the connection speed. A port that does not reopen is reported;
    // the new connection below tries it once more.
    try {
        window().reopenSerialPort(kNormalPortSettings);
    } catch (const std::exception &e) {
        appendErrorLog(QString::fromUtf8(kUpdataClickLabel), describeError(e));
        window().showBox(
            {QMessageBox::Warning, QApplication::applicationDisplayName(), describeError(e)});
    }
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
        // The last packet is in.
        finishTransfer();
        s.timCheckDevice->setInterval(kCheckDeviceAfterUpgradeMs);
        s.timCheckDevice->start();
        window().showBox(plainBox(kUpgradeSucceededMessage));
    }
    s.dispatcher().setUpgradeFlag(0);
}

// The transfer is complete: progress hidden, the stack released, the button
// back, the dispatcher at its usual pace.
void UpgradeFeature::finishTransfer()
{
    Session &s = session();
    s.progress.value = 0;
    s.hideProgress();
    s.dispatcher().stack().hold(false);
    m_panel->bt_Updata->setEnabled(true);
    s.Timer1->setInterval(kDispatchIntervalMs);
}

} // namespace kalmo
