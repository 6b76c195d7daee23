#pragma once
// "从设备信息": the 16 slave devices a controller polls, one row each with its
// bus address, type, communication format, scan period and scan function
// number; "写入" and "退出". A window of its own, without a parent, so that
// the main window can be disabled while the slaves are read.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <initializer_list>

namespace kalmo {

struct SlaveInfoRow
{
    QLabel *Label6 = nullptr; // "k号从设备"; green while the row waits to be written
    QLineEdit *txtAddr = nullptr;
    QComboBox *ComboSlave = nullptr;    // slave type
    QComboBox *ComboCommType = nullptr; // "ModbusRTU", "ModbusASCII"
    QLineEdit *txtScanTime = nullptr;
    QLineEdit *txtScanNo = nullptr;

    // Boxes and lists are usable once the row holds a record.
    void setUsable(bool usable) const
    {
        for (QWidget *control : std::initializer_list<QWidget *>{txtAddr, ComboSlave, ComboCommType,
                                                                 txtScanTime, txtScanNo})
            control->setEnabled(usable);
    }
};

class SlaveInfoDialog : public QWidget
{
    Q_OBJECT
public:
    explicit SlaveInfoDialog(QWidget *parent = nullptr);

    std::array<SlaveInfoRow, 16> rows{};
    QPushButton *Command1 = nullptr; // "写入"
    QPushButton *Command2 = nullptr; // "退出"
    QTimer *CheckTimer = nullptr;    // the reads' time-out

    // The close box does what "退出" does.
    std::function<void()> closing = [] {};

protected:
    void closeEvent(QCloseEvent *event) override;
};

} // namespace kalmo
