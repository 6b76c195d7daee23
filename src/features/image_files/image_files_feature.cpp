#include "features/image_files/image_files_feature.h"

#include <QPushButton>

namespace kalmo {

ImageFilesFeature::ImageFilesFeature(const FeatureContext &context, QObject *parent)
    : Feature(context, parent), m_panel(new ImageFilePanel)
{
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

} // namespace kalmo
