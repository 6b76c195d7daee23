#include "features/dialogs/parameter_dialogs_panel.h"

#include "features/common/controls.h"

#include <QGridLayout>
#include <QVBoxLayout>

namespace kalmo {

using namespace controls;

ParameterDialogsPanel::ParameterDialogsPanel(QWidget *parent) : QWidget(parent)
{
    auto *dialogs =
        frame(this, QStringLiteral("parameterDialogsFrame"), QStringLiteral("参数配置"));
    bt_Ctrl = button(dialogs, QStringLiteral("bt_Ctrl"), QStringLiteral("控制参数"));
    bt_Resend = button(dialogs, QStringLiteral("bt_Resend"), QStringLiteral("转发"));
    bt_Rongyu = button(dialogs, QStringLiteral("bt_Rongyu"), QStringLiteral("冗余参数"));
    bt_SM = button(dialogs, QStringLiteral("bt_SM"), QStringLiteral("SM区"));
    Command2 = button(dialogs, QStringLiteral("Command2"), QStringLiteral("CAN检测与设置"));
    btSlaveShow = button(dialogs, QStringLiteral("btSlaveShow"), QStringLiteral(" 查看从设备信息"));

    auto *grid = new QGridLayout(dialogs);
    QPushButton *const order[6] = {bt_Ctrl, bt_Resend, bt_Rongyu, bt_SM, Command2, btSlaveShow};
    for (int i = 0; i < 6; ++i) {
        order[i]->setMinimumWidth(120);
        grid->addWidget(order[i], i / 3, i % 3);
    }
    grid->setColumnStretch(3, 1);
    closeRows(grid);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(dialogs);
}

} // namespace kalmo
