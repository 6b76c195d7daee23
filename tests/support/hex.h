#pragma once
// Literal bytes written as hex text, spaces allowed: hex("4C 00 01").
#include <QByteArray>

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}
