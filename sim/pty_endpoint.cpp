#include "pty_endpoint.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace kalmo::sim {

namespace {

constexpr int kPeerPollMs = 50;
constexpr int kDefaultStaleMs = 200;

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

void setError(QString *error, const QString &text)
{
    if (error) *error = text;
}

} // namespace

PtyEndpoint::PtyEndpoint(VirtualController *controller, QObject *parent)
    : QObject(parent), m_controller(controller), m_peerPoll(new QTimer(this)),
      m_staleTimer(new QTimer(this))
{
    m_peerPoll->setInterval(kPeerPollMs);
    connect(m_peerPoll, &QTimer::timeout, this, &PtyEndpoint::pollPeer);
    m_staleTimer->setSingleShot(true);
    m_staleTimer->setInterval(kDefaultStaleMs);
    connect(m_staleTimer, &QTimer::timeout, this, &PtyEndpoint::onStale);
}

PtyEndpoint::~PtyEndpoint()
{
    close();
}

void PtyEndpoint::setStaleAfterMs(int ms)
{
    m_staleTimer->setInterval(ms);
}

bool PtyEndpoint::open(QString *error)
{
    if (isOpen()) {
        setError(error, QStringLiteral("already open"));
        return false;
    }
    const int fd = posix_openpt(O_RDWR | O_NOCTTY);
    if (fd < 0) {
        setError(error, systemError("posix_openpt"));
        return false;
    }
    char name[256] = {};
    termios settings{};
    if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname_r(fd, name, sizeof name) != 0 ||
        tcgetattr(fd, &settings) != 0) {
        setError(error, systemError("pseudo-terminal"));
        ::close(fd);
        return false;
    }
    // Raw bytes both ways; the settings belong to the terminal pair and stay
    // when the tool closes its end.
    cfmakeraw(&settings);
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    if (tcsetattr(fd, TCSANOW, &settings) != 0 ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK) != 0 ||
        fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) {
        setError(error, systemError("pseudo-terminal settings"));
        ::close(fd);
        return false;
    }

    m_master = fd;
    m_slavePath = QString::fromLocal8Bit(name);
    m_hungUp = false;
    m_readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyEndpoint::onReadable);
    m_writeNotifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PtyEndpoint::flushOutgoing);
    return true;
}

void PtyEndpoint::close()
{
    if (!m_linkPath.isEmpty()) {
        // Only our own link goes.
        const QFileInfo link(m_linkPath);
        if (link.isSymLink() && link.symLinkTarget() == m_slavePath) QFile::remove(m_linkPath);
        m_linkPath.clear();
    }
    if (!isOpen()) return;
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    m_peerPoll->stop();
    m_staleTimer->stop();
    ::close(m_master);
    m_master = -1;
    m_slavePath.clear();
    m_outgoing.clear();
    m_splitter.clear();
    ++m_generation;
}

bool PtyEndpoint::createLink(const QString &linkPath, QString *error)
{
    if (!isOpen()) {
        setError(error, QStringLiteral("no pseudo-terminal yet"));
        return false;
    }
    const QFileInfo existing(linkPath);
    if (existing.isSymLink()) {
        if (!QFile::remove(linkPath)) {
            setError(error, QStringLiteral("cannot replace %1").arg(linkPath));
            return false;
        }
    } else if (existing.exists()) {
        setError(error, QStringLiteral("%1 exists and is not a symbolic link").arg(linkPath));
        return false;
    }
    if (::symlink(QFile::encodeName(m_slavePath).constData(),
                  QFile::encodeName(linkPath).constData()) != 0) {
        setError(error, systemError("symlink"));
        return false;
    }
    m_linkPath = existing.absoluteFilePath();
    return true;
}

void PtyEndpoint::onReadable()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            handleFrames(m_splitter.feed(QByteArrayView(buffer, n)));
            if (!isOpen() || m_hungUp) return;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        // EIO (or end of file): no one holds the slave end any more.
        enterHangUp();
        return;
    }
    if (m_splitter.pendingBytes() > 0)
        m_staleTimer->start();
    else
        m_staleTimer->stop();
}

void PtyEndpoint::onStale()
{
    handleFrames(m_splitter.discardStale());
    if (isOpen() && m_splitter.pendingBytes() > 0) m_staleTimer->start();
}

void PtyEndpoint::enterHangUp()
{
    m_hungUp = true;
    ++m_hangUps;
    ++m_generation;
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    m_staleTimer->stop();
    m_outgoing.clear();
    m_splitter.clear();
    // Whatever is still queued for the old peer must not reach the next one.
    tcflush(m_master, TCIOFLUSH);
    m_peerPoll->start();
    emit peerClosed();
}

void PtyEndpoint::pollPeer()
{
    pollfd p{m_master, POLLIN, 0};
    if (::poll(&p, 1, 0) < 0 || (p.revents & POLLHUP)) return; // still no one there
    m_hungUp = false;
    m_peerPoll->stop();
    m_readNotifier->setEnabled(true);
    emit peerOpened();
    if (p.revents & POLLIN) onReadable();
}

void PtyEndpoint::handleFrames(const QList<QByteArray> &frames)
{
    const qsizetype discarded = m_splitter.discardedBytes();
    if (discarded != m_reportedDiscards) {
        emit noiseDiscarded(discarded - m_reportedDiscards);
        m_reportedDiscards = discarded;
    }
    for (const QByteArray &frame : frames) {
        if (!isOpen() || m_hungUp) return;
        handleFrame(frame);
    }
}

void PtyEndpoint::handleFrame(const QByteArray &frame)
{
    const SerialExchange exchange = m_controller->serveSerial(frame);
    emit requestServed(exchange);
    if (!exchange.reply.isEmpty()) send(exchange.reply);
}

void PtyEndpoint::send(const QByteArray &reply)
{
    const int delay = m_controller->faults().delayMs;
    if (delay <= 0) {
        m_outgoing.append(reply);
        flushOutgoing();
        return;
    }
    QTimer::singleShot(delay, this, [this, reply, generation = m_generation] {
        if (generation != m_generation) return;
        m_outgoing.append(reply);
        flushOutgoing();
    });
}

void PtyEndpoint::flushOutgoing()
{
    if (!isOpen() || m_hungUp) {
        m_outgoing.clear();
        return;
    }
    while (!m_outgoing.isEmpty()) {
        const ssize_t n = ::write(m_master, m_outgoing.constData(), m_outgoing.size());
        if (n > 0) {
            m_outgoing.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            m_writeNotifier->setEnabled(true);
            return;
        }
        enterHangUp();
        return;
    }
    m_writeNotifier->setEnabled(false);
}

} // namespace kalmo::sim
