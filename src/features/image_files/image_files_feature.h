#pragma once
// The image-file section: saving the panel to a parameter image and loading
// one back.
#include "features/common/feature.h"
#include "features/image_files/image_file_panel.h"

namespace kalmo {

class ImageFilesFeature : public Feature
{
    Q_OBJECT
public:
    ImageFilesFeature(const FeatureContext &context, QObject *parent);

    ImageFilePanel *panel() const { return m_panel; }
    void onConnection(ConnectionEvent event) override;

private:
    void disableButtons();

    ImageFilePanel *m_panel;
};

} // namespace kalmo
