#pragma once
// "控制信息": the control-parameter block field by field, made from the
// block's field tables. A modeless window of its own.
#include <QCheckBox>
#include <QComboBox>
#include <QHash>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

namespace kalmo {

class ControlDialog : public QWidget
{
    Q_OBJECT
public:
    explicit ControlDialog(QWidget *parent = nullptr);

    // The controls by object name, as the block's tables name them.
    QHash<QString, QLineEdit *> boxes;
    QHash<QString, QComboBox *> lists;
    QHash<QString, QCheckBox *> checks;
    QPushButton *bt_readCtrl = nullptr;  // "读取"
    QPushButton *bt_writeCtrl = nullptr; // "写入"
};

} // namespace kalmo
