#include "features/upgrade/upgrade_panel.h"

#include "features/common/controls.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace kalmo {

using namespace controls;

UpgradePanel::UpgradePanel(QWidget *parent) : QWidget(parent)
{
    auto *upgrade = frame(this, QStringLiteral("upgradeFrame"), QStringLiteral("在线升级"));
    bt_FindUpdataFile =
        button(upgrade, QStringLiteral("bt_FindUpdataFile"), QStringLiteral("浏览升级文件"));
    txt_UpdataAddr = lineEdit(upgrade, QStringLiteral("txt_UpdataAddr"));
    txt_UpdataAddr->setPlaceholderText(QStringLiteral("主程序文件 (*.BIN)"));
    bt_Updata = button(upgrade, QStringLiteral("bt_Updata"), QStringLiteral("升级"));

    auto *row = new QHBoxLayout(upgrade);
    row->addWidget(bt_FindUpdataFile);
    row->addWidget(txt_UpdataAddr, 1);
    row->addWidget(bt_Updata);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(upgrade);
}

} // namespace kalmo
