#pragma once
// The serial ports the connection bar offers, the one a connection opens, and
// the links the window runs on.
#include "transport/transport.h"
#include <QString>

#include <QStringList>

#include <functional>

namespace kalmo {

// The serial ports offered in ComPort and the entry selected (-1: none).
struct PortListing
{
    QStringList names;
    int selected = -1;
};

// Ports named on the command line come first and are not probed; then every
// candidate that testCom can open, in candidate order, without repeating a
// name. The first entry is selected.
PortListing listSerialPorts(const QStringList &namedPorts, const QStringList &candidates,
                            const std::function<bool(const QString &)> &testCom);

// "COM1" ... "COM128", the ports probed on Windows.
QStringList windowsPortCandidates();
// The ports this platform can offer: windowsPortCandidates() on Windows,
// elsewhere the system names QSerialPortInfo reports (ttyUSB0, ttyS0, ...).
QStringList platformPortCandidates();
// Opens the port at 9600,N,8,1 and closes it again. Any failure answers false
// and is not logged.
bool TestCom(const QString &portName);

// The serial port a connection opens. An entry "COMn" opens port n (the port
// index n - 1 is kept); any other entry (a device path, ttyUSB0) is opened by
// its name. With no entry selected the port used last is opened again.
struct SerialPortChoice
{
    QString name;
    qint16 index = 0; // zero-based COM port number, kept between connections
};
SerialPortChoice chooseSerialPort(const QString *selectedEntry, const SerialPortChoice &last);

// What the window runs on: the session's links and the probe that lists the
// serial ports at start-up. By default the real ones; tests put in fakes and
// a probe that never reaches the host's ports.
struct WindowTransports
{
    Transports links;
    std::function<QStringList()> portCandidates = platformPortCandidates;
    std::function<bool(const QString &)> testCom = TestCom;
};

} // namespace kalmo
