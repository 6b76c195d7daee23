#pragma once
// Boxes that normalise the number typed into them on every change.
#include <QString>

#include <functional>
#include <optional>

class QLineEdit;

namespace kalmo {

// The whole part (rounded down) of a number typed into a box that normalises
// itself on every change: digits with an optional sign and decimal point, so
// that "12." while typing "12.5" is a number and not a lost text.
std::optional<qint64> wholeNumber(const QString &text);

// The whole part of a number that fits 32 signed bits; throws ProcedureError
// ("类型不匹配" or "溢出") otherwise.
qint64 integerValue(const QString &text);

// Normalises the box's text: `normalise` gives the text the box shows, or
// throws for a text that is no number. Such a text is logged and refused: the
// box returns to the last text it accepted.
void normaliseNumberBox(QLineEdit *box, const std::function<QString(const QString &)> &normalise);

} // namespace kalmo
