// The main window against the virtual controller over real loopback UDP,
// with real timers: the controller on 127.0.0.2 announces itself, the window
// lists it, chooses it by itself as --device asks, reads it and settles on
// the idle DI/DO read.
#include "app/form1.h"
#include "features/zigbee/zigbee_feature.h"

#include "transport/discovery.h"
#include "sim/udp_endpoint.h"
#include "sim/virtual_controller.h"
#include "support/window_rig.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace kalmo;

class TestNetworkSession : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_previous = QDir::currentPath();
        m_dir = std::make_unique<QTemporaryDir>();
        QDir::setCurrent(m_dir->path());
    }
    void cleanup() { QDir::setCurrent(m_previous); }

    void deviceIsListedChosenAndRead()
    {
        sim::DeviceProfile profile; // KVRQ101: discovery lists its type code "090"
        profile.bootVersion = 0x13;
        sim::VirtualController controller(profile);
        sim::UdpEndpoint endpoint(&controller);

        ProgramOptions options;
        options.link = ProgramOptions::Link::Network;
        options.device = QStringLiteral("127.0.0.2");
        Form1 w(options, rig::realLinks());
        QList<MessageBoxRequest> boxes;
        w.showMessageBox = [&boxes](const MessageBoxRequest &r) { boxes << r; };
        w.session().discoveryPort = 0; // a free port instead of 12000

        w.StartRun_Click();
        QVERIFY(w.session().wsckDeviceQuery->isListening());

        sim::UdpEndpointSettings settings;
        settings.address = QHostAddress(QStringLiteral("127.0.0.2"));
        settings.servicePort = 0;
        settings.announcePort = w.session().wsckDeviceQuery->localPort();
        QString error;
        QVERIFY2(endpoint.open(settings, &error), qPrintable(error));

        QTRY_COMPARE_WITH_TIMEOUT(w.cmbDevice->count(), 1, 5000);
        QCOMPARE(w.cmbDevice->itemText(0), QStringLiteral("127.0.0.2"));
        QVERIFY(!w.cmbDevice->isHidden());
        // Chosen by itself: aimed at the announced service port.
        QTRY_COMPARE_WITH_TIMEOUT(w.session().wsckR_W->remotePort(), endpoint.servicePort(), 2000);

        // Eight first reads, then the idle DI/DO read every 300 ms.
        QTRY_VERIFY_WITH_TIMEOUT(w.session().networkReplyCounter >= 11, 15000);
        QCOMPARE(w.dispatcher().stack().top(), 0);

        const auto text = [&w](const char *name) {
            return w.findChild<QWidget *>(name)->property("text").toString();
        };
        QCOMPARE(text("txtIp_0"), QStringLiteral("127"));
        QCOMPARE(text("txtIp_3"), QStringLiteral("2"));
        QCOMPARE(text("txtDeviceType"), QStringLiteral("KVRQ101"));
        QCOMPARE(text("lb_BookNo"), QStringLiteral("1.3"));
        QCOMPARE(w.findChild<QDateEdit *>("clkDate")->date(), controller.clockReading().date());
        QCOMPARE(w.zigbeeFeature->zigbeeRecord.deviceNumber, controller.state().zigbee.deviceNumber);
        QCOMPARE(w.Text3->text(), QStringLiteral("0")); // no reply went missing
        QVERIFY(boxes.isEmpty());
        QVERIFY(!QFile::exists(QStringLiteral("TAVG501ErrorLog.ini")));

        w.cmdStop_Click();
        QVERIFY(!w.session().wsckDeviceQuery->isListening());
        QVERIFY(!w.session().wsckR_W->isOpen());
        QVERIFY(!w.session().Timer1->isActive());
        QCOMPARE(w.cmbDevice->count(), 0);
        QCOMPARE(w.Text4->text(), QStringLiteral("0"));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previous;
};

QTEST_MAIN(TestNetworkSession)
#include "test_network_session.moc"
