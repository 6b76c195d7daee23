#include "features/dialogs/sm/sm_dialog.h"

#include "features/common/controls.h"
#include "protocol/sm_block.h"

#include <QHBoxLayout>

namespace kalmo {

using namespace controls;

SmDialog::SmDialog(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form_SM"));
    setWindowTitle(QStringLiteral("SM区信息"));

    // Eight columns of sixteen values, in address order down each column.
    constexpr int kRows = 16;
    auto *grid = new QGridLayout;
    for (int i = 0; i < kSmValues; ++i) {
        txt_sm[std::size_t(i)] = lineEdit(this, indexedName(QStringLiteral("txt_sm"), i), 11);
        lb_sm[std::size_t(i)] = caption(smLabel(i), txt_sm[std::size_t(i)]);
        lb_sm[std::size_t(i)]->setObjectName(indexedName(QStringLiteral("lb_sm"), i));
        grid->addWidget(lb_sm[std::size_t(i)], i % kRows, 2 * (i / kRows));
        grid->addWidget(txt_sm[std::size_t(i)], i % kRows, 2 * (i / kRows) + 1);
    }

    bt_readSM = button(this, QStringLiteral("bt_readSM"), QStringLiteral("读取"));
    bt_writeSM = button(this, QStringLiteral("bt_writeSM"), QStringLiteral("写入"));
    btClear = button(this, QStringLiteral("btClear"), QStringLiteral("清0"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *b : {btClear, bt_readSM, bt_writeSM})
        buttons->addWidget(b);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
}

} // namespace kalmo
