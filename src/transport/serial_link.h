#pragma once
// The serial link on a real port (QSerialPort): one port to one controller.
#include "transport/transport.h"

#include <QSerialPort>
#include <QString>

#include <optional>

namespace kalmo {

// Maps a port error onto the numbers of the comm-control error table.
int commErrorNumber(QSerialPort::SerialPortError error);

// Settings as "9600,N,8,1": baud, parity (N, O, E, S, M), data bits, stop bits.
struct SerialSettings
{
    qint32 baud = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};
std::optional<SerialSettings> parseSerialSettings(const QString &text);

class SerialLink : public SerialPortLink
{
    Q_OBJECT
public:
    explicit SerialLink(QObject *parent = nullptr);
    ~SerialLink() override;

    std::optional<SerialPortFailure> open(const QString &portName,
                                          const QString &settings) override;
    void close() override;
    bool isOpen() const override;
    QString portName() const override { return m_portName; }
    QString settings() const override { return m_settings; }
    void setSettings(const QString &settings) override;

    void write(const QByteArray &frame, int threshold) override;
    qint64 inBufferCount() const override;
    QByteArray readAll() override;
    void clearInput() override;
    int threshold() const override { return m_threshold; }

    // True when the port can be opened and closed again; errors answer false.
    static bool testCom(const QString &portName);

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);

    QSerialPort *m_port;
    QString m_portName;
    QString m_settings = QStringLiteral("9600,N,8,1");
    int m_threshold = 0;
};

} // namespace kalmo
