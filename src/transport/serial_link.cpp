#include "transport/serial_link.h"

namespace kalmo {

int commErrorNumber(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return 8002; // no such port
    case QSerialPort::PermissionError:
        return 8005; // held by another program, or access denied
    case QSerialPort::OpenError:
        return 8013; // already open
    case QSerialPort::NotOpenError:
        return 8012;
    case QSerialPort::UnsupportedOperationError:
        return 8015; // settings the port refuses
    case QSerialPort::ReadError:
        return 8020;
    case QSerialPort::ResourceError:
        return 8010; // the device went away
    default:
        // Not in the table: the caller shows the platform's description.
        return 9000 + int(error);
    }
}

std::optional<SerialSettings> parseSerialSettings(const QString &text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 4) return std::nullopt;
    SerialSettings s;
    bool ok = false;
    s.baud = parts[0].trimmed().toInt(&ok);
    if (!ok || s.baud <= 0) return std::nullopt;
    const QString parity = parts[1].trimmed().toUpper();
    if (parity == u"N")
        s.parity = QSerialPort::NoParity;
    else if (parity == u"O")
        s.parity = QSerialPort::OddParity;
    else if (parity == u"E")
        s.parity = QSerialPort::EvenParity;
    else if (parity == u"S")
        s.parity = QSerialPort::SpaceParity;
    else if (parity == u"M")
        s.parity = QSerialPort::MarkParity;
    else
        return std::nullopt;
    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8) return std::nullopt;
    s.dataBits = QSerialPort::DataBits(bits);
    const QString stop = parts[3].trimmed();
    if (stop == u"1")
        s.stopBits = QSerialPort::OneStop;
    else if (stop == u"1.5")
        s.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == u"2")
        s.stopBits = QSerialPort::TwoStop;
    else
        return std::nullopt;
    return s;
}

SerialLink::SerialLink(QObject *parent) : SerialPortLink(parent), m_port(new QSerialPort(this))
{
    connect(m_port, &QSerialPort::readyRead, this, &SerialLink::onReadyRead);
    connect(m_port, &QSerialPort::errorOccurred, this, &SerialLink::onError);
}

SerialLink::~SerialLink() = default;

static std::optional<SerialPortFailure> applySettings(QSerialPort *port, const QString &text)
{
    const auto s = parseSerialSettings(text);
    if (!s) return SerialPortFailure{380, QStringLiteral("Invalid settings \"%1\"").arg(text)};
    if (!port->setBaudRate(s->baud) || !port->setParity(s->parity) ||
        !port->setDataBits(s->dataBits) || !port->setStopBits(s->stopBits))
        return SerialPortFailure{commErrorNumber(port->error()), port->errorString()};
    return std::nullopt;
}

std::optional<SerialPortFailure> SerialLink::open(const QString &portName, const QString &settings)
{
    if (m_port->isOpen() && portName == m_portName && settings == m_settings) return std::nullopt;
    if (m_port->isOpen()) m_port->close();
    m_portName = portName;
    m_settings = settings;
    m_port->setPortName(portName);
    if (auto bad = applySettings(m_port, settings)) return bad;
    if (!m_port->open(QIODevice::ReadWrite)) {
        SerialPortFailure failure{commErrorNumber(m_port->error()), m_port->errorString()};
        m_port->clearError();
        return failure;
    }
    // Settings are applied again once open: some platforms only take them then.
    if (auto bad = applySettings(m_port, settings)) {
        m_port->close();
        return bad;
    }
    m_threshold = 0;
    return std::nullopt;
}

void SerialLink::setSettings(const QString &settings)
{
    m_settings = settings;
    if (m_port->isOpen() && applySettings(m_port, settings))
        m_port->clearError(); // settings the port refuses stay for the next open
}

void SerialLink::close()
{
    if (m_port->isOpen()) m_port->close();
    m_threshold = 0;
}

bool SerialLink::isOpen() const
{
    return m_port->isOpen();
}

void SerialLink::write(const QByteArray &frame, int threshold)
{
    if (!m_port->isOpen()) return;
    clearInput();
    m_threshold = threshold;
    m_port->write(frame);
    // On the line now, not after the caller's remaining work and a turn of
    // the event loop; what the driver does not take goes out as it drains.
    m_port->flush();
}

qint64 SerialLink::inBufferCount() const
{
    return m_port->isOpen() ? m_port->bytesAvailable() : 0;
}

QByteArray SerialLink::readAll()
{
    return m_port->isOpen() ? m_port->readAll() : QByteArray();
}

void SerialLink::clearInput()
{
    if (!m_port->isOpen()) return;
    m_port->clear(QSerialPort::Input);
    m_port->readAll(); // whatever the driver had already handed over
}

bool SerialLink::testCom(const QString &portName)
{
    QSerialPort port;
    port.setPortName(portName);
    if (applySettings(&port, QStringLiteral("9600,N,8,1"))) return false;
    if (!port.open(QIODevice::ReadWrite)) return false;
    port.close();
    return true;
}

void SerialLink::onReadyRead()
{
    if (m_threshold > 0 && m_port->bytesAvailable() >= m_threshold) emit received();
}

void SerialLink::onError(QSerialPort::SerialPortError error)
{
    // Errors while opening are answered by open(); only a port that fails
    // while in use is reported here.
    if (error == QSerialPort::NoError || !m_port->isOpen()) return;
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
        error == QSerialPort::WriteError) {
        const SerialPortFailure failure{commErrorNumber(error), m_port->errorString()};
        m_port->clearError();
        m_port->close();
        m_threshold = 0;
        emit failed(failure);
    }
}

} // namespace kalmo
