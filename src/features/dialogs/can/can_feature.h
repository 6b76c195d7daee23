#pragma once
// The CAN dialog's feature code: opening the window, its three requests on
// the serial link (the network has no CAN functions: the buttons are
// disabled there), and the replies shown in it.
#include "features/common/feature.h"
#include "features/dialogs/can/can_dialog.h"
#include "features/dialogs/dialog_window.h"

namespace kalmo {

class CanFeature : public Feature
{
    Q_OBJECT
public:
    CanFeature(const FeatureContext &context, QWidget *owner, QObject *parent);

    // "CAN检测与设置": shows the window, made on first use.
    void Command2_Click();
    // The window, or null when it has not been made or has been closed.
    CanSetDialog *dialog() const { return m_dialog.made(); }

    void CanDetect_Click();
    void CanRead_Click();
    // Refused with "请先读取参数" until both lists hold a selection.
    void CanWrite_Click();

    void onConnection(ConnectionEvent event) override;

private:
    void enableButtons();
    void push(qint16 code);
    void showSettings(const Reply &reply);
    void showCheck(const Reply &reply);

    DialogWindow<CanSetDialog> m_dialog;
};

} // namespace kalmo
