#include "features/common/controls.h"

#include <QFontMetrics>

namespace kalmo::controls {

QString indexedName(const QString &base, int index)
{
    return base + QLatin1Char('_') + QString::number(index);
}

int boxWidth(const QWidget *widget, int chars)
{
    const QFontMetrics metrics(widget->font());
    return metrics.horizontalAdvance(QLatin1Char('0')) * chars + 16;
}

QLineEdit *lineEdit(QWidget *parent, const QString &name, int chars)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    if (chars > 0) box->setFixedWidth(boxWidth(box, chars));
    return box;
}

QComboBox *comboBox(QWidget *parent, const QString &name, int chars)
{
    auto *list = new QComboBox(parent);
    list->setObjectName(name);
    if (chars > 0) list->setMinimumWidth(boxWidth(list, chars) + 20);
    return list;
}

QPushButton *button(QWidget *parent, const QString &name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    b->setMinimumWidth(b->sizeHint().width() + 16);
    return b;
}

QCheckBox *checkBox(QWidget *parent, const QString &name, const QString &caption)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    return box;
}

QRadioButton *radioButton(QWidget *parent, const QString &name, const QString &caption)
{
    auto *option = new QRadioButton(caption, parent);
    option->setObjectName(name);
    return option;
}

QLabel *valueLabel(QWidget *parent, const QString &name, int chars)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumWidth(boxWidth(label, chars));
    return label;
}

Lamp *lamp(QWidget *parent, const QString &name)
{
    auto *l = new Lamp(parent);
    l->setObjectName(name);
    return l;
}

QLabel *caption(const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text, buddy ? buddy->parentWidget() : nullptr);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setBuddy(buddy);
    return label;
}

QGroupBox *frame(QWidget *parent, const QString &name, const QString &caption)
{
    auto *box = new QGroupBox(caption, parent);
    box->setObjectName(name);
    return box;
}

void addRow(QGridLayout *grid, int row, const QString &text, QWidget *control, int column)
{
    grid->addWidget(caption(text, control), row, column * 2);
    grid->addWidget(control, row, column * 2 + 1);
}

void closeRows(QGridLayout *grid)
{
    grid->setRowStretch(grid->rowCount(), 1);
}

QVBoxLayout *column(std::initializer_list<QWidget *> frames)
{
    auto *layout = new QVBoxLayout;
    int left = static_cast<int>(frames.size());
    for (QWidget *w : frames)
        layout->addWidget(w, --left == 0 ? 1 : 0);
    return layout;
}

void showText(QLineEdit *box, const QString &text)
{
    if (box->text() != text) box->setText(text);
}

void setBold(QWidget *widget, bool bold)
{
    QFont font = widget->font();
    font.setBold(bold);
    widget->setFont(font);
}

void fillList(QComboBox *list, const QStringList &items)
{
    list->addItems(items);
    list->setCurrentIndex(-1);
}

} // namespace kalmo::controls
