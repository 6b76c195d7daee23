// Whatever arrives on the serial link, the receive event survives it: every
// function number with replies of every length from 0 to 600 bytes, framed
// with a correct checksum or not framed at all, and the window still works
// afterwards.
#include "app/form1.h"

#include "protocol/frames.h"

#include "support/scratch_dir.h"
#include "support/window_rig.h"
#include <QDir>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTimer>

#include <QtTest>

using namespace kalmo;

class TestSerialReplyLengths : public QObject
{
    Q_OBJECT
private slots:
    void everyLengthOfEveryFunction();
};

void TestSerialReplyLengths::everyLengthOfEveryFunction()
{
    ScratchWorkingDir dir;

    ProgramOptions options;
    options.ports = {QStringLiteral("ttyNONE")}; // on the fake link, a port that is not there
    Form1 w(options, rig::fakeLinks());
    for (QTimer *timer : w.findChildren<QTimer *>())
        QObject::disconnect(timer, &QTimer::timeout, nullptr, nullptr);
    QObject::disconnect(w.session().Comm1, &SerialPortLink::received, nullptr, nullptr);
    int boxes = 0;
    w.showMessageBox = [&boxes](const MessageBoxRequest &) { ++boxes; };

    QRandomGenerator random(20240315);
    qint32 events = 0;
    for (int function = 0; function <= 255; ++function) {
        for (int length = 0; length <= 600; ++length) {
            QByteArray data(qMax(length - 7, 0), '\0');
            for (char &c : data)
                c = char(random.bounded(256));
            QByteArray reply;
            if (length >= 7) {
                reply = buildSerialFrame(quint8(function), data);
            } else {
                // Too short to be framed: the start of a reply.
                reply = QByteArray::fromHex("5555") + char(function) + QByteArray(4, '\xAA');
                reply.truncate(length);
            }
            QCOMPARE(reply.size(), length);
            w.session().receiveSerial(reply);
            ++events;
        }
    }
    QCOMPARE(w.session().serialReplyCounter, events);
    QCOMPARE(w.Text4->text(), QString::number(events));

    // Still answering: a DI/DO reply is taken as usual.
    w.session().Timer1->stop();
    w.session().Timer2->start();
    w.session().receiveSerial(buildSerialFrame(13, QByteArray(16, '\0')));
    QCOMPARE(w.Text2->text(), QStringLiteral("读DI/DQ状态成功"));
    QVERIFY(w.session().Timer1->isActive());
    QVERIFY(!w.session().Timer2->isActive());
}

QTEST_MAIN(TestSerialReplyLengths)
#include "test_serial_reply_lengths.moc"
