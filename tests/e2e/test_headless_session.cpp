// A session with no window at all: a whole system-parameter read against the
// virtual controller over a pseudo-terminal, under a core application where
// creating a widget would abort.
#include "protocol/sys_param_block.h"
#include "session/session.h"
#include "sim/serial_request_splitter.h"
#include "sim/virtual_controller.h"
#include "support/pty_device.h"
#include "support/scratch_dir.h"
#include "transport/serial_link.h"

#include <QTimer>
#include <QtTest>

using namespace kalmo;

namespace {

// What a front end without widgets shows: the last texts, kept.
struct RecordingView : SessionView
{
    QStringList statusTexts;
    QString replyCount;
    Link selectedLink() const override { return Link::Serial; }
    void setStatusText(const QString &text) override { statusTexts << text; }
    void showReplyCount(const QString &text) override { replyCount = text; }
    void showTimeoutCount(const QString &) override {}
    void showProgress(const ProgressState &) override {}
    void showMessage(const QString &text) override { statusTexts << text; }
    void reopenSerialPort(const QString &) override {}
};

} // namespace

class TestHeadlessSession : public QObject
{
    Q_OBJECT
private slots:
    void readsSystemParametersWithoutWidgets();
};

void TestHeadlessSession::readsSystemParametersWithoutWidgets()
{
    ScratchWorkingDir scratch;
    QVERIFY(scratch.isValid());
    PtyDevice dev;
    sim::DeviceProfile profile;
    profile.deviceType = 57; // KVRX210
    profile.firmwareVersion = 0x3412;
    profile.productionDate = QDate(2019, 3, 28);
    sim::VirtualController controller(profile);

    RecordingView view;
    Session session(view);
    SysParamRecord record;
    SysParamPanelItems items;
    session.handle(SerialReplyAction::SystemInformation, [&](const Reply &reply) {
        decodeSerialSysInfoReply(reply.bytes, record, items);
    });

    QVERIFY(!session.Comm1->open(dev.path, QStringLiteral("9600,N,8,1")));
    session.Timer1->setInterval(kDispatchIntervalMs);
    session.dispatcher().stack().push(1);
    session.Timer1_Timer();
    QVERIFY(session.Timer2->isActive());

    sim::SerialRequestSplitter splitter;
    QList<QByteArray> requests;
    dev.receiveUntil([&](const QByteArray &got) { return !(requests = splitter.feed(got)).isEmpty(); },
                     3000);
    QCOMPARE(requests.size(), 1);
    const QByteArray reply = controller.answerSerial(requests.first());
    QVERIFY(dev.send(reply));
    // The port's receive event hands the whole reply to the session.
    QTRY_COMPARE(view.replyCount, QStringLiteral("1"));

    QCOMPARE(record.DeviceType, quint8(57));
    QCOMPARE(record.FirmwareVersion, quint16(0x3412));
    QCOMPARE(record.ProductionYear, quint16(2019));
    QCOMPARE(record.ProductionMonth, quint8(3));
    QCOMPARE(record.ProductionDay, quint8(28));
    // The request's text while waiting, the reply's once it is in.
    QVERIFY(view.statusTexts.contains(QStringLiteral("读系统参数")));
    QCOMPARE(view.statusTexts.last(), QStringLiteral("取系统信息"));
    // Answered: the time-out is off and the dispatcher runs on.
    QVERIFY(!session.Timer2->isActive());
    QVERIFY(session.Timer1->isActive());
    QVERIFY(session.dispatcher().stack().idle());
    // Nothing went wrong on the way: no error log was written.
    QVERIFY(!QFile::exists(scratch.filePath(QStringLiteral("TAVG501ErrorLog.ini"))));
}

QTEST_GUILESS_MAIN(TestHeadlessSession)
#include "test_headless_session.moc"
