#pragma once
// Bounds-checked byte access for decoders and builders: an index outside the
// buffer is a "subscript out of range" failure (ProcedureError), as in every
// procedure.
#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

namespace kalmo {

quint8 byteAt(QByteArrayView bytes, qsizetype index);
void setByteAt(QByteArray &bytes, qsizetype index, quint8 value);

} // namespace kalmo
