#include "features/common/number_box.h"

#include "core/error_log.h"

#include <QLineEdit>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kalmo {

namespace {

// The number boxes log under the label of the procedure that shares their
// error handler.
constexpr char kNumberBoxLabel[] = "optComm_Click(Form1)";
// The text a number box had when it last held an accepted value.
constexpr char kAcceptedTextProperty[] = "kalmoAcceptedText";

} // namespace

std::optional<qint64> wholeNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)$"));
    const QString trimmed = text.trimmed();
    if (!number.match(trimmed).hasMatch()) return std::nullopt;
    const double value = std::floor(trimmed.toDouble());
    constexpr double kLimit = 9.0e18;
    return qint64(std::clamp(value, -kLimit, kLimit));
}

qint64 integerValue(const QString &text)
{
    const std::optional<qint64> value = wholeNumber(text);
    if (!value) throw ProcedureError(typeMismatchText());
    if (*value < std::numeric_limits<qint32>::min() || *value > std::numeric_limits<qint32>::max())
        throw ProcedureError(overflowText());
    return *value;
}

void normaliseNumberBox(QLineEdit *box, const std::function<QString(const QString &)> &normalise)
{
    const QString text = box->text();
    try {
        const QString normal = normalise(text);
        box->setProperty(kAcceptedTextProperty, normal);
        if (normal != text) box->setText(normal);
    } catch (const std::exception &e) {
        appendErrorLog(QString::fromUtf8(kNumberBoxLabel), describeError(e));
        box->setText(box->property(kAcceptedTextProperty).toString());
    }
}

} // namespace kalmo
