// Firmware upgrade against the virtual controller's loader: the bytes of a
// whole transfer on both links, the file checks before anything is queued,
// and every way a transfer can break off, after which the tool communicates
// again and a second try stores the image exactly.
#include "app/form1.h"
#include "features/system_info/system_info_feature.h"
#include "features/upgrade/upgrade_feature.h"

#include "protocol/frames.h"
#include "support/hex.h"
#include "support/network_rig.h"
#include "support/scratch_dir.h"
#include "support/serial_rig.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace kalmo;
using rig::control;

namespace {

constexpr qint32 kSlow = 9600;
constexpr qint32 kFast = 115200;

// Byte k is k mod 251: no packet repeats another, and none is all 0xFF.
QByteArray testImage(qsizetype size)
{
    QByteArray image(size, '\0');
    for (qsizetype k = 0; k < size; ++k)
        image[k] = char(k % 251);
    return image;
}

// The image as the loader keeps it: whole packets, the last padded with 0xFF.
QByteArray padded(const QByteArray &image)
{
    return image + QByteArray((512 - image.size() % 512) % 512, '\xFF');
}

QString writeFile(const ScratchWorkingDir &dir, const QByteArray &bytes)
{
    const QString path = dir.filePath(QStringLiteral("MAIN.BIN"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) qFatal("no file");
    return path;
}

// What a transfer showed: each request, the line rate it went at, and the
// progress label once it was out.
struct Transfer
{
    QList<QByteArray> requests;
    QList<qint32> rates;
    QStringList labels;
    QList<int> waits; // network: the reply's time-out
    QList<int> paces; // network: the pause after the reply, to the next request
};

bool upgrading(const Form1 &w)
{
    return w.dispatcher().stack().held();
}

void clickUpgrade(Form1 &w, const QString &path)
{
    w.upgradeFeature->panel()->txt_UpdataAddr->setText(path);
    w.askQuestion = [](const MessageBoxRequest &) { return true; };
    w.upgradeFeature->bt_Updata_Click();
}

// ---- Serial -----------------------------------------------------------------------

template <typename Line> struct SerialUpgrade : rig::SerialRigOn<Line>
{
    qint64 now = 0; // the controller's clock, in ms
    ScratchWorkingDir dir;

    SerialUpgrade()
    {
        this->followLineRate = true;
        this->controller.setTickSource([this] { return now; });
        this->w->StartRun_Click();
        QVERIFY(this->runToIdle());
    }

    // The next request: one the last reply chained is already out and awaited;
    // otherwise a tick sends it.
    QByteArray next()
    {
        if (!this->w->session().Timer2->isActive()) return this->step();
        const QByteArray request = this->line.nextRequest(3000);
        if (!request.isEmpty()) this->requests.append(request);
        return request;
    }

    // Clicks "升级" with `image` and answers until the transfer ends or the
    // controller does not answer; `reply` may replace a reply.
    Transfer run(const QByteArray &image,
                 const std::function<QByteArray(const QByteArray &)> &reply = {})
    {
        clickUpgrade(*this->w, writeFile(dir, image));
        Transfer seen;
        while (upgrading(*this->w) && seen.requests.size() < 40) {
            const QByteArray request = next();
            if (request.isEmpty()) break;
            seen.requests << request;
            seen.rates << this->line.lineRate();
            seen.labels << this->w->lb_ProgProc->text();
            this->controller.setLineRate(this->line.lineRate());
            const QByteArray answer =
                reply ? reply(request) : this->controller.answerSerial(request);
            if (answer.isEmpty()) break;
            this->deliver(answer);
        }
        return seen;
    }

    // One idle tick understood at 9600 and its reply taken.
    void communicates()
    {
        QCOMPARE(this->w->session().Comm1->settings(), kNormalPortSettings);
        QVERIFY(this->w->session().Timer1->isActive());
        const QByteArray request = this->step();
        QVERIFY(!request.isEmpty());
        this->controller.setLineRate(this->line.lineRate());
        const sim::SerialExchange exchange = this->controller.serveSerial(request);
        QVERIFY(exchange.requestSound);
        this->deliver(exchange.reply);
        QVERIFY(!this->w->session().Timer2->isActive());
    }
};

// ---- Network ------------------------------------------------------------------------

// The window on the fake service link to a device on 127.0.0.2, answered by
// the virtual controller; the timers are stepped by hand.
struct NetworkUpgrade : rig::NetworkRig
{
    ScratchWorkingDir dir;

    // Clicks "升级" and answers until the transfer ends or goes unanswered;
    // the restart pause is stepped by its timer's own slot.
    Transfer run(const QByteArray &image)
    {
        clickUpgrade(*w, writeFile(dir, image));
        Transfer seen;
        while (upgrading(*w) && seen.requests.size() < 40) {
            if (w->session().Sleep_Timer->isActive()) w->session().Sleep_Timer_Timer();
            const QByteArray request = tick();
            if (request.isEmpty()) break;
            seen.requests << request;
            seen.labels << w->lb_ProgProc->text();
            seen.waits << w->session().Timer2->interval();
            const QByteArray reply = controller.answerNetwork(request);
            if (reply.isEmpty()) break;
            link().arrive(reply);
            seen.paces << (w->session().Sleep_Timer->isActive()
                               ? w->session().Sleep_Timer->interval()
                               : w->session().Timer1->interval());
        }
        return seen;
    }
    void communicates()
    {
        QVERIFY(w->session().Timer1->isActive());
        const QByteArray request = tick();
        QCOMPARE(request.first(1), hex("0c")); // the idle read
        const sim::NetworkExchange exchange = controller.serveNetwork(request);
        QVERIFY(exchange.served);
        link().arrive(exchange.reply);
        QVERIFY(!w->session().Timer2->isActive());
    }
};

// The upgrade write header of block 10003: 0D, length, sequence, the block,
// its type, item count 0, then two zero bytes.
QByteArray writeHeader(quint16 length, quint16 sequence, quint8 type)
{
    QByteArray header = hex("0d000000 0000 0000 0000 1327 0000 0000 0000");
    header[4] = char(length & 0xFF);
    header[5] = char(length >> 8);
    header[6] = char(sequence & 0xFF);
    header[7] = char(sequence >> 8);
    header[12] = char(type);
    return header;
}

const QStringList kFivePacketLabels = {QStringLiteral(" 25%"), QStringLiteral(" 37.5%"),
                                       QStringLiteral(" 50%"), QStringLiteral(" 62.5%"),
                                       QStringLiteral(" 75%"), QStringLiteral(" 87.5%"),
                                       QStringLiteral(" 100%")};

} // namespace

class TestUpgrade : public QObject
{
    Q_OBJECT
private slots:
    void serialTransferOverPty();
    void networkTransfer();
    void fileChecks_data();
    void fileChecks();
    void serialAborts_data();
    void serialAborts();
    void networkAborts_data();
    void networkAborts();
    void portSwitchFails_data();
    void portSwitchFails();
    void otherButtonsQueueNothing();
    void lateReadReplyIsRoutedBySequence();
};

void TestUpgrade::serialTransferOverPty()
{
    SerialUpgrade<rig::PtyLine> r;
    const QByteArray image = testImage(2049);
    const Transfer seen = r.run(image);

    // CRC-16/MODBUS of the function number and payload, worked out by hand.
    const char *packetCrcs[] = {"3590", "9d97", "5544", "0d5d", "c1f6"};
    QCOMPARE(seen.requests.size(), 7);
    QCOMPARE(seen.requests[0], hex("5555 2d 7f5d aaaa"));
    QCOMPARE(seen.requests[1], hex("5555 2e 0500 1299 aaaa"));
    for (int k = 0; k < 5; ++k)
        QCOMPARE(seen.requests[2 + k], hex("55552f") + padded(image).mid(k * 512, 512) +
                                           hex(packetCrcs[k]) + hex("aaaa"));
    QCOMPARE(seen.rates, (QList<qint32>{kSlow, kSlow, kFast, kFast, kFast, kFast, kFast}));
    QCOMPARE(seen.labels, kFivePacketLabels);

    const sim::FirmwareStore &store = r.controller.state().firmware;
    QCOMPARE(store.image, padded(image));
    QCOMPARE(store.imageCrc32, 0xDF4FE457u);
    QCOMPARE(store.completedTransfers, 1);

    // Back at 9600 on a new connection, which reads the device again.
    QCOMPARE(r.line.lineRate(), kSlow);
    QCOMPARE(r.w->Text2->text(), QStringLiteral("运行开始................"));
    QVERIFY(r.w->ProgressBar->isHidden());
    QVERIFY(r.runToIdle());
    QVERIFY(r.requests.size() > 7 + 7);
    QVERIFY(r.boxes.isEmpty());
    QVERIFY(r.w->upgradeFeature->panel()->bt_Updata->isEnabled());
}

void TestUpgrade::networkTransfer()
{
    NetworkUpgrade r;
    const quint16 sequence = quint16(r.w->dispatcher().sendState().writeSequence);
    const QByteArray image = testImage(2049);
    // The box shown as the last reply is handled sees the status line it left.
    QString statusUnderBox;
    const auto collect = r.w->showMessageBox;
    r.w->showMessageBox = [&](const MessageBoxRequest &box) {
        statusUnderBox = r.w->Text2->text();
        collect(box);
    };
    const Transfer seen = r.run(image);

    QCOMPARE(seen.requests.size(), 7);
    QCOMPARE(seen.requests[0], writeHeader(19, sequence + 1, 0) + hex("00"));
    QCOMPARE(seen.requests[1], writeHeader(20, sequence + 2, 1) + hex("0500"));
    for (int k = 0; k < 5; ++k)
        QCOMPARE(seen.requests[2 + k],
                 writeHeader(530, quint16(sequence + 3 + k), 2) + padded(image).mid(k * 512, 512));
    QCOMPARE(seen.labels, kFivePacketLabels);
    QCOMPARE(seen.waits, (QList<int>{9000, 3000, 5000, 5000, 5000, 5000, 5000}));
    // The restart into the loader, then 10 ms between writes; the usual pace after the last.
    QCOMPARE(seen.paces, (QList<int>{3000, 10, 10, 10, 10, 10, 300}));
    QCOMPARE(r.controller.state().firmware.image, padded(image));

    QCOMPARE(r.boxes.size(), 1);
    QCOMPARE(r.boxes[0].text, QStringLiteral("升级成功！"));
    QCOMPARE(statusUnderBox, QStringLiteral("发送升级数据成功"));
    QCOMPARE(r.w->session().timCheckDevice->interval(), 7000);
    QCOMPARE(r.w->session().Timer1->interval(), 300);
    r.communicates();
}

void TestUpgrade::fileChecks_data()
{
    QTest::addColumn<qsizetype>("size"); // -1: no file
    QTest::addColumn<QString>("path");   // instead of the file's, when set
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<int>("queued");  // requests queued
    QTest::addColumn<QString>("box"); // start of the box shown instead of the question

    QTest::newRow("largest image")
        << qsizetype(9998 * 512) << QString() << true << 10000 << QString();
    QTest::newRow("one byte more")
        << qsizetype(9998 * 512 + 1) << QString() << true << 0 << QStringLiteral("升级文件过大");
    QTest::newRow("empty file") << qsizetype(0) << QString() << true << 0
                                << QStringLiteral("文件已损坏，读取失败: ");
    QTest::newRow("no such file") << qsizetype(-1) << QString() << true << 0
                                  << QStringLiteral("文件已损坏，读取失败: ");
    QTest::newRow("no path") << qsizetype(10) << QStringLiteral("  ") << true << 0
                             << QStringLiteral("升级文件地址不能为空");
    QTest::newRow("answered no") << qsizetype(10) << QString() << false << 0 << QString();
}

void TestUpgrade::fileChecks()
{
    QFETCH(qsizetype, size);
    QFETCH(QString, path);
    QFETCH(bool, confirm);
    QFETCH(int, queued);
    QFETCH(QString, box);

    rig::SerialRig r;
    r.w->StartRun_Click();
    QVERIFY(r.runToIdle());
    ScratchWorkingDir dir;
    QString file = dir.filePath(QStringLiteral("MAIN.BIN"));
    if (size >= 0) file = writeFile(dir, testImage(size));
    r.w->upgradeFeature->panel()->txt_UpdataAddr->setText(path.isEmpty() ? file : path);
    QList<MessageBoxRequest> asked;
    r.w->askQuestion = [&](const MessageBoxRequest &q) {
        asked << q;
        return confirm;
    };

    r.w->upgradeFeature->bt_Updata_Click();

    QCOMPARE(r.w->dispatcher().stack().top(), queued);
    QCOMPARE(upgrading(*r.w), queued > 0);
    if (box.isEmpty()) {
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].text, QStringLiteral("升级将冲掉原来的程序\r\n\r\n是否确认？"));
        QVERIFY(asked[0].informativeText.contains(QStringLiteral("大小：%1 字节").arg(size)));
        QVERIFY(
            asked[0].informativeText.contains(QStringLiteral("包数：%1").arg((size + 511) / 512)));
        QVERIFY(r.boxes.isEmpty());
    } else {
        QVERIFY(asked.isEmpty());
        QCOMPARE(r.boxes.size(), 1);
        QVERIFY2(r.boxes[0].text.startsWith(box), qPrintable(r.boxes[0].text));
    }
}

