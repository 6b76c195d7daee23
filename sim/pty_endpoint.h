#pragma once
// The serial side of a virtual controller: a pseudo-terminal whose slave end
// the tool opens as its serial port. Requests are cut from the byte stream,
// answered by the VirtualController and written back, after the configured
// delay. The endpoint outlives the tool closing and reopening the port: while
// no one holds the slave end, it waits and looks again.
#include "serial_request_splitter.h"
#include "virtual_controller.h"

#include <QByteArray>
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
    void send(const QByteArray &reply);
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
    SerialRequestSplitter m_splitter;
    QByteArray m_outgoing;
    bool m_hungUp = false;
    int m_hangUps = 0;
    qsizetype m_reportedDiscards = 0;
    quint64 m_generation = 0; // replies delayed across a hang-up are not sent
};

} // namespace kalmo::sim
