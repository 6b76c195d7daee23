#pragma once
// Small helpers that make the controls of the panel sections: each control
// gets its object name (a control array element is "name_index") and a width
// that suits what it shows.
#include "features/common/lamp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <array>
#include <cstddef>
#include <initializer_list>

namespace kalmo::controls {

// "bt_DIQ" and 17 give "bt_DIQ_17".
QString indexedName(const QString &base, int index);

// Width of a box that shows about `chars` digits.
int boxWidth(const QWidget *widget, int chars);

QLineEdit *lineEdit(QWidget *parent, const QString &name, int chars = 0);
QComboBox *comboBox(QWidget *parent, const QString &name, int chars = 0);
QPushButton *button(QWidget *parent, const QString &name, const QString &caption);
QCheckBox *checkBox(QWidget *parent, const QString &name, const QString &caption);
QRadioButton *radioButton(QWidget *parent, const QString &name, const QString &caption);
// A label that the program fills with a value; framed so that it reads like a box.
QLabel *valueLabel(QWidget *parent, const QString &name, int chars);
Lamp *lamp(QWidget *parent, const QString &name);

// A caption in front of a control, right-aligned, bound to it as its buddy.
QLabel *caption(const QString &text, QWidget *buddy);

QGroupBox *frame(QWidget *parent, const QString &name, const QString &caption);

// Rows of "caption  control" pairs; `column` selects the pair of grid columns.
void addRow(QGridLayout *grid, int row, const QString &text, QWidget *control, int column = 0);

// Ends a grid of caption rows: the rows stay at the top of their frame.
void closeRows(QGridLayout *grid);

// A column of frames; the last one takes the spare height, so the frames of
// neighbouring columns end on one line.
QVBoxLayout *column(std::initializer_list<QWidget *> frames);

// Shows `text` in a box. A box that shows it already is left as it is, so a
// value read again on every poll does not lay out and redraw the box again.
void showText(QLineEdit *box, const QString &text);

// Makes a control's text bold or normal.
void setBold(QWidget *widget, bool bold);
// Fills a list that starts with nothing selected, as the panel expects.
void fillList(QComboBox *list, const QStringList &items);

template <std::size_t N, typename Make> auto makeArray(Make make)
{
    std::array<decltype(make(0)), N> controls{};
    for (std::size_t i = 0; i < N; ++i)
        controls[i] = make(static_cast<int>(i));
    return controls;
}

} // namespace kalmo::controls
