#pragma once
// The Zigbee section of the main window: role, network type, device number,
// MAC address, extended PAN ID, channels and the Zigbee buttons.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <array>

namespace kalmo {

class ZigbeePanel : public QWidget
{
    Q_OBJECT
public:
    explicit ZigbeePanel(QWidget *parent = nullptr);

    // The fixed option lists, in list-index order, with nothing selected.
    void fillOptionLists();

    QComboBox *Combo_zlogic = nullptr;      // "设备逻辑"
    QComboBox *Combo_Nettype = nullptr;     // "网络类型"
    QLineEdit *Text_DNO = nullptr;          // "设备编号"
    std::array<QLineEdit *, 8> txt_AC{};    // "MAC", one hexadecimal byte each
    std::array<QLineEdit *, 8> txt_EXPAN{}; // "EXPANID"
    std::array<QCheckBox *, 16> Check1{};   // channel k is Zigbee channel 11 + k
    QCheckBox *Zigbee_Enable = nullptr;     // "zigbee使能"
    QLineEdit *Text_ChainAddr = nullptr;    // "链中地址"

    QPushButton *Cmd_ReadzParam = nullptr;  // "读取参数"
    QPushButton *Cmd_WritezParam = nullptr; // "写入参数"
    QPushButton *Cmd_TestZigbee = nullptr;  // "开始测试"
    QPushButton *Cmd_Advance = nullptr;     // "高级参数"
};

} // namespace kalmo
