#pragma once
// The clock and I/O section of the main window: the device's real-time clock
// with its week day, the grid of DI/DQ point buttons, and the high-speed
// inputs and outputs with their values and output frequencies.
#include "protocol/device_catalogue.h"

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QWidget>

#include <array>

namespace kalmo {

class ClockIoPanel : public QWidget
{
    Q_OBJECT
public:
    explicit ClockIoPanel(QWidget *parent = nullptr);

    // The fixed option lists, in list-index order, with nothing selected.
    void fillOptionLists();

    static constexpr int kPointCount = 64;

    // Back colour of a point button whose state is 1 (QBColor(10), light
    // green); a state of 0 shows the button face of the platform.
    static QColor pointOnColor() { return QColor(0, 255, 0); }
    void paintPoint(int button, bool on);
    // Every point button disabled: nothing to force without a device.
    void disablePoints();

    // Captions, enabling and visibility of the point buttons for a model.
    // Buttons the model does not have are hidden; for an unknown model
    // (every entry untouched) nothing changes.
    void setUpPoints(const std::array<DidoButtonSetup, kDidoButtonCount> &setup);

    // Real-time clock
    QDateEdit *clkDate = nullptr;
    QTimeEdit *clkTime = nullptr;
    QComboBox *Combo_WeekDay = nullptr;
    QPushButton *cmdReclock = nullptr;  // read the clock
    QPushButton *cmdWrclock = nullptr;  // set the clock
    QPushButton *cmdTimeInit = nullptr; // take the PC's date and time

    // DI/DQ points; captions and enabling follow the connected model
    std::array<QPushButton *, kPointCount> bt_DIQ{};

    // "高速输入输出": index i of both arrays is DI22, DI23, Q0.0, Q0.1, DI21, DI20;
    // Text5 2 and 3 are the output frequencies written by Cmd_WritePre.
    std::array<QCheckBox *, 6> Check_InAndOut{};
    std::array<QLineEdit *, 6> Text5{};
    QPushButton *Cmd_WritePre = nullptr; // "写入"
};

} // namespace kalmo
