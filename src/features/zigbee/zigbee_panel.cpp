#include "features/zigbee/zigbee_panel.h"

#include "features/common/controls.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace kalmo {

namespace {

const QStringList &zigbeeNetworkTypeItems()
{
    static const QStringList items{QStringLiteral("星型"), QStringLiteral("链1"),
                                   QStringLiteral("链2"),  QStringLiteral("链3"),
                                   QStringLiteral("链4"),  QStringLiteral("网型")};
    return items;
}

const QStringList &zigbeeRoleItems()
{
    static const QStringList items{QStringLiteral("协调器"), QStringLiteral("路由设备"),
                                   QStringLiteral("端点设备")};
    return items;
}

} // namespace

using namespace controls;

ZigbeePanel::ZigbeePanel(QWidget *parent) : QWidget(parent)
{
    auto *zigbee = frame(this, QStringLiteral("zigbeeFrame"), QStringLiteral("Zigbee参数"));
    Combo_zlogic = comboBox(zigbee, QStringLiteral("Combo_zlogic"), 8);
    Combo_Nettype = comboBox(zigbee, QStringLiteral("Combo_Nettype"), 8);
    Text_DNO = lineEdit(zigbee, QStringLiteral("Text_DNO"), 6);
    Text_ChainAddr = lineEdit(zigbee, QStringLiteral("Text_ChainAddr"), 6);
    Zigbee_Enable = checkBox(zigbee, QStringLiteral("Zigbee_Enable"), QStringLiteral("zigbee使能"));
    txt_AC = makeArray<8>(
        [&](int i) { return lineEdit(zigbee, indexedName(QStringLiteral("txt_AC"), i), 2); });
    txt_EXPAN = makeArray<8>(
        [&](int i) { return lineEdit(zigbee, indexedName(QStringLiteral("txt_EXPAN"), i), 2); });

    auto *channels = frame(zigbee, QStringLiteral("zigbeeChannelFrame"), QStringLiteral("通道"));
    Check1 = makeArray<16>([&](int k) {
        QCheckBox *box =
            checkBox(channels, indexedName(QStringLiteral("Check1"), k), QString::number(k));
        box->setToolTip(QStringLiteral("信道 %1").arg(11 + k));
        return box;
    });
    {
        static const char *const kGroups[4] = {"0~3号", "4~7号", "8~11号", "12~15号"};
        auto *grid = new QGridLayout(channels);
        for (int g = 0; g < 4; ++g) {
            grid->addWidget(new QLabel(QString::fromUtf8(kGroups[g]), channels), g, 0);
            for (int j = 0; j < 4; ++j)
                grid->addWidget(Check1[g * 4 + j], g, j + 1);
        }
        grid->setColumnStretch(5, 1);
    }

    Cmd_ReadzParam = button(zigbee, QStringLiteral("Cmd_ReadzParam"), QStringLiteral("读取参数"));
    Cmd_WritezParam = button(zigbee, QStringLiteral("Cmd_WritezParam"), QStringLiteral("写入参数"));
    Cmd_TestZigbee = button(zigbee, QStringLiteral("Cmd_TestZigbee"), QStringLiteral("开始测试"));
    Cmd_Advance = button(zigbee, QStringLiteral("Cmd_Advance"), QStringLiteral("高级参数"));

    {
        auto *grid = new QGridLayout;
        addRow(grid, 0, QStringLiteral("设备逻辑"), Combo_zlogic);
        addRow(grid, 1, QStringLiteral("设备编号"), Text_DNO);
        addRow(grid, 0, QStringLiteral("网络类型"), Combo_Nettype, 1);
        addRow(grid, 1, QStringLiteral("链中地址"), Text_ChainAddr, 1);
        grid->addWidget(Zigbee_Enable, 2, 1);

        auto byteRow = [&](int row, const QString &text, const auto &boxes) {
            auto *line = new QHBoxLayout;
            line->setSpacing(3);
            for (QLineEdit *box : boxes)
                line->addWidget(box);
            line->addStretch();
            grid->addWidget(caption(text, boxes[0]), row, 0);
            grid->addLayout(line, row, 1, 1, 4);
        };
        byteRow(3, QStringLiteral("MAC"), txt_AC);
        byteRow(4, QStringLiteral("EXPANID"), txt_EXPAN);
        grid->setColumnStretch(4, 1);

        auto *buttons = new QHBoxLayout;
        for (QPushButton *b : {Cmd_ReadzParam, Cmd_WritezParam, Cmd_TestZigbee, Cmd_Advance})
            buttons->addWidget(b);
        buttons->addStretch();

        auto *layout = new QVBoxLayout(zigbee);
        layout->addLayout(grid);
        layout->addWidget(channels);
        layout->addLayout(buttons);
        layout->addStretch();
    }

    // Controls start as after a stop: a Zigbee read enables them.
    for (QWidget *w : std::initializer_list<QWidget *>{
             Combo_zlogic, Combo_Nettype, Text_DNO, Zigbee_Enable, Cmd_ReadzParam, Cmd_WritezParam,
             Cmd_TestZigbee, Cmd_Advance})
        w->setEnabled(false);
    for (QLineEdit *box : txt_AC)
        box->setEnabled(false);
    for (QLineEdit *box : txt_EXPAN)
        box->setEnabled(false);
    for (QCheckBox *box : Check1)
        box->setEnabled(false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(zigbee);
}

void ZigbeePanel::fillOptionLists()
{
    controls::fillList(Combo_Nettype, zigbeeNetworkTypeItems());
    controls::fillList(Combo_zlogic, zigbeeRoleItems());
}

} // namespace kalmo
