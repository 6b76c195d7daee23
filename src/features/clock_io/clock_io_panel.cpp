#include "features/clock_io/clock_io_panel.h"

#include "features/common/controls.h"
#include "protocol/clock_block.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>

#include <algorithm>

namespace kalmo {

using namespace controls;

ClockIoPanel::ClockIoPanel(QWidget *parent) : QWidget(parent)
{
    auto *clock = frame(this, QStringLiteral("clockFrame"), QStringLiteral("实时时钟"));
    clkDate = new QDateEdit(QDate(1900, 1, 1), clock);
    clkDate->setObjectName(QStringLiteral("clkDate"));
    clkDate->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    clkDate->setCalendarPopup(true);
    clkDate->setMinimumWidth(boxWidth(clkDate, 10) + 28);
    clkTime = new QTimeEdit(QTime(0, 0, 0), clock);
    clkTime->setObjectName(QStringLiteral("clkTime"));
    clkTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    clkTime->setMinimumWidth(boxWidth(clkTime, 8) + 24);
    Combo_WeekDay = comboBox(clock, QStringLiteral("Combo_WeekDay"), 3);
    cmdReclock = button(clock, QStringLiteral("cmdReclock"), QStringLiteral("取时钟"));
    cmdWrclock = button(clock, QStringLiteral("cmdWrclock"), QStringLiteral("置时钟"));
    cmdTimeInit = button(clock, QStringLiteral("cmdTimeInit"), QStringLiteral("取PC时间"));
    {
        auto *grid = new QGridLayout(clock);
        addRow(grid, 0, QStringLiteral("日期"), clkDate);
        addRow(grid, 1, QStringLiteral("时间"), clkTime);
        addRow(grid, 2, QStringLiteral("星期"), Combo_WeekDay);
        auto *buttons = new QHBoxLayout;
        buttons->addWidget(cmdReclock);
        buttons->addWidget(cmdWrclock);
        buttons->addWidget(cmdTimeInit);
        grid->addLayout(buttons, 3, 0, 1, 3);
        grid->setColumnStretch(2, 1);
        closeRows(grid);
    }

    auto *points = frame(this, QStringLiteral("diDoFrame"), QStringLiteral("DI/DO状态"));
    {
        auto *grid = new QGridLayout(points);
        grid->setSpacing(6);
        constexpr int kColumns = 8;
        bt_DIQ = makeArray<kPointCount>([&](int i) {
            QPushButton *b =
                button(points, indexedName(QStringLiteral("bt_DIQ"), i), QString::number(i));
            b->setMinimumSize(64, 34);
            b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
            grid->addWidget(b, i / kColumns, i % kColumns);
            return b;
        });
        closeRows(grid);
    }

    auto *highSpeed =
        frame(this, QStringLiteral("highSpeedIoFrame"), QStringLiteral("高速输入输出"));
    {
        static const char *const kPoints[6] = {"DI22高速输入", "DI23高速输入", "Q0.0高速输出",
                                               "Q0.1高速输出", "DI21高速输入", "DI20高速输入"};
        Check_InAndOut = makeArray<6>([&](int i) {
            return checkBox(highSpeed, indexedName(QStringLiteral("Check_InAndOut"), i),
                            QStringLiteral("启动") + QString::fromUtf8(kPoints[i]));
        });
        Text5 = makeArray<6>([&](int i) {
            QLineEdit *box = lineEdit(highSpeed, indexedName(QStringLiteral("Text5"), i), 6);
            box->setToolTip(
                QString::fromUtf8(kPoints[i]).left(4) +
                (i == 2 || i == 3 ? QStringLiteral(" 输出频率") : QStringLiteral(" 高速输入值")));
            return box;
        });
        Cmd_WritePre = button(highSpeed, QStringLiteral("Cmd_WritePre"), QStringLiteral("写入"));

        // Inputs first, then the two outputs with their frequencies and "写入"
        auto *grid = new QGridLayout(highSpeed);
        const int order[6] = {0, 1, 4, 5, 2, 3};
        for (int row = 0; row < 6; ++row) {
            const int i = order[row];
            const bool output = i == 2 || i == 3;
            grid->addWidget(Check_InAndOut[i], row, 0);
            grid->addWidget(
                caption(output ? QStringLiteral("频率") : QStringLiteral("数值"), Text5[i]), row,
                1);
            grid->addWidget(Text5[i], row, 2);
        }
        grid->addWidget(Cmd_WritePre, 4, 3, 2, 1, Qt::AlignVCenter);
        grid->setColumnStretch(4, 1);
        closeRows(grid);
    }

    // Controls start as after a stop: the clock is enabled by its first read,
    // the points by the connected model.
    for (QWidget *w :
         std::initializer_list<QWidget *>{clkDate, clkTime, cmdWrclock, cmdTimeInit, cmdReclock})
        w->setEnabled(false);
    for (QPushButton *b : bt_DIQ)
        b->setEnabled(false);

    auto *columns = new QHBoxLayout(this);
    columns->addLayout(column({clock, highSpeed}));
    columns->addLayout(column({points}), 1);
}

void ClockIoPanel::disablePoints()
{
    for (QPushButton *b : bt_DIQ)
        b->setEnabled(false);
}

void ClockIoPanel::paintPoint(int button, bool on)
{
    QPushButton *b = bt_DIQ.at(std::size_t(button));
    const QPalette face = QApplication::palette(b);
    const QColor fill = on ? pointOnColor() : face.color(QPalette::Button);
    // An input (a disabled button) keeps a readable caption on the green.
    const QColor caption =
        on ? QColor(64, 64, 64) : face.color(QPalette::Disabled, QPalette::ButtonText);
    QPalette palette = b->palette();
    // A point read again in the same state is not painted again.
    if (b->testAttribute(Qt::WA_SetPalette) && palette.color(QPalette::Button) == fill &&
        palette.color(QPalette::Disabled, QPalette::ButtonText) == caption)
        return;
    palette.setColor(QPalette::Button, fill);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, caption);
    b->setPalette(palette);
}

void ClockIoPanel::setUpPoints(const std::array<DidoButtonSetup, kDidoButtonCount> &setup)
{
    const bool known =
        std::any_of(setup.begin(), setup.end(), [](const DidoButtonSetup &s) { return s.touched; });
    if (!known) return;
    for (std::size_t b = 0; b < bt_DIQ.size(); ++b) {
        QPushButton *button = bt_DIQ[b];
        const DidoButtonSetup &s = setup[b];
        if (!s.touched) {
            button->hide();
            continue;
        }
        if (!s.caption.isEmpty()) button->setText(s.caption);
        if (s.enabled) button->setEnabled(*s.enabled);
        button->setVisible(s.visible);
    }
}

void ClockIoPanel::fillOptionLists()
{
    controls::fillList(Combo_WeekDay, weekDayListItems());
}

} // namespace kalmo
