#include "features/dialogs/redundancy/redundancy_dialog.h"

#include "features/common/controls.h"
#include "protocol/redundancy_block.h"

#include <QHBoxLayout>
#include <QLabel>

namespace kalmo {

using namespace controls;

namespace {

const QStringList kOnOff = {QStringLiteral("不使能"), QStringLiteral("使能")};
const QStringList kSerialPorts = {QStringLiteral("不使能"), QStringLiteral("COM0"),
                                  QStringLiteral("COM1")};

// Lists of a fresh window select their first entry.
QComboBox *list(QWidget *parent, const QString &name, const QStringList &items)
{
    QComboBox *box = comboBox(parent, name);
    box->addItems(items);
    box->setCurrentIndex(0);
    return box;
}

} // namespace

RedundancyDialog::RedundancyDialog(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form_Rongyu"));
    setWindowTitle(QStringLiteral("冗余信息"));

    auto *system = frame(this, QStringLiteral("rongyuFrame"), QStringLiteral("冗余系统"));
    ck_rongyu = checkBox(system, QStringLiteral("ck_rongyu"), QStringLiteral("冗余启动"));
    cb_rongyuType = list(system, QStringLiteral("cb_rongyuType"), redundancyTypeNames());
    cb_rongyuRole = list(system, QStringLiteral("cb_rongyuRole"), redundancyRoleNames());
    cb_rongyuLevel = list(system, QStringLiteral("cb_rongyuLevel"), redundancyLevelNames());
    auto *systemRow = new QHBoxLayout(system);
    systemRow->addWidget(ck_rongyu);
    for (auto [text, box] : {std::pair{QStringLiteral("冗余类型"), cb_rongyuType},
                             std::pair{QStringLiteral("设备角色"), cb_rongyuRole},
                             std::pair{QStringLiteral("容错级别"), cb_rongyuLevel}}) {
        systemRow->addSpacing(16);
        systemRow->addWidget(caption(text, box));
        systemRow->addWidget(box);
    }
    systemRow->addStretch();

    auto *areas = frame(this, QStringLiteral("keepAreaFrame"), QStringLiteral("冗余备份区配置"));
    auto *areaGrid = new QGridLayout(areas);
    constexpr int kAreaColumns = 8;
    const QStringList namesA = areaMaskANames();
    for (int i = 0; i < kAreaMaskABits; ++i) {
        ch_keepArea0[std::size_t(i)] =
            checkBox(areas, indexedName(QStringLiteral("ch_keepArea0"), i), namesA[i]);
        areaGrid->addWidget(ch_keepArea0[std::size_t(i)], i / kAreaColumns, i % kAreaColumns);
    }
    for (int i = 0; i < kAreaMaskBBits; ++i) {
        const int at = i + 24; // group B starts on a row of its own
        ch_keepArea1[std::size_t(i)] =
            checkBox(areas, indexedName(QStringLiteral("ch_keepArea1"), i), areaMaskBNames()[i]);
        areaGrid->addWidget(ch_keepArea1[std::size_t(i)], at / kAreaColumns, at % kAreaColumns);
    }
    by_selAll = button(areas, QStringLiteral("by_selAll"), QStringLiteral("全选"));
    bt_selNone = button(areas, QStringLiteral("bt_selNone"), QStringLiteral("全否"));
    areaGrid->addWidget(by_selAll, 4, 6);
    areaGrid->addWidget(bt_selNone, 4, 7);

    auto *table = frame(this, QStringLiteral("slaveFrame"), QStringLiteral("从设备冗余配置"));
    auto *grid = new QGridLayout(table);
    grid->setVerticalSpacing(2);
    const QStringList headers = {
        QStringLiteral("冗余系统启动标志"), QStringLiteral("活动串口启动使能"),
        QStringLiteral("活动无线启动使能"), QStringLiteral("备份串口启动使能"),
        QStringLiteral("备份无线启动使能"), QStringLiteral("最大容错次数"),
        QStringLiteral("切换时间"),         QStringLiteral("冗余系统通讯地址")};
    for (int c = 0; c < headers.size(); ++c)
        grid->addWidget(new QLabel(headers[c], table), 0, c + 1, Qt::AlignCenter);
    const QString listNames[5] = {QStringLiteral("cb_enabled"), QStringLiteral("cb_aliveS"),
                                  QStringLiteral("cb_aliveZ"), QStringLiteral("cb_deadS"),
                                  QStringLiteral("cb_deadZ")};
    for (int k = 0; k < kRedundancySlaves; ++k) {
        RedundancySlaveRow &row = slaves[std::size_t(k)];
        grid->addWidget(new QLabel(QStringLiteral("%1号从设备").arg(k), table), k + 1, 0);
        for (int c = 0; c < 5; ++c) {
            const bool serial = c == 1 || c == 3;
            row.lists[std::size_t(c)] =
                list(table, indexedName(listNames[c], k), serial ? kSerialPorts : kOnOff);
            grid->addWidget(row.lists[std::size_t(c)], k + 1, c + 1);
        }
        row.txt_maxError = lineEdit(table, indexedName(QStringLiteral("txt_maxError"), k), 6);
        row.txt_switchTime = lineEdit(table, indexedName(QStringLiteral("txt_switchTime"), k), 6);
        row.txt_rongyuAddr = lineEdit(table, indexedName(QStringLiteral("txt_rongyuAddr"), k), 6);
        grid->addWidget(row.txt_maxError, k + 1, 6);
        grid->addWidget(row.txt_switchTime, k + 1, 7);
        grid->addWidget(row.txt_rongyuAddr, k + 1, 8);
    }

    bt_readRongyu = button(this, QStringLiteral("bt_readRongyu"), QStringLiteral("读取"));
    bt_writeRongyu = button(this, QStringLiteral("bt_writeRongyu"), QStringLiteral("写入"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bt_readRongyu);
    buttons->addWidget(bt_writeRongyu);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(4);
    layout->addWidget(system);
    layout->addWidget(areas);
    layout->addWidget(table);
    layout->addLayout(buttons);
}

} // namespace kalmo
