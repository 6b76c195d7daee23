#pragma once
// "转发配置": how many forwarding entries are in use and the 20 entries, each
// with a source and a destination (protocol, interface, IP address or serial
// station, port); "从设备转发映射表" opens the slave forwarding map. A
// modeless window of its own.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <array>

namespace kalmo {

// One side of an entry: cb_protocolS, cb_infS, txt_ipS0..3, txt_serialS,
// txt_portS (the destination's end in D).
struct ForwardingEndControls
{
    QComboBox *protocol = nullptr;
    QComboBox *interfaceList = nullptr;
    std::array<QLineEdit *, 4> ip{};
    QLineEdit *serial = nullptr;
    QLineEdit *port = nullptr;
};

// Index 0 the source ("源"), 1 the destination ("目的").
using ForwardingEntryControls = std::array<ForwardingEndControls, 2>;

class ForwardingDialog : public QWidget
{
    Q_OBJECT
public:
    explicit ForwardingDialog(QWidget *parent = nullptr);

    // The interface lists' rule: on "以太网" the IP boxes show and the port
    // is enabled; on any other interface the station box shows instead and
    // the port is disabled.
    void cb_infS_Click(int index) { showInterface(index, 0); }
    void cb_infD_Click(int index) { showInterface(index, 1); }

    QComboBox *cb_resendCount = nullptr; // "0" … "20"
    std::array<ForwardingEntryControls, 20> entries{};
    QPushButton *bt_readResend = nullptr;
    QPushButton *bt_writeResend = nullptr;
    QPushButton *bt_resendSlave = nullptr; // "从设备转发映射表"

private:
    void showInterface(int index, int side);
};

} // namespace kalmo