namespace {

enum class SerialFault { NoReply, BadChecksum, ForeignReply, Silent, StopMidway };

} // namespace

void TestUpgrade::serialAborts_data()
{
    QTest::addColumn<SerialFault>("fault");
    QTest::addColumn<QString>("status");
    QTest::newRow("no reply to a packet") << SerialFault::NoReply << QStringLiteral("系统升级超时");
    QTest::newRow("bad checksum") << SerialFault::BadChecksum << QStringLiteral("系统升级超时");
    QTest::newRow("another command's reply")
        << SerialFault::ForeignReply << QStringLiteral("系统升级超时");
    QTest::newRow("device falls silent") << SerialFault::Silent << QStringLiteral("系统升级超时");
    QTest::newRow("Stop") << SerialFault::StopMidway << QString();
}

void TestUpgrade::serialAborts()
{
    QFETCH(SerialFault, fault);
    QFETCH(QString, status);

    SerialUpgrade<rig::FakeLine> r;
    const QByteArray image = testImage(2049);
    sim::FaultOptions faults;
    if (fault == SerialFault::BadChecksum) faults.failPacket = 2;
    if (fault == SerialFault::Silent) faults.silentAtPacket = 2;
    r.controller.setFaults(faults);

    int packets = 0;
    const Transfer seen = r.run(image, [&](const QByteArray &request) {
        if (request.size() != 519 || packets++ < 2) return r.controller.answerSerial(request);
        switch (fault) {
        case SerialFault::NoReply:
        case SerialFault::StopMidway:
            return QByteArray();
        case SerialFault::ForeignReply:
            return buildSerialFrame(13, {});
        case SerialFault::BadChecksum:
        case SerialFault::Silent:
            break;
        }
        return r.controller.answerSerial(request);
    });
    QCOMPARE(seen.requests.size(), 5); // start, size, packets 0..2
    QVERIFY(upgrading(*r.w));

    if (fault == SerialFault::StopMidway) {
        r.w->cmdStop_Click();
        QVERIFY(!upgrading(*r.w));
        QVERIFY(r.boxes.isEmpty());
        r.w->StartRun_Click();
    } else {
        r.w->session().Timer2_Timer();
        QCOMPARE(r.w->Text2->text(), status);
        QCOMPARE(r.boxes.size(), 1);
        QCOMPARE(r.boxes[0].text, QStringLiteral("通讯超时，系统升级失败！"));
    }
    QVERIFY(!upgrading(*r.w));
    QCOMPARE(r.w->dispatcher().upgradeFlag(), qint16(0));
    QVERIFY(r.w->ProgressBar->isHidden());
    if (fault != SerialFault::StopMidway)
        QVERIFY(r.w->upgradeFeature->panel()->bt_Updata->isEnabled());
    QCOMPARE(r.controller.state().firmware.completedTransfers, 0);

    // The loader gives an unfinished transfer up after three quiet seconds.
    r.now += 3001;
    r.communicates();
    if (fault == SerialFault::StopMidway) QVERIFY(r.runToIdle());

    r.controller.setFaults({});
    const Transfer again = r.run(image);
    QCOMPARE(again.requests.size(), 7);
    QCOMPARE(r.controller.state().firmware.image, padded(image));
    QCOMPARE(r.controller.state().firmware.completedTransfers, 1);
}

