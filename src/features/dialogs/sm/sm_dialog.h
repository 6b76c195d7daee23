#pragma once
// "SM区信息": the 128 values of the SM retained area, SMD256 … SMD510, with
// read, write and clear. A modeless window of its own.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <array>

namespace kalmo {

class SmDialog : public QWidget
{
    Q_OBJECT
public:
    explicit SmDialog(QWidget *parent = nullptr);

    std::array<QLineEdit *, 128> txt_sm{};
    std::array<QLabel *, 128> lb_sm{};
    QPushButton *bt_readSM = nullptr;  // "读取"
    QPushButton *bt_writeSM = nullptr; // "写入"
    QPushButton *btClear = nullptr;    // "清0"
};

} // namespace kalmo
