#pragma once
// "冗余信息": redundancy on or off, its type, role and level, the areas
// backed up to the partner, and the 16 slave devices' settings. A modeless
// window of its own.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <array>

namespace kalmo {

// One slave row: five lists and three boxes.
struct RedundancySlaveRow
{
    std::array<QComboBox *, 5> lists{}; // cb_enabled, cb_aliveS, cb_aliveZ, cb_deadS, cb_deadZ
    QLineEdit *txt_maxError = nullptr;
    QLineEdit *txt_switchTime = nullptr;
    QLineEdit *txt_rongyuAddr = nullptr;
};

class RedundancyDialog : public QWidget
{
    Q_OBJECT
public:
    explicit RedundancyDialog(QWidget *parent = nullptr);

    QCheckBox *ck_rongyu = nullptr; // "冗余启动"
    QComboBox *cb_rongyuType = nullptr;
    QComboBox *cb_rongyuRole = nullptr;
    QComboBox *cb_rongyuLevel = nullptr;
    std::array<QCheckBox *, 23> ch_keepArea0{};
    std::array<QCheckBox *, 15> ch_keepArea1{};
    std::array<RedundancySlaveRow, 16> slaves{};
    QPushButton *by_selAll = nullptr;  // "全选"
    QPushButton *bt_selNone = nullptr; // "全否"
    QPushButton *bt_readRongyu = nullptr;
    QPushButton *bt_writeRongyu = nullptr;
};

} // namespace kalmo
