// The main window against the virtual controller over a real
// pseudo-terminal, with real timers: a connection that reads the device and
// settles on the idle DI/DO read, and a silent controller that times out.
#include "app/form1.h"

#include "transport/serial_link.h"
#include "sim/pty_endpoint.h"
#include "sim/virtual_controller.h"
#include "support/window_rig.h"

#include "support/scratch_dir.h"
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <QtTest>

using namespace kalmo;

class TestSerialSession : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_dir = std::make_unique<ScratchWorkingDir>(); }
    void cleanup() { m_dir.reset(); }

    void connectionReadsTheDevice()
    {
        sim::DeviceProfile profile;
        profile.deviceType = 52; // WYLM101
        profile.bootVersion = 0x13;
        sim::VirtualController controller(profile);
        controller.state().profibusEnabled = 1;
        sim::PtyEndpoint endpoint(&controller);
        QString error;
        QVERIFY2(endpoint.open(&error), qPrintable(error));

        ProgramOptions options;
        options.ports = {endpoint.slavePath()};
        Form1 w(options, rig::realLinks());
        QList<MessageBoxRequest> boxes;
        w.showMessageBox = [&boxes](const MessageBoxRequest &r) { boxes << r; };

        w.StartRun_Click();
        QVERIFY(w.session().Comm1->isOpen());
        // Seven first reads, then the idle DI/DO read over and over.
        QTRY_VERIFY_WITH_TIMEOUT(w.session().serialReplyCounter >= 9, 15000);
        QCOMPARE(w.dispatcher().stack().top(), 0);

        const auto text = [&w](const char *name) {
            return w.findChild<QWidget *>(name)->property("text").toString();
        };
        QCOMPARE(text("txtDeviceType"), QStringLiteral("WYLM101"));
        QCOMPARE(text("lb_BookNo"), QStringLiteral("1.3"));
        QCOMPARE(text("txthardwarenum"), QStringLiteral("200000000000000"));
        QCOMPARE(w.findChild<QDateEdit *>("clkDate")->date(), controller.clockReading().date());
        QVERIFY(w.findChild<QCheckBox *>("ckProfibus")->isChecked());
        QCOMPARE(w.Text3->text(), QStringLiteral("0")); // no reply went missing
        QVERIFY(boxes.isEmpty());
        QVERIFY(!QFile::exists(QStringLiteral("TAVG501ErrorLog.ini")));

        w.cmdStop_Click();
        QVERIFY(!w.session().Comm1->isOpen());
        QVERIFY(!w.session().Timer1->isActive());
        QCOMPARE(w.Text4->text(), QStringLiteral("0"));
    }

    void silentControllerTimesOut()
    {
        sim::VirtualController controller;
        sim::FaultOptions faults;
        faults.dropProbability = 1;
        controller.setFaults(faults);
        sim::PtyEndpoint endpoint(&controller);
        QVERIFY(endpoint.open());

        ProgramOptions options;
        options.ports = {endpoint.slavePath()};
        Form1 w(options, rig::realLinks());
        w.showMessageBox = [](const MessageBoxRequest &) {};

        w.StartRun_Click();
        // The Zigbee read waits 1000 ms, then the system-parameter read goes.
        QTRY_COMPARE_WITH_TIMEOUT(w.Text2->text(), QStringLiteral("通讯超时"), 4000);
        QTRY_COMPARE_WITH_TIMEOUT(w.Text2->text(), QStringLiteral("读系统参数"), 2000);
        QCOMPARE(w.Text4->text(), QStringLiteral("0"));
        QCOMPARE(w.dispatcher().stack().top(), 5);
        w.cmdStop_Click();
    }

private:
    std::unique_ptr<ScratchWorkingDir> m_dir;
};

QTEST_MAIN(TestSerialSession)
#include "test_serial_session.moc"
