#pragma once
// The buttons of the main window that open the parameter dialogs.
#include <QPushButton>
#include <QWidget>

namespace kalmo {

class ParameterDialogsPanel : public QWidget
{
    Q_OBJECT
public:
    explicit ParameterDialogsPanel(QWidget *parent = nullptr);

    QPushButton *bt_Ctrl = nullptr;     // "控制参数": Form_Ctrl
    QPushButton *bt_Resend = nullptr;   // "转发": Form_Resend
    QPushButton *bt_Rongyu = nullptr;   // "冗余参数": Form_Rongyu
    QPushButton *bt_SM = nullptr;       // "SM区": Form_SM
    QPushButton *Command2 = nullptr;    // "CAN检测与设置": CanSet
    QPushButton *btSlaveShow = nullptr; // " 查看从设备信息": SlaveInfoForm
};

} // namespace kalmo
