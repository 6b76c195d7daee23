#pragma once
// The serial side of a virtual controller: a pseudo-terminal whose slave end
// the tool opens as its serial port. Requests are cut from the byte stream,
// answered by the VirtualController and written back, after the configured
// delay. The controller hears the rate the tool set its end of the line to.
// The endpoint outlives the tool closing and reopening the port: while no one
// holds the slave end, it waits and looks again.
#include "serial_request_splitter.h"
#include "virtual_controller.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;

namespace kalmo::sim {

class PtyEndpoint : public QObject
{
    Q_OBJECT
public:
    // The controller must outlive the endpoint.
    explicit PtyEndpoint(VirtualController *controller, QObject *parent = nullptr);
    ~PtyEndpoint() override; // closes the pseudo-terminal and removes the link

    // Creates the pseudo-terminal in raw mode. False with a reason on failure.
    bool open(QString *error = nullptr);
    bool isOpen() const { return m_master >= 0; }
    void close();

    // The path the tool opens, e.g. /dev/pts/4; empty before open().
    QString slavePath() const { return m_slavePath; }

    // Makes `linkPath` a symbolic link to the slave path. An existing
    // symbolic link there is replaced; any other file is left alone (false).
    // The link is removed again by close().
    bool createLink(const QString &linkPath, QString *error = nullptr);
    QString linkPath() const { return m_linkPath; }

    // True while no one holds the slave end after someone had it open.
    bool peerHungUp() const { return m_hungUp; }
    int hangUps() const { return m_hangUps; }

    // How long a partial frame may wait for its remaining bytes.
    void setStaleAfterMs(int ms);

    // Paces the line as a real one at the rate the tool set: a request takes
    // its wire time (10 bits a byte) from its first byte, and its reply goes
    // out when the reply's last byte would have arrived. The delay of the
    // controller's faults comes on top.
    void setPacedAtLineRate(bool on);
    bool pacedAtLineRate() const { return m_paced; }

signals:
    void requestServed(const kalmo::sim::SerialExchange &exchange);
    // Bytes that were not part of any request (noise, or a request with a
    // bad CRC or trailer) were skipped.
    void noiseDiscarded(qsizetype bytes);
    void peerClosed();
    void peerOpened();

private:
    void onReadable();
    void onStale();
    void pollPeer();
    void handleFrames(const QList<QByteArray> &frames);
    void handleFrame(const QByteArray &frame);
    void sendDueReplies();
    void flushOutgoing();
    void enterHangUp();

    VirtualController *m_controller;
    int m_master = -1;
    QString m_slavePath;
    QString m_linkPath;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QTimer *m_peerPoll;
    QTimer *m_staleTimer;
    QTimer *m_replyTimer;
    SerialRequestSplitter m_splitter;
    QByteArray m_outgoing;
    bool m_hungUp = false;
    int m_hangUps = 0;
    qsizetype m_reportedDiscards = 0;

    struct PendingReply
    {
        QByteArray bytes;
        qint64 dueNs = 0; // on the monotonic clock
    };
    QList<PendingReply> m_replies; // waiting for their time, oldest first
    bool m_paced = false;
    qint64 m_frameStartNs = 0;      // when the first byte of the next frame came in
    qint64 m_readNs = 0;            // when the last piece of the stream came in
    qint64 m_requestLineFreeNs = 0; // when the last request's bytes were all in, on a paced line
    qint64 m_replyLineFreeNs = 0;   // when the last reply's bytes were all out
};

} // namespace kalmo::sim
