#pragma once
// The virtual controller as a child process of a benchmark: its first line on
// standard output (the port or the service address) and what it writes on
// standard error, such as the image it reports as stored.
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

class SimProcess
{
public:
    bool start(const QStringList &arguments)
    {
        QObject::connect(&m_process, &QProcess::readyReadStandardError, [this] {
            m_stderr += QString::fromLocal8Bit(m_process.readAllStandardError());
        });
        m_process.start(QStringLiteral(KALMO_SIM_PATH), arguments);
        if (!m_process.waitForStarted(5000)) return false;
        QElapsedTimer clock;
        clock.start();
        while (!m_process.canReadLine() && clock.elapsed() < 5000)
            m_process.waitForReadyRead(100);
        if (!m_process.canReadLine()) return false;
        m_firstLine = QString::fromLocal8Bit(m_process.readLine()).trimmed();
        return true;
    }

    ~SimProcess()
    {
        if (m_process.state() == QProcess::NotRunning) return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) m_process.kill();
        m_process.waitForFinished(1000);
    }

    QString firstLine() const { return m_firstLine; }
    QString standardError() const { return m_stderr; }

    // "firmware image stored: N bytes, CRC-32 XXXXXXXX", once it has come.
    std::optional<std::pair<qint64, quint32>> storedImage() const
    {
        static const QRegularExpression pattern(
            QStringLiteral("firmware image stored: (\\d+) bytes, CRC-32 ([0-9A-F]{8})"));
        const QRegularExpressionMatch m = pattern.match(m_stderr);
        if (!m.hasMatch()) return std::nullopt;
        return std::make_pair(m.captured(1).toLongLong(), m.captured(2).toUInt(nullptr, 16));
    }

private:
    QProcess m_process;
    QString m_firstLine;
    QString m_stderr;
};
