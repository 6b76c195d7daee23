#include "features/common/lamp.h"

#include <QPainter>

namespace kalmo {

namespace {
constexpr int kDiameter = 16;
}

Lamp::Lamp(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void Lamp::setColor(const QColor &color)
{
    if (color == m_color) return;
    m_color = color;
    update();
}

QSize Lamp::sizeHint() const
{
    return {kDiameter + 2, kDiameter + 2};
}

QSize Lamp::minimumSizeHint() const
{
    return sizeHint();
}

void Lamp::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = qMin(width(), height()) - 2;
    const QRectF circle((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    const QColor fill = isEnabled() ? m_color : m_color.lighter(110);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1.0));
    painter.setBrush(fill);
    painter.drawEllipse(circle);
}

} // namespace kalmo
