// Program options and the command-line record that follows them.
#include "app/program_options.h"

#include <QtTest>

using namespace kalmo;

class TestProgramOptions : public QObject
{
    Q_OBJECT
private slots:
    void parses_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<bool>("network");
        QTest::addColumn<QString>("device");
        QTest::addColumn<double>("quitAfter"); // -1: not set
        QTest::addColumn<QString>("screenshot");
        QTest::addColumn<QString>("record");
        const QString euro(QChar(0x20AC));
        QTest::newRow("nothing") << QStringList{} << QStringList{} << false << "" << -1.0 << ""
                                 << "";
        QTest::newRow("two ports in order")
            << QStringList{"--port", "/dev/pts/3", "--port", "COM5"}
            << QStringList{"/dev/pts/3", "COM5"} << false << "" << -1.0 << "" << "";
        QTest::newRow("network and device")
            << QStringList{"--link", "network", "--device", "127.0.0.2"} << QStringList{}
            << true << "127.0.0.2" << -1.0 << "" << "";
        QTest::newRow("quit and screenshot")
            << QStringList{"--quit-after", "2.5", "--screenshot", "a.png"} << QStringList{}
            << false << "" << 2.5 << "a.png" << "";
        QTest::newRow("record after options")
            << QStringList{"--port", "p", "IP" + euro + "1.2.3.4|", "ID" + euro + "x|"}
            << QStringList{"p"} << false << "" << -1.0 << ""
            << "IP" + euro + "1.2.3.4| ID" + euro + "x|";
        QTest::newRow("options after the record belong to it")
            << QStringList{"a" + euro + "b|", "--port", "p"} << QStringList{} << false << ""
            << -1.0 << "" << "a" + euro + "b| --port p";
    }
    void parses()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, ports);
        QFETCH(bool, network);
        QFETCH(QString, device);
        QFETCH(double, quitAfter);
        QFETCH(QString, screenshot);
        QFETCH(QString, record);
        const ParsedOptions parsed = parseProgramOptions(QStringList{"kalmo"} + args);
        QVERIFY2(!parsed.exitNow, qPrintable(parsed.message));
        const ProgramOptions &o = parsed.options;
        QCOMPARE(o.ports, ports);
        QCOMPARE(o.link == ProgramOptions::Link::Network, network);
        QCOMPARE(o.device, device);
        QCOMPARE(o.quitAfterSeconds.value_or(-1.0), quitAfter);
        QCOMPARE(o.screenshotFile, screenshot);
        QCOMPARE(o.commandLineRecord, record);
    }

    void refuses_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("bad link") << QStringList{"--link", "usb"} << "--link";
        QTest::newRow("bad device") << QStringList{"--device", "1.2.3"} << "--device";
        QTest::newRow("ipv6 device") << QStringList{"--device", "::1"} << "--device";
        QTest::newRow("bad quit") << QStringList{"--quit-after", "soon"} << "--quit-after";
        QTest::newRow("negative quit") << QStringList{"--quit-after", "-1"} << "--quit-after";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << "bogus";
        QTest::newRow("missing value") << QStringList{"--port"} << "port";
    }
    void refuses()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, mentions);
        const ParsedOptions parsed = parseProgramOptions(QStringList{"kalmo"} + args);
        QVERIFY(parsed.exitNow);
        QCOMPARE(parsed.exitCode, 2);
        QVERIFY2(parsed.message.contains(mentions), qPrintable(parsed.message));
    }

    void helpAndVersion()
    {
        const ParsedOptions help = parseProgramOptions({"kalmo", "--help"});
        QVERIFY(help.exitNow);
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.message.contains("--screenshot"));
        const ParsedOptions version = parseProgramOptions({"kalmo", "--version"});
        QVERIFY(version.exitNow);
        QVERIFY(version.message.contains("1.14.0"));
    }
};

QTEST_GUILESS_MAIN(TestProgramOptions)
#include "test_program_options.moc"
