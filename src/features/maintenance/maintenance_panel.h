#pragma once
// The maintenance section of the main window: extended-RAM test with its
// lamps, light-board check, stop-and-clear, saving and restoring the device's
// parameters, and Profibus.
#include "features/common/lamp.h"

#include <QCheckBox>
#include <QPushButton>
#include <QWidget>

#include <array>

namespace kalmo {

class MaintenancePanel : public QWidget
{
    Q_OBJECT
public:
    explicit MaintenancePanel(QWidget *parent = nullptr);

    QPushButton *bt_CheckRAM = nullptr; // "测试RAM"
    std::array<Lamp *, 8> ram_sap{};    // one per RAM area

    QPushButton *cmdCheckLight = nullptr; // "启动灯板检测"
    QPushButton *cmdStopCheck = nullptr;  // "停止灯板检测"
    QPushButton *cmdClearCode = nullptr;  // "清除指令"

    QPushButton *Command_STORE = nullptr;    // "保存参数"
    QPushButton *Command_Resume = nullptr;   // "恢复参数"
    QPushButton *Cmd_DefaultParam = nullptr; // "恢复默认参数"

    // "恢复选中参数": box i is bit i of the selection byte
    std::array<QCheckBox *, 8> Check_SysParam{};
    QPushButton *Cmd_ResumeParam = nullptr; // "恢复选中参数"

    QPushButton *btRProfibus = nullptr; // "读Profibus状态"
    QCheckBox *ckProfibus = nullptr;    // "开启" / "关闭"
};

} // namespace kalmo
