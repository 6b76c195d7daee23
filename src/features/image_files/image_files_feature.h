#pragma once
// The image-file section: choosing a parameter image and loading it into the
// panel, and the command-line record that pre-fills the panel the same way.
#include "features/common/feature.h"
#include "features/image_files/image_file_panel.h"
#include "protocol/image_file.h"

#include <functional>

namespace kalmo {

class ImageFilesFeature : public Feature
{
    Q_OBJECT
public:
    ImageFilesFeature(const FeatureContext &context, QObject *parent);

    ImageFilePanel *panel() const { return m_panel; }
    void onConnection(ConnectionEvent event) override;

    void cmdSave_Click();
    void cmdRead_Click();
    void ReadTxtPublic_Click();
    // Puts one image value into the control its key names; keys it does not
    // know change nothing. Throws ProcedureError for a value the control
    // refuses.
    void ApplyImageItem(const QString &key, const QString &value);
    // A command-line record: every item applied as an image's would be.
    void applyRecord(const QString &record);

    // The open-file dialog; answers the chosen path, or nothing when the
    // dialog is cancelled. Replaceable so that a test chooses the file.
    std::function<QString()> chooseImageFile;
    // The save dialog, proposing a file name; answers the chosen path, or
    // nothing when it is cancelled. It never asks about overwriting: the
    // save asks once itself.
    std::function<QString(const QString &proposed)> chooseSaveFile;

private:
    // Applies the items in order; a refused value skips its item with one log
    // line under `logLabel`, and the rest still apply.
    void applyItems(const QList<ImageItem> &items, const char *logLabel);
    void enableButtons(bool enabled);

    ImageFilePanel *m_panel;
};

} // namespace kalmo
