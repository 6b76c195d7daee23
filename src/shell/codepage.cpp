#include "shell/codepage.h"

#include <QTextCodec>

namespace kalmo::cp936 {

static QTextCodec *codec()
{
    static QTextCodec *const c = QTextCodec::codecForName("GBK");
    return c;
}

QByteArray encode(const QString &text)
{
    return codec()->fromUnicode(text);
}

QString decode(const QByteArray &bytes)
{
    return codec()->toUnicode(bytes);
}

} // namespace kalmo::cp936
