#pragma once
// The device end of a pseudo-terminal: the code under test opens `path` as
// its serial port, and the test writes replies to and reads requests from
// this end.
#include "sim/line_rate.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

struct PtyDevice
{
    int fd = -1;
    QString path;

    PtyDevice()
    {
        fd = posix_openpt(O_RDWR | O_NOCTTY);
        if (fd < 0 || grantpt(fd) != 0 || unlockpt(fd) != 0) return;
        path = QString::fromLocal8Bit(ptsname(fd));
        termios t{};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    ~PtyDevice() { closeEnd(); }
    PtyDevice(const PtyDevice &) = delete;
    PtyDevice &operator=(const PtyDevice &) = delete;

    // The device end goes away, as an unplugged adapter does.
    void closeEnd()
    {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }

    // The rate in bit/s the code under test set its end to; 0 when unknown.
    qint32 lineRate() const { return kalmo::sim::terminalLineRate(fd); }

    bool send(const QByteArray &bytes) const
    {
        return ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    // Whatever arrives within the wait, until `enough` says it is complete.
    template <typename Enough> QByteArray receiveUntil(Enough enough, int waitMs) const
    {
        QByteArray got;
        QDeadlineTimer deadline(waitMs);
        while (!enough(got) && !deadline.hasExpired()) {
            char buf[1024];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0)
                got.append(buf, n);
            else
                QTest::qWait(5);
        }
        return got;
    }
    // `count` bytes, or whatever came within the wait.
    QByteArray receive(qsizetype count, int waitMs = 3000) const
    {
        return receiveUntil([count](const QByteArray &got) { return got.size() >= count; }, waitMs);
    }
    // Nothing more arrives for a while.
    bool quiet(int ms = 150) const { return receive(1, ms).isEmpty(); }
};
