#pragma once
// The serial function numbers a controller answers, with the lengths of
// their request frames and replies (header, function number, data, CRC and
// trailer included).
#include <QList>
#include <QtGlobal>

namespace kalmo::sim {

// The reply length follows the request's own length (function 58) or the
// model (function 13) instead of a fixed number.
inline constexpr int kReplyAsRequest = 0;
inline constexpr int kReplyByModel = -1;

struct SerialFunction
{
    quint8 number = 0;
    const char *description = "";
    QList<int> requestLengths; // every length a sound request may have
    int replyLength = 0;       // bytes, or kReplyAsRequest / kReplyByModel
};

// The whole table, in function-number order.
const QList<SerialFunction> &serialFunctions();
// The entry of a function number, or nullptr when the controller does not
// know it.
const SerialFunction *findSerialFunction(quint8 number);

// The longest request frame (a 512-byte block plus 7).
inline constexpr int kMaxSerialRequestLength = 519;

} // namespace kalmo::sim
