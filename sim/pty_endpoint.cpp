#include "pty_endpoint.h"

#include "line_rate.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <limits>
#ifdef __linux__
#include <sys/prctl.h>
#endif
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

qint64 monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

timespec timespecOf(qint64 ns)
{
    return {time_t(ns / 1'000'000'000), long(ns % 1'000'000'000)};
}

void sleepUntil(qint64 ns)
{
#ifdef __linux__
    const timespec until = timespecOf(ns);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
#else
    for (qint64 left = ns - monotonicNs(); left > 0; left = ns - monotonicNs()) {
        const timespec span = timespecOf(left);
        nanosleep(&span, nullptr);
    }
#endif
}

} // namespace

PtyEndpoint::PtyEndpoint(VirtualController *controller, QObject *parent)
    : QObject(parent), m_controller(controller), m_peerPoll(new QTimer(this)),
      m_staleTimer(new QTimer(this)), m_replyTimer(new QTimer(this))
{
    m_peerPoll->setInterval(kPeerPollMs);
    connect(m_peerPoll, &QTimer::timeout, this, &PtyEndpoint::pollPeer);
    m_staleTimer->setSingleShot(true);
    m_staleTimer->setInterval(kDefaultStaleMs);
    connect(m_staleTimer, &QTimer::timeout, this, &PtyEndpoint::onStale);
    m_replyTimer->setSingleShot(true);
    m_replyTimer->setTimerType(Qt::PreciseTimer);
    connect(m_replyTimer, &QTimer::timeout, this, &PtyEndpoint::sendDueReplies);
}

PtyEndpoint::~PtyEndpoint()
{
    close();
}

void PtyEndpoint::setStaleAfterMs(int ms)
{
    m_staleTimer->setInterval(ms);
}

void PtyEndpoint::setPacedAtLineRate(bool on)
{
    m_paced = on;
#ifdef __linux__
    // Sleeps of this thread end at their deadline, not up to 50 us after it.
    if (on) prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
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
    m_replyTimer->stop();
    ::close(m_master);
    m_master = -1;
    m_slavePath.clear();
    m_outgoing.clear();
    m_replies.clear();
    m_splitter.clear();
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
            m_readNs = monotonicNs();
            if (m_splitter.pendingBytes() == 0) m_frameStartNs = m_readNs;
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
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    m_staleTimer->stop();
    m_replyTimer->stop();
    m_outgoing.clear();
    m_replies.clear();
    m_requestLineFreeNs = m_replyLineFreeNs = 0;
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
    const qint32 rate = terminalLineRate(m_master);
    m_controller->setLineRate(rate);
    const SerialExchange exchange = m_controller->serveSerial(frame);

    // Bytes on a line come one after the other: a request is all in its wire
    // time after its first byte started, and not before the one ahead of it.
    // The first byte is seen once it is in, one byte time after it started.
    const qint32 pacedRate = m_paced ? rate : 0;
    const qint64 requestEnd =
        std::max(m_frameStartNs - wireTimeNs(1, pacedRate), m_requestLineFreeNs) +
        wireTimeNs(frame.size(), pacedRate);
    m_requestLineFreeNs = requestEnd;
    m_frameStartNs = m_readNs; // what follows in the stream came in with the last piece

    emit requestServed(exchange);
    if (exchange.reply.isEmpty() || !isOpen() || m_hungUp) return;
    const qint64 delayNs = qint64(m_controller->nextReplyDelayMs()) * 1'000'000;
    const qint64 replyStart = std::max(requestEnd + delayNs, m_replyLineFreeNs);
    m_replyLineFreeNs = replyStart + wireTimeNs(exchange.reply.size(), pacedRate);
    m_replies.append({exchange.reply, m_replyLineFreeNs});
    if (!m_replyTimer->isActive()) sendDueReplies();
}

// Writes the replies whose time has come. The event loop may wake a timer up
// to a millisecond late, so the timer takes the whole milliseconds but the
// last and a sleep on the monotonic clock the rest.
void PtyEndpoint::sendDueReplies()
{
    while (!m_replies.isEmpty() && isOpen() && !m_hungUp) {
        const qint64 due = m_replies.first().dueNs;
        const qint64 waitMs = (due - monotonicNs()) / 1'000'000;
        if (waitMs >= 2) {
            m_replyTimer->start(int(std::min<qint64>(waitMs - 1, std::numeric_limits<int>::max())));
            return;
        }
        sleepUntil(due);
        m_outgoing.append(m_replies.takeFirst().bytes);
        flushOutgoing();
    }
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
