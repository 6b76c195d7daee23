#pragma once
// The error log: every procedure that fails unexpectedly ends there, appends
// one line with its label to a log file in the working directory and returns
// quietly to its caller.
#include "core/bytes.h" // byte access, whose failures are ProcedureErrors

#include <QByteArray>
#include <QDateTime>
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

// Appends one line for a failure now. A log that cannot be opened is skipped.
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
