#include "session/progress.h"

#include <algorithm>

namespace kalmo {

void ProgressState::start(int steps)
{
    maximum = std::max(steps, 1);
    value = 1;
    visible = true;
    label = QStringLiteral("0%");
}

void ProgressState::step()
{
    if (maximum > value) {
        ++value;
        label = progressPercentText(value, maximum);
    } else {
        label = QStringLiteral("100%");
        value = maximum;
    }
}

bool ProgressState::timerTick()
{
    if (maximum > value) {
        step();
        return false;
    }
    value = maximum;
    visible = false;
    return true;
}

QString progressPercentText(int value, int maximum)
{
    if (maximum <= 0) return QStringLiteral("100%");
    value = std::max(value, 0);
    // Tenths of a percent, rounded half up ("#0.0").
    const qint64 tenths = (qint64(value) * 2000 + maximum) / (qint64(maximum) * 2);
    const qint64 whole = tenths / 10;
    const qint64 fraction = tenths % 10;
    // A number written as text: a leading space, no trailing zero after the point.
    QString text = u' ' + QString::number(whole);
    if (fraction != 0) text += u'.' + QString::number(fraction);
    return text + u'%';
}

} // namespace kalmo
