#include "app/serial_ports.h"

#include "transport/serial_link.h"

#include <QSerialPortInfo>

namespace kalmo {

namespace {

constexpr int kHighestComPort = 128;

} // namespace

PortListing listSerialPorts(const QStringList &namedPorts, const QStringList &candidates,
                            const std::function<bool(const QString &)> &testCom)
{
    PortListing listing;
    for (const QString &name : namedPorts)
        if (!listing.names.contains(name)) listing.names.append(name);
    for (const QString &name : candidates)
        if (!listing.names.contains(name) && testCom(name)) listing.names.append(name);
    listing.selected = listing.names.isEmpty() ? -1 : 0;
    return listing;
}

QStringList windowsPortCandidates()
{
    QStringList names;
    names.reserve(kHighestComPort);
    for (int n = 1; n <= kHighestComPort; ++n)
        names.append(QStringLiteral("COM") + QString::number(n));
    return names;
}

QStringList platformPortCandidates()
{
#ifdef Q_OS_WIN
    return windowsPortCandidates();
#else
    QStringList names;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names.append(info.portName());
    return names;
#endif
}

bool TestCom(const QString &portName)
{
    return SerialLink::testCom(portName);
}

SerialPortChoice chooseSerialPort(const QString *selectedEntry, const SerialPortChoice &last)
{
    if (!selectedEntry) return last;
    const QString name = selectedEntry->trimmed();
    if (name.startsWith(QStringLiteral("COM"))) {
        bool ok = false;
        const int number = name.mid(3).toInt(&ok);
        if (ok && number >= 1 && number <= 32768)
            return {QStringLiteral("COM") + QString::number(number), qint16(number - 1)};
    }
    return {name, last.index};
}

} // namespace kalmo
