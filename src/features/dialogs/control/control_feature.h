#pragma once
// The control-parameter window's feature code: "控制参数" opens it and reads
// the block; its read and write on both links.
#include "features/dialogs/control/control_dialog.h"
#include "features/dialogs/dialog_feature.h"
#include "features/dialogs/dialog_window.h"

namespace kalmo {

class ControlFeature : public DialogFeature
{
    Q_OBJECT
public:
    ControlFeature(const FeatureContext &context, QWidget *owner, QObject *parent);

    // "控制参数": queues the read and shows the window.
    void bt_Ctrl_Click();
    ControlDialog *dialog() const { return m_dialog.made(); }

    void bt_readCtrl_Click();
    // Refused with "请先读取参数" until a read has filled the window.
    void bt_writeCtrl_Click();

private:
    void OnReadCtrl(const Reply &reply);
    BuildOutcome WriteCtrl(BuildContext &context);

    DialogWindow<ControlDialog> m_dialog;
    // The block last read: what no control shows is written back from it.
    QByteArray m_read;
    bool m_filled = false;
};

} // namespace kalmo
