#pragma once
// The redundancy window's feature code: "冗余参数" opens it and reads the
// block; its read and write on both links, "全选" and "全否".
#include "features/dialogs/dialog_feature.h"
#include "features/dialogs/dialog_window.h"
#include "features/dialogs/redundancy/redundancy_dialog.h"
#include "protocol/redundancy_block.h"

namespace kalmo {

class RedundancyFeature : public DialogFeature
{
    Q_OBJECT
public:
    RedundancyFeature(const FeatureContext &context, QWidget *owner, QObject *parent);

    // "冗余参数": queues the read and shows the window.
    void bt_Rongyu_Click();
    RedundancyDialog *dialog() const { return m_dialog.made(); }

    void bt_readRongyu_Click();
    // Refused with "请先读取参数" until a read has filled the window.
    void bt_writeRongyu_Click();
    void by_selAll_Click() { checkAllAreas(true); }
    void bt_selNone_Click() { checkAllAreas(false); }

private:
    void checkAllAreas(bool checked);
    void OnReadRongyu(const Reply &reply);
    BuildOutcome WriteRongyu(BuildContext &context);

    DialogWindow<RedundancyDialog> m_dialog;
    // The block last read: what no control shows is written back from it.
    RedundancyRecord m_read;
    bool m_filled = false;
};

} // namespace kalmo
