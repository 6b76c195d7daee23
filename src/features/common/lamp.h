#pragma once
// A small round indicator whose colour is its state (the flash-parameter,
// RAM-test and CAN lamps).
#include <QColor>
#include <QWidget>

namespace kalmo {

class Lamp : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor color READ color WRITE setColor)
public:
    explicit Lamp(QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color = Qt::white;
};

} // namespace kalmo
