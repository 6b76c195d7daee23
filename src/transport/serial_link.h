#pragma once
// The serial link: one port to one controller. Frames are written whole; a
// reply is announced once at least the expected number of bytes is waiting
// and is then read in one piece.
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <optional>

namespace kalmo {

// A failure of the port, as the serial communications control numbers it.
struct SerialPortFailure
{
    int number = 0;      // 8002 not found, 8005 in use or denied, ... (see commErrorNumber)
    QString description; // the platform's own words
};

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

class SerialLink : public QObject
{
    Q_OBJECT
public:
    explicit SerialLink(QObject *parent = nullptr);
    ~SerialLink() override;

    // Opens the named port with the settings if it is not open yet.
    std::optional<SerialPortFailure> open(const QString &portName, const QString &settings);
    // Closes and opens the last port again with other settings (e.g. "115200,N,8,1").
    std::optional<SerialPortFailure> reopen(const QString &settings);
    void close();
    bool isOpen() const;
    QString portName() const { return m_portName; }
    QString settings() const { return m_settings; }
    // Changes the settings without reopening: an open port takes them at once,
    // a closed one when it is next opened.
    void setSettings(const QString &settings);

    // Writes a whole frame, after clearing what is waiting, and announces the
    // reply once `threshold` bytes are in.
    void write(const QByteArray &frame, int threshold);
    qint64 inBufferCount() const;
    QByteArray readAll(); // everything waiting, in one piece
    void clearInput();    // the waiting count back to 0
    int threshold() const { return m_threshold; }

    // True when the port can be opened and closed again; errors answer false.
    static bool testCom(const QString &portName);

signals:
    // At least the threshold of bytes is waiting.
    void received();
    // The port failed while open (e.g. the device was unplugged).
    void failed(const kalmo::SerialPortFailure &failure);

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);

    QSerialPort *m_port;
    QString m_portName;
    QString m_settings = QStringLiteral("9600,N,8,1");
    int m_threshold = 0;
};

} // namespace kalmo
