#pragma once
// Bounds-checked byte access for decoders and builders: an index outside the
// buffer is a "subscript out of range" failure (ProcedureError), as in every
// procedure. Fields wider than a byte lie low byte first.
#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

namespace kalmo {

quint8 byteAt(QByteArrayView bytes, qsizetype index);
void setByteAt(QByteArray &bytes, qsizetype index, quint8 value);

quint16 le16At(QByteArrayView bytes, qsizetype index);
quint32 le32At(QByteArrayView bytes, qsizetype index);
// Write byte by byte from the lowest: a field that runs past the end has its
// bytes inside the buffer written before the failure.
void setLe16At(QByteArray &bytes, qsizetype index, quint16 value);
void setLe32At(QByteArray &bytes, qsizetype index, quint32 value);

} // namespace kalmo
