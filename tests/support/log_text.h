#pragma once
// What an error log in the working directory holds, decoded from code page
// 936; empty when there is none.
#include "core/codepage.h"

#include <QFile>
#include <QString>

inline QString logText(const QString &name = QStringLiteral("TAVG501ErrorLog.ini"))
{
    QFile log(name);
    if (!log.open(QIODevice::ReadOnly)) return {};
    return kalmo::cp936::decode(log.readAll());
}
