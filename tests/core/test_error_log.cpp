// The error log line format, appending, code page 936 and the error texts.
#include "core/codepage.h"
#include "core/error_log.h"
#include "core/error_texts.h"
#include "support/scratch_dir.h"

#include <QFile>
#include <QtTest>

using namespace kalmo;
using namespace Qt::StringLiterals;

class TestErrorLog : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<ScratchWorkingDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup() { m_dir.reset(); }

    void sendCommandLineBytes()
    {
        const QByteArray line =
            formatErrorLogLine(QDateTime(QDate(2026, 12, 7), QTime(15, 0, 0)),
                               QStringLiteral("下标越界"), QStringLiteral("SendCommand(Form1)"));
        // "2026-12-07 15:00:00" is 21 columns: 7 spaces to column 29. "信息" (4 columns)
        // ends at 32: 10 spaces to 43. "下标越界" (6) ends at 48: 8 spaces to 57.
        // "SendCommand(Form1)" (20) ends at 76: 8 spaces to 85.
        const QByteArray expected = QByteArray("\"2026-12-07 15:00:00\"") + QByteArray(7, ' ') +
                                    QByteArray("\"\xD0\xC5\xCF\xA2\"") + QByteArray(10, ' ') +
                                    QByteArray("\"\xCF\xC2\xB1\xEA\xD4\xBD\xBD\xE7\"") +
                                    QByteArray(8, ' ') + QByteArray("\"SendCommand(Form1)\"") +
                                    QByteArray(8, ' ') + QByteArray("\"Kalmo\"\r\n");
        QCOMPARE(line, expected);
    }

    void zonePadding_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<int>("spacesAfter");
        // Field 3 starts at column 43 (0-based 42).
        QTest::newRow("empty") << QString() << 12;                      // "" ends at 44
        QTest::newRow("ends before zone") << "abcdefghijk" << 1;        // 13 columns, ends at 55
        QTest::newRow("ends on zone boundary") << "abcdefghijkl" << 14; // ends at 56
        QTest::newRow("longer than a zone") << QString(20, u'x') << 6;  // 22 columns, ends at 64
    }
    void zonePadding()
    {
        QFETCH(QString, description);
        QFETCH(int, spacesAfter);
        const QString line = cp936::decode(formatErrorLogLine(
            QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)), description, QStringLiteral("L")));
        const QString field = u'"' + description + u'"';
        const qsizetype at = line.indexOf(field, 42);
        QCOMPARE(at, 42);
        const qsizetype next = line.indexOf(u'"', at + field.size());
        QCOMPARE(next - (at + field.size()), qsizetype(spacesAfter));
        QCOMPARE(next % 14, 0);
    }

    void appendsAndKeepsEarlierLines()
    {
        QVERIFY(!runLogged("Timer1_Timer(Form1)", [] { byteAt(QByteArray(2, 0), 2); }));
        QVERIFY(!runLogged(
            "SetBin(Module1)", [] { throw ProcedureError("x"); }, ErrorLogFile::Aux));
        QVERIFY(!runLogged("CrcCheck(Module1)", [] { throw std::out_of_range("o"); }));
        QVERIFY(runLogged("Fine(Form1)", [] {}));

        QFile main(QStringLiteral("TAVG501ErrorLog.ini"));
        QVERIFY(main.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = main.readAll().split('\n');
        QCOMPARE(lines.size(), 3); // two lines and the empty rest after the last LF
        QVERIFY(lines[0].contains("\"Timer1_Timer(Form1)\""));
        QVERIFY(lines[0].contains("\"\xCF\xC2\xB1\xEA\xD4\xBD\xBD\xE7\"")); // 下标越界
        QVERIFY(lines[1].contains("\"CrcCheck(Module1)\""));
        QVERIFY(lines[0].endsWith('\r'));

        QFile aux(QStringLiteral("VIZezera.ini"));
        QVERIFY(aux.open(QIODevice::ReadOnly));
        QVERIFY(aux.readAll().contains("\"SetBin(Module1)\""));
    }

    void rateLimit_data()
    {
        QTest::addColumn<QList<qint64>>("times");
        QTest::addColumn<QList<bool>>("written");
        QTest::newRow("flood: once a second")
            << QList<qint64>{0, 1, 999, 1000, 1500, 2000} << QList<bool>{1, 0, 0, 1, 0, 1};
        QTest::newRow("slow repeats all written")
            << QList<qint64>{0, 1000, 5000} << QList<bool>{1, 1, 1};
    }
    void rateLimit()
    {
        QFETCH(QList<qint64>, times);
        QFETCH(QList<bool>, written);
        ErrorLogRateLimit limit;
        const QString label = QStringLiteral("wsckR_W_DataArrival(Form1)");
        for (qsizetype i = 0; i < times.size(); ++i) {
            QCOMPARE(limit.admit(u"/a/log.ini"_s, label, u"溢出"_s, times[i]), written[i]);
            // Another description or log file is another line.
            QCOMPARE(limit.admit(u"/a/log.ini"_s, label, QString::number(i), times[i]), true);
            QCOMPARE(limit.admit(u"/b/log.ini"_s, label, u"溢出"_s, times[i]), written[i]);
        }
    }

    void floodWritesOneLine()
    {
        for (int i = 0; i < 1000; ++i)
            runLogged("Flood(Form1)", [] { throw ProcedureError("x"); });
        QFile main(QStringLiteral("TAVG501ErrorLog.ini"));
        QVERIFY(main.open(QIODevice::ReadOnly));
        QVERIFY(main.readAll().count("\"Flood(Form1)\"") <=
                2); // a slow machine may straddle one interval
    }

    void bodyStopsAtFailure()
    {
        int reached = 0;
        runLogged("P(Form1)", [&] {
            reached = 1;
            QByteArray b(3, 0);
            setByteAt(b, 3, 1);
            reached = 2;
        });
        QCOMPARE(reached, 1);
    }

    void unwritableLogIsSkipped()
    {
        QDir().mkdir(QStringLiteral("TAVG501ErrorLog.ini")); // a directory cannot be appended to
        QVERIFY(!runLogged("P(Form1)", [] { throw ProcedureError("x"); }));
    }

    void codePage_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << "KVRQ101" << QByteArray("KVRQ101");
        QTest::newRow("euro is 0x80") << QString(QChar(cp936::kEuro)) << QByteArray("\x80");
        QTest::newRow("chinese") << QStringLiteral("用户") << QByteArray("\xD3\xC3\xBB\xA7");
        QTest::newRow("label euro value")
            << (QStringLiteral("IP") + QChar(cp936::kEuro) + QStringLiteral("1|"))
            << QByteArray("IP\x80"
                          "1|");
    }
    void codePage()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(cp936::encode(text), bytes);
        QCOMPARE(cp936::decode(bytes), text);
    }

    void errorTexts_data()
    {
        QTest::addColumn<bool>("comm");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("expected");
        QTest::newRow("8005") << true << 8005
                              << "该端口已经被其他程序打开,请关闭相应的程序或选择其他串口";
        QTest::newRow("8002") << true << 8002 << "无效的端口号,请选择存在的串口号";
        QTest::newRow("8017 falls through") << true << 8017 << "platform";
        QTest::newRow("8021") << true << 8021 << "为该端口检索设备控制块时的内部错误";
        QTest::newRow("comm 7 is not listed") << true << 7 << "platform";
        QTest::newRow("10048") << false << 10048 << "指定的端口被其他程序占用";
        QTest::newRow("10060") << false << 10060 << "已关闭套接字";
        QTest::newRow("40026") << false << 40026 << "所请求的事务或请求本身的错误协议";
        QTest::newRow("socket 8005 falls through") << false << 8005 << "platform";
        QTest::newRow("10059 falls through") << false << 10059 << "platform";
    }
    void errorTexts()
    {
        QFETCH(bool, comm);
        QFETCH(int, number);
        QFETCH(QString, expected);
        const QString platform = QStringLiteral("platform");
        QCOMPARE(comm ? CommErrorText(number, platform) : WinsockErrorText(number, platform),
                 expected);
    }

private:
    std::unique_ptr<ScratchWorkingDir> m_dir;
};

QTEST_GUILESS_MAIN(TestErrorLog)
#include "test_error_log.moc"
