#include "features/image_files/image_files_feature.h"

#include "core/error_log.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>

namespace kalmo {

namespace {

constexpr char kLoadLabel[] = "cmdGetSys_Click(Form1)";
constexpr char kRecordLabel[] = "AnalysisParam(Form1)";
const QString kEmptyPathText = QStringLiteral("镜像文件不能为空");
const QString kNoSuchFileText = QStringLiteral("该镜像文件不存在");
const QString kReadFailedText = QStringLiteral("镜像文件读取失败：");

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
    requests().systemInformationShowing.listen([this] { disableButtons(); });
}

void ImageFilesFeature::disableButtons()
{
    for (QWidget *w : std::initializer_list<QWidget *>{m_panel->cmdSave, m_panel->cmdRead,
                                                       m_panel->ReadTxtPublic})
        w->setEnabled(false);
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
        disableButtons();
        m_panel->cmdSave->show();
        m_panel->cmdRead->show();
        break;
    case ConnectionEvent::ChosenDeviceGone:
    case ConnectionEvent::NoDeviceListed:
        disableButtons();
        break;
    default:
        break;
    }
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