namespace {

enum class NetworkFault { ErrorReply, Silent, StopInPause };

} // namespace

void TestUpgrade::networkAborts_data()
{
    QTest::addColumn<NetworkFault>("fault");
    QTest::addColumn<int>("sent"); // requests before it broke off
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("box");
    QTest::newRow("error reply") << NetworkFault::ErrorReply << 5 << QStringLiteral("写服务失败")
                                 << QStringLiteral("写服务失败，系统升级失败！");
    QTest::newRow("device falls silent")
        << NetworkFault::Silent << 5 << QStringLiteral("系统升级超时")
        << QStringLiteral("通讯超时，系统升级失败！");
    QTest::newRow("Stop during the restart pause")
        << NetworkFault::StopInPause << 1 << QString() << QString();
}

void TestUpgrade::networkAborts()
{
    QFETCH(NetworkFault, fault);
    QFETCH(int, sent);
    QFETCH(QString, status);
    QFETCH(QString, box);

    NetworkUpgrade r;
    const QByteArray image = testImage(2049);
    sim::FaultOptions faults;
    if (fault == NetworkFault::ErrorReply) faults.failPacket = 2;
    if (fault == NetworkFault::Silent) faults.silentAtPacket = 2;
    r.controller.setFaults(faults);

    if (fault == NetworkFault::StopInPause) {
        clickUpgrade(*r.w, writeFile(r.dir, image));
        r.answer(r.tick());
        QVERIFY(r.w->session().Sleep_Timer->isActive());
        r.w->cmdStop_Click();
        QVERIFY(!r.w->session().Sleep_Timer->isActive());
        QVERIFY(!upgrading(*r.w));
        r.connect();
    } else {
        const Transfer seen = r.run(image);
        QCOMPARE(seen.requests.size(), sent);
        if (fault == NetworkFault::Silent) r.w->session().Timer2_Timer();
        QCOMPARE(r.w->Text2->text(), status);
        QCOMPARE(r.boxes.size(), 1);
        QCOMPARE(r.boxes[0].text, box);
    }
    QVERIFY(!upgrading(*r.w));
    QCOMPARE(r.w->dispatcher().upgradeFlag(), qint16(0));
    QCOMPARE(r.w->session().Timer1->interval(), 300);
    QVERIFY(r.w->ProgressBar->isHidden());

    r.now += 3001;
    r.communicates();
    r.controller.setFaults({});
    r.boxes.clear();
    const Transfer again = r.run(image);
    QCOMPARE(again.requests.size(), 7);
    QCOMPARE(r.controller.state().firmware.image, padded(image));
    QCOMPARE(r.boxes.size(), 1);
    QCOMPARE(r.boxes[0].text, QStringLiteral("升级成功！"));
}

