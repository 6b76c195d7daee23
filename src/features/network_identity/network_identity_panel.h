#pragma once
// The network identity section of the main window: the MAC address with its
// manual/automatic mode, and the gateway and subnet mask.
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include <array>

namespace kalmo {

class NetworkIdentityPanel : public QWidget
{
    Q_OBJECT
public:
    explicit NetworkIdentityPanel(QWidget *parent = nullptr);

    std::array<QLineEdit *, 6> txt_MAC{};        // one hexadecimal byte each
    std::array<QRadioButton *, 2> ophandornot{}; // "手动MAC", "自动MAC"
    QPushButton *bt_MAC = nullptr;               // "修改MAC"

    // "以太网设置区域"
    std::array<QLineEdit *, 4> txtGate{};
    std::array<QLineEdit *, 4> txtSubNet{};
    QPushButton *bt_NetGate = nullptr; // "下载网关和子网掩码"
};

} // namespace kalmo
