// Cutting a firmware image into 512-byte packets: padding of the last packet,
// the packet count, and the images that are refused.
#include "protocol/upgrade_package.h"

#include <QTest>

using namespace kalmo;

Q_DECLARE_METATYPE(kalmo::UpgradeRefusal)

namespace {

QByteArray run(int length, char value)
{
    return QByteArray(length, value);
}

const QByteArray pad511 = run(511, '\xFF');

} // namespace

class TestUpgradePackage : public QObject
{
    Q_OBJECT

private slots:
    void cut_data();
    void cut();
    void largestImage();
    void refused_data();
    void refused();
};

void TestUpgradePackage::cut_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<QByteArrayList>("packets");
    QTest::newRow("1 byte") << QByteArray("\xA5") << QByteArrayList{"\xA5" + pad511};
    QTest::newRow("512 bytes") << run(512, 0x11) << QByteArrayList{run(512, 0x11)};
    QTest::newRow("513 bytes") << run(512, 0x11) + "\x22"
                               << QByteArrayList{run(512, 0x11), "\x22" + pad511};
    QTest::newRow("1024 bytes") << run(512, 0x11) + run(512, 0x22)
                                << QByteArrayList{run(512, 0x11), run(512, 0x22)};
    QTest::newRow("1025 bytes") << run(512, 0x11) + run(512, 0x22) + "\x33"
                                << QByteArrayList{run(512, 0x11), run(512, 0x22), "\x33" + pad511};
    QTest::newRow("pad bytes inside the image kept")
        << run(510, '\xFF') + QByteArray::fromHex("0001FF00")
        << QByteArrayList{run(510, '\xFF') + QByteArray::fromHex("0001"),
                          QByteArray::fromHex("FF00") + run(510, '\xFF')};
}

void TestUpgradePackage::cut()
{
    QFETCH(QByteArray, image);
    QFETCH(QByteArrayList, packets);
    const UpgradePackage package = SetBin(image);
    QVERIFY(package.accepted());
    QCOMPARE(package.UpgradePackets, packets);
    QCOMPARE(package.UpgradePacketCount, qint16(packets.size()));
}

void TestUpgradePackage::largestImage()
{
    // 9998 packets, each filled with its own number's low byte.
    QByteArray image;
    image.reserve(9998 * 512);
    for (int i = 0; i < 9998; ++i)
        image.append(run(512, char(i)));
    const UpgradePackage package = SetBin(image);
    QVERIFY(package.accepted());
    QCOMPARE(package.UpgradePacketCount, qint16(9998));
    QCOMPARE(package.UpgradePackets.size(), 9998);
    QCOMPARE(package.UpgradePackets.first(), run(512, 0x00));
    QCOMPARE(package.UpgradePackets.at(300), run(512, 0x2C)); // 300 = 0x12C
    QCOMPARE(package.UpgradePackets.last(), run(512, 0x0D));  // 9997 = 0x270D
}

void TestUpgradePackage::refused_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<UpgradeRefusal>("refusal");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << 0 << UpgradeRefusal::Empty
                           << QStringLiteral("文件已损坏，读取失败: D:/fw/main.BIN");
    QTest::newRow("9998 packets and 1 byte")
        << 5118977 << UpgradeRefusal::TooLarge
        << QStringLiteral("升级文件过大，最多9998包（5118976字节），无法升级: D:/fw/main.BIN");
}

void TestUpgradePackage::refused()
{
    QFETCH(int, length);
    QFETCH(UpgradeRefusal, refusal);
    QFETCH(QString, text);
    const UpgradePackage package = SetBin(run(length, 0x5A));
    QVERIFY(!package.accepted());
    QCOMPARE(package.refusal, refusal);
    QVERIFY(package.UpgradePackets.isEmpty());
    QCOMPARE(package.UpgradePacketCount, qint16(0));
    QCOMPARE(upgradeRefusalText(package.refusal, QStringLiteral("D:/fw/main.BIN")), text);
}

QTEST_APPLESS_MAIN(TestUpgradePackage)
#include "test_upgrade_package.moc"