void TestUpgrade::portSwitchFails_data()
{
    QTest::addColumn<QString>("refused"); // the settings the port does not open with
    QTest::addColumn<int>("sent");
    QTest::newRow("to 115200") << QStringLiteral("115200,N,8,1") << 2;
    QTest::newRow("back to 9600") << QStringLiteral("9600,N,8,1") << 7;
}

void TestUpgrade::portSwitchFails()
{
    QFETCH(QString, refused);
    QFETCH(int, sent);

    SerialUpgrade<rig::FakeLine> r;
    FakeSerialLink &port = r.line.port();
    const QString busy = QStringLiteral("Device or resource busy");
    port.openFailureSettings = refused;
    const bool fast = refused == QStringLiteral("115200,N,8,1");
    if (fast) port.openFailure = SerialPortFailure{8005, busy};
    int packets = 0;
    const Transfer seen = r.run(testImage(2049), [&](const QByteArray &request) {
        if (request.size() == 519 && ++packets == 5)
            port.openFailure = SerialPortFailure{8005, busy};
        return r.controller.answerSerial(request);
    });
    QCOMPARE(seen.requests.size(), sent);
    QVERIFY(!upgrading(*r.w));
    QVERIFY(!r.boxes.isEmpty());
    // The port's own error (8005: held by another program) is shown.
    QVERIFY2(r.boxes[0].text.startsWith(QStringLiteral("该端口已经被其他程序打开")),
             qPrintable(r.boxes[0].text));
    if (fast) {
        // Never left at 115200: open again at 9600, and the upgrade is over.
        QVERIFY(r.boxes[0].text.endsWith(QStringLiteral("，系统升级失败！")));
        QCOMPARE(r.w->session().Comm1->settings(), kNormalPortSettings);
        QVERIFY(r.w->session().Comm1->isOpen());
    } else {
        // The image is in; only the port is missing until it opens again.
        QCOMPARE(r.controller.state().firmware.completedTransfers, 1);
        port.openFailure.reset();
        r.w->StartRun_Click();
    }
    r.now += 3001;
    r.communicates();
}

