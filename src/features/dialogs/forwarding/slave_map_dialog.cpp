#include "features/dialogs/forwarding/slave_map_dialog.h"

#include "features/common/controls.h"
#include "protocol/forwarding_block.h"

#include <QHBoxLayout>
#include <QLabel>

namespace kalmo {

using namespace controls;

SlaveMapDialog::SlaveMapDialog(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form_Resend_Slave"));
    setWindowTitle(QStringLiteral("从设备转发映射表"));

    auto *grid = new QGridLayout;
    grid->setVerticalSpacing(2);
    grid->addWidget(new QLabel(QStringLiteral("起始地址"), this), 0, 1, Qt::AlignCenter);
    grid->addWidget(new QLabel(QStringLiteral("结束地址"), this), 0, 2, Qt::AlignCenter);
    for (int i = 0; i < kSlaveMapRows; ++i) {
        txt_start[std::size_t(i)] = lineEdit(this, indexedName(QStringLiteral("txt_start"), i), 6);
        txt_end[std::size_t(i)] = lineEdit(this, indexedName(QStringLiteral("txt_end"), i), 6);
        grid->addWidget(new QLabel(QStringLiteral("从设备%1").arg(i), this), i + 1, 0);
        grid->addWidget(txt_start[std::size_t(i)], i + 1, 1);
        grid->addWidget(txt_end[std::size_t(i)], i + 1, 2);
    }

    bt_readSlave = button(this, QStringLiteral("bt_readSlave"), QStringLiteral("读取"));
    bt_writeSlave = button(this, QStringLiteral("bt_writeSlave"), QStringLiteral("写入"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bt_readSlave);
    buttons->addWidget(bt_writeSlave);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
}

} // namespace kalmo
