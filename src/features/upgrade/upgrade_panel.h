#pragma once
// The firmware upgrade section of the main window ("在线升级").
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

namespace kalmo {

class UpgradePanel : public QWidget
{
    Q_OBJECT
public:
    explicit UpgradePanel(QWidget *parent = nullptr);

    QPushButton *bt_FindUpdataFile = nullptr; // "浏览升级文件"
    QLineEdit *txt_UpdataAddr = nullptr;      // path of the main-program file
    QPushButton *bt_Updata = nullptr;         // "升级"
};

} // namespace kalmo
