#pragma once
// The firmware upgrade section: choosing and reading the main-program file,
// the confirmation, and the transfer with what the window shows at its end.
#include "features/common/feature.h"
#include "features/upgrade/upgrade_panel.h"
#include "session/firmware_transfer.h"

#include <functional>

namespace kalmo {

class UpgradeFeature : public Feature
{
    Q_OBJECT
public:
    UpgradeFeature(const FeatureContext &context, QObject *parent);

    UpgradePanel *panel() const { return m_panel; }

    // "浏览升级文件": the chosen file goes to txt_UpdataAddr.
    void bt_FindUpdataFile_Click();
    // "升级": the path, the file, the confirmation, then the transfer.
    void bt_Updata_Click();
    // Reads the file at `path` into the packet table. False, after telling
    // the user why, for a file that cannot be read, is empty or is too large.
    bool ReadUpgradeFile(const QString &path);
    // Fills the command stack with one transfer of the packet table on the
    // chosen link and holds it there until the transfer ends.
    void StartUpgrade();

    // The file dialog; replaceable so that tests choose without one. An
    // empty answer is a cancel.
    std::function<QString()> chooseUpgradeFile;

    void onConnection(ConnectionEvent event) override;

private:
    void enableUpgrade();
    bool upgrading() const;

    UpgradePanel *m_panel;
    FirmwareTransfer m_transfer;
    // What the engineer is asked to confirm: the file's size and CRC-32.
    qsizetype m_imageSize = 0;
    quint32 m_imageCrc32 = 0;
};

} // namespace kalmo
