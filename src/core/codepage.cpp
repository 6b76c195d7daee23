#include "core/codepage.h"

#include "core/error_log.h"

#include <QTextCodec>

namespace kalmo::cp936 {

static QTextCodec *codec()
{
    static QTextCodec *const c = QTextCodec::codecForName("GBK");
    return c;
}

static QTextCodec &requireCodec()
{
    QTextCodec *const c = codec();
    if (!c) throw ProcedureError(QStringLiteral("code page 936 (GBK) is not available"));
    return *c;
}

bool available()
{
    return codec() != nullptr;
}

QByteArray encode(const QString &text)
{
    return requireCodec().fromUnicode(text);
}

QString decode(const QByteArray &bytes)
{
    return requireCodec().toUnicode(bytes);
}

} // namespace kalmo::cp936
