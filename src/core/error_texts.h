#pragma once
// Chinese texts for the serial port's and the sockets' error numbers, shown in
// the message boxes of the communicate button. A number without a text gives
// the platform's own description unchanged.
#include <QString>

namespace kalmo {

QString CommErrorText(int number, const QString &platformDescription);
QString WinsockErrorText(int number, const QString &platformDescription);

} // namespace kalmo
