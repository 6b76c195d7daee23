#pragma once
// Text <-> bytes in code page 936 (GBK), the code page of the controllers and
// of existing users' files. Byte 0x80 is the euro sign there.
#include <QByteArray>
#include <QString>

namespace kalmo::cp936 {

// Whether this platform's Qt carries the code page. Checked once at start-up;
// without it encode and decode throw ProcedureError.
bool available();

QByteArray encode(const QString &text);
// Decodes a whole buffer at once, so a double-byte character is never split.
QString decode(const QByteArray &bytes);
// The character that byte 0x80 stands for (U+20AC).
inline constexpr char16_t kEuro = u'\u20AC';

} // namespace kalmo::cp936
