#pragma once
// The SM dialog's feature code: "SM区" opens it and reads the area; its
// read, write and clear on both links.
#include "features/dialogs/dialog_feature.h"
#include "features/dialogs/dialog_window.h"
#include "features/dialogs/sm/sm_dialog.h"

namespace kalmo {

class SmFeature : public DialogFeature
{
    Q_OBJECT
public:
    SmFeature(const FeatureContext &context, QWidget *owner, QObject *parent);

    // "SM区": queues the read and shows the window.
    void bt_SM_Click();
    // The window, or null when it has not been made or has been closed.
    SmDialog *dialog() const { return m_dialog.made(); }

    void bt_readSM_Click();
    // Refused with "请先读取参数" until a read or "清0" has filled the window.
    void bt_writeSM_Click();
    void btClear_Click();

private:
    void OnReadSM(const Reply &reply);
    BuildOutcome WriteSM(BuildContext &context);

    DialogWindow<SmDialog> m_dialog;
    bool m_filled = false; // the window holds values read or cleared
};

} // namespace kalmo
