#include "core/error_log.h"

#include "core/codepage.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>

#include <new>

namespace kalmo {

ProcedureError::ProcedureError(const QString &description)
    : std::runtime_error(description.toStdString()), m_description(description)
{
}

QString subscriptOutOfRangeText()
{
    return QStringLiteral("下标越界");
}
QString typeMismatchText()
{
    return QStringLiteral("类型不匹配");
}
QString overflowText()
{
    return QStringLiteral("溢出");
}

QString errorLogFileName(ErrorLogFile file)
{
    return file == ErrorLogFile::Aux ? QStringLiteral("VIZezera.ini")
                                     : QStringLiteral("TAVG501ErrorLog.ini");
}

QByteArray formatErrorLogLine(const QDateTime &when, const QString &description,
                              const QString &label)
{
    constexpr qsizetype kZone = 14;
    const QString fields[] = {
        when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
        QStringLiteral("信息"),
        description,
        label,
        QStringLiteral("Kalmo"),
    };
    QString line;
    for (int i = 0; i < 5; ++i) {
        line += u'"' + fields[i] + u'"';
        if (i < 4) {
            const qsizetype nextZone = (line.size() / kZone + 1) * kZone;
            line += QString(nextZone - line.size(), u' ');
        }
    }
    line += QStringLiteral("\r\n");
    return cp936::encode(line);
}

bool ErrorLogRateLimit::admit(const QString &logPath, const QString &label,
                              const QString &description, qint64 nowMs)
{
    m_recent.removeIf([nowMs](const Written &w) { return nowMs - w.atMs >= kIntervalMs; });
    QString key = logPath + u'\n' + label + u'\n' + description;
    for (const Written &w : m_recent)
        if (w.key == key) return false;
    m_recent.append({std::move(key), nowMs});
    return true;
}

void appendErrorLog(const QString &label, const QString &description, ErrorLogFile file)
{
    static QMutex mutex;
    static ErrorLogRateLimit limit;
    static const QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    const QMutexLocker lock(&mutex);
    QFile log(errorLogFileName(file));
    if (!limit.admit(QFileInfo(log).absoluteFilePath(), label, description, clock.elapsed()))
        return;
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append)) return;
    log.write(formatErrorLogLine(QDateTime::currentDateTime(), description, label));
}

QString describeError(const std::exception &e)
{
    if (auto *p = dynamic_cast<const ProcedureError *>(&e)) return p->description();
    if (dynamic_cast<const std::out_of_range *>(&e)) return subscriptOutOfRangeText();
    if (dynamic_cast<const std::bad_alloc *>(&e)) return QStringLiteral("内存不足");
    if (dynamic_cast<const std::overflow_error *>(&e)) return overflowText();
    return QString::fromLocal8Bit(e.what());
}

} // namespace kalmo
