#include "features/dialogs/can/can_dialog.h"

#include "features/common/controls.h"
#include "protocol/can_block.h"

#include <QHBoxLayout>

namespace kalmo {

using namespace controls;

CanSetDialog::CanSetDialog(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("CanSet"));
    setWindowTitle(QStringLiteral("CAN配置"));

    auto *settings = frame(this, QStringLiteral("canFrame"), QStringLiteral("CAN参数配置"));
    CanBaud = comboBox(settings, QStringLiteral("CanBaud"), 6);
    CanMS = comboBox(settings, QStringLiteral("CanMS"), 6);
    fillList(CanBaud, canBaudNames());
    fillList(CanMS, canRoleNames());
    shpFlashCan = lamp(settings, QStringLiteral("shpFlashCan"));

    auto *grid = new QGridLayout(settings);
    addRow(grid, 0, QStringLiteral("波特率"), CanBaud);
    addRow(grid, 1, QStringLiteral("主从"), CanMS);
    grid->addWidget(shpFlashCan, 0, 2, 2, 1, Qt::AlignCenter);
    closeRows(grid);

    CanDetect = button(this, QStringLiteral("CanDetect"), QStringLiteral("CAN检测"));
    CanRead = button(this, QStringLiteral("CanRead"), QStringLiteral("读取"));
    CanWrite = button(this, QStringLiteral("CanWrite"), QStringLiteral("写入"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(CanDetect);
    buttons->addStretch();
    buttons->addWidget(CanRead);
    buttons->addWidget(CanWrite);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(settings);
    layout->addLayout(buttons);
}

} // namespace kalmo
