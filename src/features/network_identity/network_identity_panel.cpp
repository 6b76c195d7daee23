#include "features/network_identity/network_identity_panel.h"

#include "features/common/controls.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace kalmo {

using namespace controls;

namespace {

// Boxes of one address in a row, with a separator between them.
QHBoxLayout *addressRow(QWidget *parent, const auto &boxes, const QString &separator)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(2);
    bool first = true;
    for (QLineEdit *box : boxes) {
        if (!first) {
            auto *sep = new QLabel(separator, parent);
            sep->setAlignment(Qt::AlignCenter);
            row->addWidget(sep);
        }
        row->addWidget(box);
        first = false;
    }
    row->addStretch();
    return row;
}

} // namespace

NetworkIdentityPanel::NetworkIdentityPanel(QWidget *parent) : QWidget(parent)
{
    auto *mac = frame(this, QStringLiteral("macFrame"), QStringLiteral("MAC地址"));
    txt_MAC = makeArray<6>(
        [&](int i) { return lineEdit(mac, indexedName(QStringLiteral("txt_MAC"), i), 2); });
    ophandornot[0] =
        radioButton(mac, indexedName(QStringLiteral("ophandornot"), 0), QStringLiteral("手动MAC"));
    ophandornot[1] =
        radioButton(mac, indexedName(QStringLiteral("ophandornot"), 1), QStringLiteral("自动MAC"));
    auto *modes = new QButtonGroup(this);
    modes->addButton(ophandornot[0], 0);
    modes->addButton(ophandornot[1], 1);
    bt_MAC = button(mac, QStringLiteral("bt_MAC"), QStringLiteral("修改MAC"));
    {
        auto *layout = new QVBoxLayout(mac);
        auto *modeRow = new QHBoxLayout;
        modeRow->addWidget(ophandornot[0]);
        modeRow->addWidget(ophandornot[1]);
        modeRow->addStretch();
        layout->addLayout(modeRow);
        layout->addLayout(addressRow(mac, txt_MAC, QStringLiteral("-")));
        auto *buttonRow = new QHBoxLayout;
        buttonRow->addWidget(bt_MAC);
        buttonRow->addStretch();
        layout->addLayout(buttonRow);
        layout->addStretch();
    }

    auto *ethernet = frame(this, QStringLiteral("ethernetFrame"), QStringLiteral("以太网设置区域"));
    txtGate = makeArray<4>(
        [&](int i) { return lineEdit(ethernet, indexedName(QStringLiteral("txtGate"), i), 3); });
    txtSubNet = makeArray<4>(
        [&](int i) { return lineEdit(ethernet, indexedName(QStringLiteral("txtSubNet"), i), 3); });
    bt_NetGate =
        button(ethernet, QStringLiteral("bt_NetGate"), QStringLiteral("下载网关和子网掩码"));
    {
        auto *grid = new QGridLayout(ethernet);
        grid->addWidget(caption(QStringLiteral("网关"), txtGate[0]), 0, 0);
        grid->addLayout(addressRow(ethernet, txtGate, QStringLiteral(".")), 0, 1);
        grid->addWidget(caption(QStringLiteral("子网掩码"), txtSubNet[0]), 1, 0);
        grid->addLayout(addressRow(ethernet, txtSubNet, QStringLiteral(".")), 1, 1);
        auto *buttonRow = new QHBoxLayout;
        buttonRow->addWidget(bt_NetGate);
        buttonRow->addStretch();
        grid->addLayout(buttonRow, 2, 0, 1, 2);
        grid->setColumnStretch(1, 1);
        closeRows(grid);
    }

    QVBoxLayout *layout = column({mac, ethernet});
    layout->setContentsMargins(0, 0, 0, 0);
    setLayout(layout);
}

} // namespace kalmo
