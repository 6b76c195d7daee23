#include "features/upgrade/upgrade_feature.h"

#include "core/error_log.h"
#include "protocol/crc.h"
#include "protocol/upgrade_package.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>

namespace kalmo {

namespace {

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
    : Feature(context, parent), m_panel(new UpgradePanel), m_transfer(context.session)
{
    session().upgradeButtonHook = [this](bool enabled) { m_panel->bt_Updata->setEnabled(enabled); };
    m_transfer.ended = [this] { m_panel->bt_Updata->setEnabled(true); };
    m_transfer.portError = [this](const QString &error) {
        window().showBox({QMessageBox::Warning, QApplication::applicationDisplayName(), error});
    };
    m_transfer.serialFinished = [this] {
        window().setStatus(kUpgradeDoneText);
        window().startCommunication();
    };
    m_transfer.networkFinished = [this] { window().showBox(plainBox(kUpgradeSucceededMessage)); };

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

bool UpgradeFeature::upgrading() const
{
    return m_transfer.running();
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

    QByteArray image;
    UpgradePackage package = readFirmwareFile(fileName, &image);
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
    runLogged(kUpdataClickLabel, [this] { m_transfer.start(window().chosenLink()); });
}

} // namespace kalmo
