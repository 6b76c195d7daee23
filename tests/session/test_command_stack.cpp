// The command stack: last in first out, the idle entry, the bound at 10000,
// and the start sequences.
#include "session/command_stack.h"
#include "core/error_log.h"

#include <QtTest>

#include <vector>

using namespace kalmo;

namespace {

std::vector<qint16> entries(const CommandStack &stack)
{
    std::vector<qint16> out;
    for (int i = 0; i <= stack.top(); ++i)
        out.push_back(stack.entry(i));
    return out;
}

} // namespace

class TestCommandStack : public QObject
{
    Q_OBJECT
private slots:
    void lastPushedRunsFirst()
    {
        CommandStack stack;
        stack.setIdle(13);
        stack.push(1);
        stack.push(75);
        stack.push(15);
        QCOMPARE(stack.top(), 3);
        QList<qint16> order;
        while (!stack.idle()) {
            order << stack.current();
            stack.pop();
        }
        QCOMPARE(order, (QList<qint16>{15, 75, 1}));
        QCOMPARE(stack.current(), qint16(13));
    }

    void idleEntryIsNeverPopped()
    {
        CommandStack stack;
        stack.setIdle(9);
        stack.pop();
        stack.pop();
        QCOMPARE(stack.top(), 0);
        QCOMPARE(stack.current(), qint16(9));
        stack.push(4);
        stack.clear();
        QCOMPARE(stack.top(), 0);
        QCOMPARE(stack.current(), qint16(9));
    }

    void pushBeyondTheLastEntryFails()
    {
        CommandStack stack;
        for (int i = 1; i <= 10000; ++i)
            stack.push(qint16(i % 200));
        QCOMPARE(stack.top(), 10000);
        QCOMPARE(stack.current(), qint16(10000 % 200));
        try {
            stack.push(77);
            QFAIL("push beyond entry 10000 succeeded");
        } catch (const ProcedureError &e) {
            QCOMPARE(e.description(), QStringLiteral("下标越界"));
        }
        // The code is lost; what was there stays and runs next.
        QCOMPARE(stack.top(), 10000);
        QCOMPARE(stack.current(), qint16(10000 % 200));
        stack.pop();
        QCOMPARE(stack.top(), 9999);
        stack.push(77);
        QCOMPARE(stack.current(), qint16(77));
    }

    void entryOutsideTheStackFails()
    {
        CommandStack stack;
        QVERIFY_THROWS_EXCEPTION(ProcedureError, stack.entry(-1));
        QVERIFY_THROWS_EXCEPTION(ProcedureError, stack.entry(10001));
        QCOMPARE(stack.entry(10000), qint16(0));
    }

    void startSequences_data()
    {
        QTest::addColumn<bool>("serial");
        QTest::addColumn<std::vector<qint16>>("expected");
        QTest::newRow("serial communicate button")
            << true << std::vector<qint16>{13, 82, 37, 75, 18, 15, 1, 57};
        QTest::newRow("network device choice")
            << false << std::vector<qint16>{9, 25, 75, 9, 12, 63, 1, 101, 176};
    }
    void startSequences()
    {
        QFETCH(bool, serial);
        QFETCH(std::vector<qint16>, expected);
        CommandStack stack;
        // Whatever was pending before is replaced.
        stack.push(44);
        stack.push(44);
        stack.push(44);
        stack.push(44);
        stack.push(44);
        stack.push(44);
        stack.push(44);
        stack.push(44);
        stack.push(44);
        stack.push(44);
        if (serial)
            stack.loadSerialStart();
        else
            stack.loadNetworkStart();
        QCOMPARE(entries(stack), expected);
        QCOMPARE(stack.top(), int(expected.size()) - 1);
    }

    void replacePendingKeepsTheIdleEntry()
    {
        CommandStack stack;
        stack.loadSerialStart();
        const qint16 upgrade[] = {47, 47, 47, 46, 45};
        stack.replacePending(upgrade);
        QCOMPARE(entries(stack), (std::vector<qint16>{13, 47, 47, 47, 46, 45}));
        QCOMPARE(stack.current(), qint16(45));

        const std::vector<qint16> tooMany(10001, 47);
        QVERIFY_THROWS_EXCEPTION(ProcedureError, stack.replacePending(tooMany));
        QCOMPARE(stack.top(), 5);
        const std::vector<qint16> full(10000, 47);
        stack.replacePending(full);
        QCOMPARE(stack.top(), 10000);
    }
};

QTEST_GUILESS_MAIN(TestCommandStack)
#include "test_command_stack.moc"
