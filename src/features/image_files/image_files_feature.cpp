#include "features/image_files/image_files_feature.h"

#include "core/error_log.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>

namespace kalmo {

namespace {

constexpr char kLoadLabel[] = "cmdGetSys_Click(Form1)";
constexpr char kRecordLabel[] = "AnalysisParam(Form1)";
const QString kEmptyPathText = QStringLiteral("镜像文件不能为空");
const QString kNoSuchFileText = QStringLiteral("该镜像文件不存在");
const QString kReadFailedText = QStringLiteral("镜像文件读取失败：");
constexpr char kSaveLabel[] = "cmdSave_Click(Form1)";
const QString kWrongDeviceTypeText = QStringLiteral("“设备类型”不正确，无法保存镜像！");
const QString kPdTagMismatchText = QStringLiteral("“PDTag”与“设备类型”不符，是否确定保存？");
const QString kSerialMismatchText = QStringLiteral("“设备序列号”与“设备类型”不符，是否确定保存？");
const QString kOverwriteText = QStringLiteral("文件已存在，是否要覆盖？");
const QString kSavedText = QStringLiteral("信息存盘成功");
const QString kSaveFailedText = QStringLiteral("镜像文件保存失败：");
// The PD tag starts with the device type it was made for.
constexpr int kPdTagTypeLength = 7;

QString illegalCharacterText(const QString &label)
{
    return QStringLiteral("“") + label + QStringLiteral("”含有非法字符“|”或“€”，无法保存镜像！");
}

} // namespace

ImageFilesFeature::ImageFilesFeature(const FeatureContext &context, QObject *parent)
    : Feature(context, parent), m_panel(new ImageFilePanel)
{
    chooseImageFile = [this] {
        return QFileDialog::getOpenFileName(m_panel->window(), QStringLiteral("浏览镜像文件"),
                                            QString(), QStringLiteral("浏览镜像文件txt (*.txt)"));
    };
    connect(m_panel->cmdRead, &QPushButton::clicked, this, &ImageFilesFeature::cmdRead_Click);
    connect(m_panel->ReadTxtPublic, &QPushButton::clicked, this,
            &ImageFilesFeature::ReadTxtPublic_Click);
    chooseSaveFile = [this](const QString &proposed) {
        return QFileDialog::getSaveFileName(m_panel->window(), QStringLiteral("保存为镜像"),
                                            proposed, QStringLiteral("镜像文件txt (*.txt)"),
                                            nullptr, QFileDialog::DontConfirmOverwrite);
    };
    connect(m_panel->cmdSave, &QPushButton::clicked, this, &ImageFilesFeature::cmdSave_Click);
    // Images can be saved and loaded from start-up on, and again whenever the
    // system information is shown.
    enableButtons(true);
    requests().systemInformationShowing.listen([this] { enableButtons(true); });
}

void ImageFilesFeature::enableButtons(bool enabled)
{
    for (QWidget *w : std::initializer_list<QWidget *>{m_panel->cmdSave, m_panel->cmdRead,
                                                       m_panel->ReadTxtPublic})
        w->setEnabled(enabled);
}

void ImageFilesFeature::onConnection(ConnectionEvent event)
{
    switch (event) {
    case ConnectionEvent::SerialStarting:
        m_panel->cmdSave->show();
        m_panel->cmdRead->show();
        break;
    case ConnectionEvent::Stopped:
    case ConnectionEvent::DeviceChosen:
        enableButtons(false);
        m_panel->cmdSave->show();
        m_panel->cmdRead->show();
        break;
    case ConnectionEvent::ChosenDeviceGone:
    case ConnectionEvent::NoDeviceListed:
        enableButtons(false);
        break;
    default:
        break;
    }
}

// ---- Saving ----------------------------------------------------------------------

void ImageFilesFeature::cmdSave_Click()
{
    runLogged(kSaveLabel, [&] {
        const QString title = QApplication::applicationDisplayName();
        const QString deviceType = requests().deviceTypeText();
        if (!imageSavableDeviceType(deviceType)) {
            window().showBox({QMessageBox::NoIcon, title, kWrongDeviceTypeText});
            return;
        }
        ImageRecord record;
        requests().collectImage(record);
        if (record.pdTag.left(kPdTagTypeLength) != deviceType &&
            !window().ask({QMessageBox::Warning, title, kPdTagMismatchText}))
            return;
        if (!serialNumberFitsDeviceType(deviceType, record.serialNumber) &&
            !window().ask({QMessageBox::Question, title, kSerialMismatchText}))
            return;
        // A "|" or "€" in a value would cut its item or make it unreadable.
        if (const std::optional<QString> label = labelBreakingImageFile(record)) {
            window().showBox({QMessageBox::Warning, title, illegalCharacterText(*label)});
            return;
        }

        QString path = chooseSaveFile(record.serialNumber);
        if (path.isEmpty()) return; // cancelled: nothing to do, nothing to log
        if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".txt");
        if (QFileInfo::exists(path) &&
            !window().ask({QMessageBox::Question, title, kOverwriteText}))
            return;

        // Written beside the old file and put in its place only when whole.
        QSaveFile file(path);
        const QByteArray bytes = imageFileBytes(record);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
            !file.commit()) {
            appendErrorLog(QString::fromUtf8(kSaveLabel), file.errorString());
            window().showBox({QMessageBox::Warning, title, kSaveFailedText + path});
            return;
        }
        window().setStatus(kSavedText);
    });
}

// ---- Loading ---------------------------------------------------------------------

void ImageFilesFeature::cmdRead_Click()
{
    // A cancelled dialog is no error and leaves the path as it was.
    const QString path = chooseImageFile();
    if (!path.isEmpty()) m_panel->txtISOAddr->setText(path);
}

void ImageFilesFeature::ReadTxtPublic_Click()
{
    const QString path = m_panel->txtISOAddr->text().trimmed();
    const QString title = QApplication::applicationDisplayName();
    if (path.isEmpty()) {
        window().showBox({QMessageBox::NoIcon, title, kEmptyPathText});
        return;
    }
    QFile file(path);
    if (!file.exists()) {
        window().showBox({QMessageBox::NoIcon, title, kNoSuchFileText});
        return;
    }
    // The whole file is decoded in one piece before it is split.
    if (!file.open(QIODevice::ReadOnly)) {
        appendErrorLog(QString::fromUtf8(kLoadLabel), file.errorString());
        window().showBox({QMessageBox::Warning, title, kReadFailedText + path});
        return;
    }
    applyItems(readImageFile(file.readAll()), kLoadLabel);
}

void ImageFilesFeature::applyRecord(const QString &record)
{
    applyItems(readImageItems(record), kRecordLabel);
}

void ImageFilesFeature::applyItems(const QList<ImageItem> &items, const char *logLabel)
{
    for (const ImageItem &item : items)
        runLogged(logLabel, [&] { ApplyImageItem(item.key, item.value); });
}

void ImageFilesFeature::ApplyImageItem(const QString &key, const QString &value)
{
    if (const std::optional<ImageItemTarget> target = imageItemTarget(key))
        requests().imageValue(*target, value);
}

} // namespace kalmo
