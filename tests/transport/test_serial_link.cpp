// The serial link over a real pseudo-terminal: whole-reply delivery by
// threshold, flushing, settings, and the failure numbers.
#include "transport/serial_link.h"
#include "core/error_texts.h"
#include "support/pty_device.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <termios.h>

using namespace kalmo;

class TestSerialLink : public QObject
{
    Q_OBJECT
private slots:
    void settings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("baud");
        QTest::newRow("normal work") << "9600,N,8,1" << true << 9600;
        QTest::newRow("upgrade") << "115200,N,8,1" << true << 115200;
        QTest::newRow("mark parity") << "9600,M,7,2" << true << 9600;
        QTest::newRow("three parts") << "9600,N,8" << false << 0;
        QTest::newRow("bad parity") << "9600,X,8,1" << false << 0;
        QTest::newRow("bad baud") << "fast,N,8,1" << false << 0;
        QTest::newRow("nine data bits") << "9600,N,9,1" << false << 0;
    }
    void settings()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, baud);
        const auto s = parseSerialSettings(text);
        QCOMPARE(s.has_value(), valid);
        if (valid) QCOMPARE(s->baud, baud);
    }

    void replyDeliveredWholeOnceThresholdReached()
    {
        PtyDevice dev;
        QVERIFY(!dev.path.isEmpty());
        SerialLink link;
        QVERIFY(!link.open(dev.path, QStringLiteral("9600,N,8,1")));
        QSignalSpy received(&link, &SerialLink::received);

        const QByteArray request = QByteArray::fromHex("5555017e80aaaa");
        link.write(request, 111);
        QCOMPARE(dev.receive(request.size(), 2000), request);

        QByteArray reply(111, '\x11');
        QVERIFY(dev.send(reply.left(60)));
        QTest::qWait(150);
        QCOMPARE(received.count(), 0); // 60 of 111 bytes: not yet
        QVERIFY(dev.send(reply.mid(60)));
        QTRY_COMPARE(received.count(), 1);
        QCOMPARE(link.inBufferCount(), 111);
        QCOMPARE(link.readAll(), reply);
        QCOMPARE(link.inBufferCount(), 0);
    }

    void writeFlushesWhatWasWaiting()
    {
        PtyDevice dev;
        SerialLink link;
        QVERIFY(!link.open(dev.path, QStringLiteral("9600,N,8,1")));
        QSignalSpy received(&link, &SerialLink::received);
        link.write(QByteArray::fromHex("5555017e80aaaa"), 111);
        QVERIFY(dev.send(QByteArray(100, 'x'))); // a reply cut short
        QTRY_COMPARE(link.inBufferCount(), 100);
        QCOMPARE(received.count(), 0);
        link.clearInput();
        QCOMPARE(link.inBufferCount(), 0);
        link.write(QByteArray::fromHex("5555017e80aaaa"), 7);
        QVERIFY(dev.send(QByteArray(7, 'y')));
        QTRY_COMPARE(received.count(), 1);
        QCOMPARE(link.readAll(), QByteArray(7, 'y'));
    }

    void missingPortIsNotFound()
    {
        QTemporaryDir dir;
        SerialLink link;
        const auto failure = link.open(dir.filePath("ttyNOPE"), QStringLiteral("9600,N,8,1"));
        QVERIFY(failure);
        QCOMPARE(failure->number, 8002);
        QCOMPARE(CommErrorText(failure->number, failure->description),
                 QStringLiteral("无效的端口号,请选择存在的串口号"));
        QVERIFY(!link.isOpen());
        QVERIFY(!SerialLink::testCom(dir.filePath("ttyNOPE")));
    }

    void portInUseIsReported()
    {
        PtyDevice dev;
        SerialLink first;
        QVERIFY(!first.open(dev.path, QStringLiteral("9600,N,8,1")));
        SerialLink second;
        const auto failure = second.open(dev.path, QStringLiteral("9600,N,8,1"));
        QVERIFY(failure);
        QCOMPARE(failure->number, 8005);
        QVERIFY(!SerialLink::testCom(dev.path));
        first.close();
        QVERIFY(SerialLink::testCom(dev.path));
    }

    // The device end goes away while the port is open, as an unplugged
    // adapter does: the port closes and reports it once.
    void lostPortIsReported()
    {
        PtyDevice dev;
        SerialLink link;
        QVERIFY(!link.open(dev.path, QStringLiteral("9600,N,8,1")));
        QSignalSpy failed(&link, &SerialLink::failed);
        dev.closeEnd();
        QTRY_COMPARE(failed.count(), 1);
        // A read error or a device gone, as the platform sees it.
        const int number = failed.first().first().value<SerialPortFailure>().number;
        QVERIFY2(number == 8020 || number == 8010, qPrintable(QString::number(number)));
        QVERIFY(!link.isOpen());
    }

    void openedAgainWithOtherSettings()
    {
        PtyDevice dev;
        SerialLink link;
        QVERIFY(!link.open(dev.path, QStringLiteral("9600,N,8,1")));
        link.close();
        QVERIFY(!link.open(dev.path, QStringLiteral("115200,N,8,1")));
        QVERIFY(link.isOpen());
        QCOMPARE(link.portName(), dev.path);
        QCOMPARE(link.settings(), QStringLiteral("115200,N,8,1"));
        link.close();
        const auto bad = link.open(dev.path, QStringLiteral("nonsense"));
        QVERIFY(bad);
        QCOMPARE(bad->number, 380);
    }

    // The settings string changed while the port is open takes effect at once,
    // without reopening: the port is back at 9600 Bd after an abandoned upgrade.
    void settingsApplyToTheOpenPort()
    {
        PtyDevice dev;
        SerialLink link;
        QVERIFY(!link.open(dev.path, QStringLiteral("115200,N,8,1")));
        termios t{};
        QCOMPARE(tcgetattr(dev.fd, &t), 0);
        QCOMPARE(cfgetospeed(&t), speed_t(B115200));
        link.setSettings(QStringLiteral("9600,N,8,1"));
        QVERIFY(link.isOpen());
        QCOMPARE(tcgetattr(dev.fd, &t), 0);
        QCOMPARE(cfgetospeed(&t), speed_t(B9600));
        QCOMPARE(link.settings(), QStringLiteral("9600,N,8,1"));
    }

    void failureNumbers_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("number");
        QTest::newRow("not found") << int(QSerialPort::DeviceNotFoundError) << 8002;
        QTest::newRow("permission") << int(QSerialPort::PermissionError) << 8005;
        QTest::newRow("open") << int(QSerialPort::OpenError) << 8013;
        QTest::newRow("unknown falls through") << int(QSerialPort::UnknownError) << -1;
        QTest::newRow("timeout falls through") << int(QSerialPort::TimeoutError) << -1;
    }
    void failureNumbers()
    {
        QFETCH(int, error);
        QFETCH(int, number);
        const int got = commErrorNumber(QSerialPort::SerialPortError(error));
        if (number >= 0)
            QCOMPARE(got, number);
        else // a number without a text: the platform's description is shown
            QCOMPARE(CommErrorText(got, QStringLiteral("platform")), QStringLiteral("platform"));
    }
};

QTEST_GUILESS_MAIN(TestSerialLink)
#include "test_serial_link.moc"
