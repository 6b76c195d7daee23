// The progress display: the percentage label after each step, and the
// automatic stepping that hides the bar once it is full.
#include "session/progress.h"

#include <QtTest>

using namespace kalmo;

class TestProgress : public QObject
{
    Q_OBJECT
private slots:
    void nineSteps_data()
    {
        QTest::addColumn<int>("steps");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("label");
        // 2/9, 3/9 ... 9/9 of 100, rounded to one decimal and written with a
        // leading space; once full, "100%" without it.
        QTest::newRow("start") << 0 << 1 << "0%";
        QTest::newRow("step 1") << 1 << 2 << " 22.2%";
        QTest::newRow("step 2") << 2 << 3 << " 33.3%";
        QTest::newRow("step 3") << 3 << 4 << " 44.4%";
        QTest::newRow("step 4") << 4 << 5 << " 55.6%";
        QTest::newRow("step 5") << 5 << 6 << " 66.7%";
        QTest::newRow("step 6") << 6 << 7 << " 77.8%";
        QTest::newRow("step 7") << 7 << 8 << " 88.9%";
        QTest::newRow("step 8") << 8 << 9 << " 100%";
        QTest::newRow("step 9") << 9 << 9 << "100%";
        QTest::newRow("step 10") << 10 << 9 << "100%";
    }
    void nineSteps()
    {
        QFETCH(int, steps);
        QFETCH(int, value);
        QFETCH(QString, label);
        ProgressState progress;
        progress.start(9);
        QVERIFY(progress.visible);
        QCOMPARE(progress.maximum, 9);
        for (int i = 0; i < steps; ++i)
            progress.step();
        QCOMPARE(progress.value, value);
        QCOMPARE(progress.label, label);
        QCOMPARE(progress.full(), value == 9);
    }

    void percentText_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole number drops .0") << 5 << 10 << " 50%";
        QTest::newRow("one decimal") << 1 << 8 << " 12.5%";
        QTest::newRow("half rounds up") << 1 << 16 << " 6.3%"; // 6.25
        QTest::newRow("rounds down") << 1 << 3 << " 33.3%";
        QTest::newRow("rounds up to a whole number") << 999 << 1000 << " 99.9%";
        QTest::newRow("just under a whole number") << 9999 << 10000 << " 100%"; // 99.99
        QTest::newRow("below one percent") << 2 << 500 << " 0.4%";
        QTest::newRow("rounds to zero") << 2 << 10003 << " 0%";
        QTest::newRow("full") << 4 << 4 << " 100%";
    }
    void percentText()
    {
        QFETCH(int, value);
        QFETCH(int, maximum);
        QFETCH(QString, text);
        QCOMPARE(progressPercentText(value, maximum), text);
    }

    void timerFillsThenHides()
    {
        ProgressState progress;
        progress.start(9);
        int ticks = 0;
        while (!progress.timerTick()) {
            ++ticks;
            QVERIFY(progress.visible);
            QVERIFY(ticks <= 8);
        }
        QCOMPARE(ticks, 8);
        QCOMPARE(progress.value, 9);
        QVERIFY(!progress.visible);
        QCOMPARE(progress.label, QStringLiteral(" 100%"));
    }

    void restartAfterFull()
    {
        ProgressState progress;
        progress.start(4);
        for (int i = 0; i < 5; ++i)
            progress.step();
        progress.hide();
        progress.start(9);
        QCOMPARE(progress.value, 1);
        QCOMPARE(progress.label, QStringLiteral("0%"));
        QVERIFY(progress.visible);
        QVERIFY(!progress.full());
    }
};

QTEST_GUILESS_MAIN(TestProgress)
#include "test_progress.moc"
