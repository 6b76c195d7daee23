#pragma once
// "从设备转发映射表": the start and end address forwarded for each of the 16
// slave devices. A modeless window of its own.
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <array>

namespace kalmo {

class SlaveMapDialog : public QWidget
{
    Q_OBJECT
public:
    explicit SlaveMapDialog(QWidget *parent = nullptr);

    std::array<QLineEdit *, 16> txt_start{}; // "起始地址"
    std::array<QLineEdit *, 16> txt_end{};   // "结束地址"
    QPushButton *bt_readSlave = nullptr;
    QPushButton *bt_writeSlave = nullptr;
};

} // namespace kalmo
