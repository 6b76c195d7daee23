#pragma once
// The error log: every procedure that fails unexpectedly ends there, appends
// one line with its label to a log file in the working directory and returns
// quietly to its caller.
#include "core/bytes.h" // byte access, whose failures are ProcedureErrors

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <stdexcept>

namespace kalmo {

// A run-time failure inside a procedure, carrying the description that goes
// into the log line.
class ProcedureError : public std::runtime_error
{
public:
    explicit ProcedureError(const QString &description);
    QString description() const { return m_description; }

private:
    QString m_description;
};

// Descriptions for the common failures.
QString subscriptOutOfRangeText(); // "下标越界"
QString typeMismatchText();        // "类型不匹配"
QString overflowText();            // "溢出"

enum class ErrorLogFile {
    Main, // "TAVG501ErrorLog.ini"
    Aux,  // "VIZezera.ini": the firmware cutter and the serial-number field
};

QString errorLogFileName(ErrorLogFile file);

// One log line: five quoted fields, the first four each padded to the next
// 14-character print zone strictly after it, CR LF, in code page 936.
QByteArray formatErrorLogLine(const QDateTime &when, const QString &description,
                              const QString &label);

// Keeps a flood of one failure from growing the log without bound: the same
// label and description in the same log file (its full path) are written at
// most once a second. Times are milliseconds on a monotonic clock.
class ErrorLogRateLimit
{
public:
    static constexpr qint64 kIntervalMs = 1000;
    // True when the line should be written now (and remembers it).
    bool admit(const QString &logPath, const QString &label, const QString &description,
               qint64 nowMs);

private:
    struct Written
    {
        QString key;
        qint64 atMs;
    };
    QList<Written> m_recent; // lines written within the last interval
};

// Appends one line for a failure now, unless the same line went into the
// same log less than a second ago. A log that cannot be opened is skipped.
void appendErrorLog(const QString &label, const QString &description,
                    ErrorLogFile file = ErrorLogFile::Main);

QString describeError(const std::exception &e);

// Runs a procedure body. A failure inside ends it, is logged under the label,
// and the call returns false; the caller goes on.
template <typename Body>
bool runLogged(const char *label, Body &&body, ErrorLogFile file = ErrorLogFile::Main)
{
    try {
        body();
        return true;
    } catch (const std::exception &e) {
        appendErrorLog(QString::fromUtf8(label), describeError(e), file);
    }
    return false;
}

} // namespace kalmo