void TestUpgrade::otherButtonsQueueNothing()
{
    SerialUpgrade<rig::FakeLine> r;
    clickUpgrade(*r.w, writeFile(r.dir, testImage(600)));
    const int queued = r.w->dispatcher().stack().top();
    QCOMPARE(queued, 4);
    r.w->systemInfoFeature->cmdGetSys_Click();
    QCOMPARE(r.w->dispatcher().stack().top(), queued);
    // A second click while the transfer runs starts nothing either.
    r.w->upgradeFeature->bt_Updata_Click();
    QCOMPARE(r.w->dispatcher().stack().top(), queued);
}

void TestUpgrade::lateReadReplyIsRoutedBySequence()
{
    NetworkUpgrade r;
    const QByteArray idleRead = r.tick(); // its reply is late
    clickUpgrade(*r.w, writeFile(r.dir, testImage(600)));
    const QByteArray start = r.tick();
    QCOMPARE(start.first(1), hex("0d"));

    r.answer(idleRead);
    // Taken as the DI/DO read it answers: not as the start's reply, nor as a dump.
    QCOMPARE(r.w->Text2->text(), QStringLiteral("读DI/DO状态成功"));
    QVERIFY(!r.w->session().Sleep_Timer->isActive());
    QVERIFY(r.boxes.isEmpty());
    r.answer(start);
    QCOMPARE(r.w->Text2->text(), QStringLiteral("开始升级"));
    QVERIFY(r.w->session().Sleep_Timer->isActive());
}

QTEST_MAIN(TestUpgrade)
#include "test_upgrade.moc"
