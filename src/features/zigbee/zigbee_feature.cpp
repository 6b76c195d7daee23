#include "features/zigbee/zigbee_feature.h"

#include "core/error_log.h"
#include "features/common/number_box.h"
#include "protocol/command_codes.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace kalmo {

namespace {

constexpr char kReadLabel[] = "Cmd_ReadzParam_Click(Form1)";
constexpr char kWriteLabel[] = "Cmd_WritezParam_Click(Form1)";
constexpr char kTestLabel[] = "Cmd_TestZigbee_Click(Form1)";
constexpr char kAdvanceLabel[] = "Cmd_Advance_Click(Form1)";
constexpr char kChainAddrLabel[] = "Text_ChainAddr_Change(Form1)";
constexpr char kDistributeLabel[] = "DistributeZigbee(Form1)";

const QString kMessagePrefix = QStringLiteral("zigbee参数中的");
const QString kReadFirstText = QStringLiteral("请先读取参数");
const QString kChainAddrErrorText = QStringLiteral("输入地址错，请重新输入");
const QString kNoChannelText = QStringLiteral("通道使能,请至少选择一个通道!");

// The MAC and EXPANID rows of the write: their boxes, where their bytes go,
// and the ends of their messages.
struct AddressRow
{
    const std::array<QLineEdit *, 8> &boxes;
    std::array<quint8, 8> &bytes;
    QString badBoxText; // after the box number
    QString allZeroText;
};

} // namespace

ZigbeeFeature::ZigbeeFeature(const FeatureContext &context, QObject *parent)
    : Feature(context, parent), m_panel(new ZigbeePanel)
{
    ZigbeePanel *p = m_panel;
    connect(p->Text_DNO, &QLineEdit::textChanged, this, &ZigbeeFeature::Text_DNO_Change);
    connect(p->Text_ChainAddr, &QLineEdit::textChanged, this,
            &ZigbeeFeature::Text_ChainAddr_Change);
    connect(p->Cmd_ReadzParam, &QPushButton::clicked, this, &ZigbeeFeature::Cmd_ReadzParam_Click);
    connect(p->Cmd_WritezParam, &QPushButton::clicked, this, &ZigbeeFeature::Cmd_WritezParam_Click);
    connect(p->Cmd_TestZigbee, &QPushButton::clicked, this, &ZigbeeFeature::Cmd_TestZigbee_Click);
    connect(p->Cmd_Advance, &QPushButton::clicked, this, &ZigbeeFeature::Cmd_Advance_Click);

    Session &s = session();
    s.registerBuilder(Builder::ZigbeeWrite,
                      [this](BuildContext &c) { return buildZigbeeWrite(c); });
    const auto zigbeeBlock = [this](const Reply &r) {
        takeZigbeeBlock(splitZigbeeBlock(r.bytes, r.profile.dataOffset));
    };
    s.handle(SerialReplyAction::Zigbee, zigbeeBlock);
    s.handle(NetworkReplyAction::Zigbee, zigbeeBlock);
    s.handle(SerialReplyAction::ZigbeeTest,
             [this](const Reply &r) { window().setStatus(zigbeeTestText(r.data(0))); });
}

ZigbeeFeature::~ZigbeeFeature() = default;

void ZigbeeFeature::onConnection(ConnectionEvent event)
{
    switch (event) {
    case ConnectionEvent::SerialChosen:
        m_panel->Cmd_TestZigbee->show();
        break;
    case ConnectionEvent::NetworkChosen:
        m_panel->Cmd_TestZigbee->hide();
        break;
    case ConnectionEvent::Stopped:
    case ConnectionEvent::DeviceChosen:
        // Another device's block is never written to this one: the next read
        // fills the record and enables the controls again.
        enableControls(false);
        zigbeeRecord = {};
        break;
    default:
        break;
    }
}

// The controls a Zigbee block fills; the chain address box is always open.
void ZigbeeFeature::enableControls(bool enabled)
{
    ZigbeePanel &p = *m_panel;
    for (QWidget *w : std::initializer_list<QWidget *>{
             p.Combo_zlogic, p.Combo_Nettype, p.Text_DNO, p.Zigbee_Enable, p.Cmd_ReadzParam,
             p.Cmd_WritezParam, p.Cmd_TestZigbee, p.Cmd_Advance})
        w->setEnabled(enabled);
    for (const auto &boxes : {p.txt_AC, p.txt_EXPAN})
        for (QLineEdit *box : boxes)
            box->setEnabled(enabled);
    for (QCheckBox *box : p.Check1)
        box->setEnabled(enabled);
}

void ZigbeeFeature::tell(const QString &text) const
{
    window().showBox({QMessageBox::NoIcon, QApplication::applicationDisplayName(), text});
}

// ---- Read, test ----------------------------------------------------------------

void ZigbeeFeature::Cmd_ReadzParam_Click()
{
    runLogged(kReadLabel, [&] {
        switch (window().chosenLink()) {
        case Link::Serial:
            session().dispatcher().stack().push(serial_cmd::ReadZigbee);
            break;
        case Link::Network:
            session().dispatcher().stack().push(network_cmd::ReadZigbee);
            break;
        case Link::None:
            break;
        }
    });
}

void ZigbeeFeature::Cmd_TestZigbee_Click()
{
    // The network has no link test.
    runLogged(kTestLabel, [&] {
        if (window().chosenLink() == Link::Serial)
            session().dispatcher().stack().push(serial_cmd::TestZigbee);
    });
}

void ZigbeeFeature::takeZigbeeBlock(const ZigbeeRecord &block)
{
    // Checked whole before anything is shown: a list index or enable value
    // outside what the controls show changes nothing.
    const struct
    {
        int value;
        int limit;
        const char *label;
    } fields[] = {
        {block.deviceLogic, m_panel->Combo_zlogic->count(), "设备逻辑"},
        {block.networkType, m_panel->Combo_Nettype->count(), "网络类型"},
        {block.enabled, 2, "zigbee使能"},
    };
    for (const auto &field : fields) {
        if (field.value < field.limit) continue;
        appendErrorLog(QString::fromUtf8(kDistributeLabel), QStringLiteral("无效属性值"));
        window().setStatus(kFormatErrorText + QString::fromUtf8(field.label));
        return;
    }
    zigbeeRecord = block;
    DistributeZigbee();
}

void ZigbeeFeature::DistributeZigbee()
{
    const ZigbeeRecord z = zigbeeRecord; // the boxes' change handlers store into the record
    ZigbeePanel &p = *m_panel;
    p.Combo_zlogic->setCurrentIndex(z.deviceLogic);
    p.Combo_Nettype->setCurrentIndex(z.networkType);
    p.Text_DNO->setText(QString::number(z.deviceNumber));
    for (std::size_t i = 0; i < 8; ++i) {
        p.txt_AC[i]->setText(zigbeeHexText(z.mac[i]));
        p.txt_EXPAN[i]->setText(zigbeeHexText(z.extendedPanId[i]));
    }
    for (int k = 0; k < kZigbeeChannelCount; ++k)
        p.Check1[std::size_t(k)]->setChecked(zigbeeChannelOn(z.channelMask, k));
    p.Zigbee_Enable->setChecked(z.enabled != 0);
    p.Text_ChainAddr->setText(QString::number(z.chainAddress));

    enableControls(true);
}

// ---- Write -----------------------------------------------------------------------

void ZigbeeFeature::Cmd_WritezParam_Click()
{
    runLogged(kWriteLabel, [&] {
        ZigbeePanel &p = *m_panel;
        ZigbeeRecord z = zigbeeRecord;

        // A record no read has filled, or a list without a choice, is never
        // sent: the device would get list byte FF or intervals it cannot
        // work with.
        if (const auto fault = zigbeeTimingFault(z.readInterval, z.writeInterval, z.maxWaitCount,
                                                 z.selfCheckTime)) {
            tell(*fault);
            return;
        }
        for (QComboBox *list : {p.Combo_zlogic, p.Combo_Nettype}) {
            if (list->currentIndex() >= 0) continue;
            list->setFocus();
            tell(kReadFirstText);
            return;
        }

        z.deviceLogic = quint8(p.Combo_zlogic->currentIndex());
        z.networkType = quint8(p.Combo_Nettype->currentIndex());
        const std::optional<qint64> number = wholeNumber(p.Text_DNO->text());
        if (!number) {
            window().refuseField(p.Text_DNO->objectName(), QStringLiteral("设备编号"),
                                 QString::fromUtf8(kWriteLabel), typeMismatchText());
            return;
        }
        z.deviceNumber = quint16(*number & 0xFFFF);

        quint16 channels = 0;
        for (int k = 0; k < kZigbeeChannelCount; ++k)
            if (p.Check1[std::size_t(k)]->isChecked()) channels |= quint16(1u << k);
        z.channelMask = withZigbeeChannels(z.channelMask, channels);

        const AddressRow rows[] = {
            {p.txt_AC, z.mac, QStringLiteral("号Mac地址书写错误"),
             QStringLiteral("MAC地址不能全为0")},
            {p.txt_EXPAN, z.extendedPanId, QStringLiteral("号EXPANID地址书写错误"),
             QStringLiteral("EXPANID地址不能全为0")},
        };
        for (const AddressRow &row : rows) {
            for (std::size_t i = 0; i < row.boxes.size(); ++i) {
                // A value above FF is as wrong as a bad character.
                const std::optional<quint8> value = zigbeeHexByte(row.boxes[i]->text());
                if (!value) {
                    row.boxes[i]->setFocus();
                    row.boxes[i]->selectAll();
                    tell(kMessagePrefix + numberText(qint64(i)) + row.badBoxText);
                    return;
                }
                row.bytes[i] = *value;
            }
        }
        for (const AddressRow &row : rows) {
            if (std::any_of(row.bytes.begin(), row.bytes.end(), [](quint8 b) { return b != 0; }))
                continue;
            tell(kMessagePrefix + row.allZeroText);
            return;
        }

        z.enabled = p.Zigbee_Enable->isChecked() ? 1 : 0;
        if (z.enabled && channels == 0) {
            tell(kNoChannelText);
            return;
        }

        zigbeeRecord = z;
        switch (window().chosenLink()) {
        case Link::Serial:
            session().dispatcher().stack().push(serial_cmd::WriteZigbee);
            break;
        case Link::Network:
            session().dispatcher().stack().push(network_cmd::WriteZigbee);
            break;
        case Link::None:
            break;
        }
    });
}

BuildOutcome ZigbeeFeature::buildZigbeeWrite(BuildContext &context) const
{
    const QByteArray block = zigbeeBlockBytes(zigbeeRecord);
    if (context.link == Link::Serial) {
        byteAt(context.frame, kZigbeeSerialOffset + kZigbeeBlockLength - 1); // the row's 41 bytes
        context.frame.replace(kZigbeeSerialOffset, kZigbeeBlockLength, block);
    } else {
        context.send.writePayload =
            block + QByteArray(kZigbeeNetworkPayloadLength - kZigbeeBlockLength, '\0');
    }
    return BuildOutcome::built();
}

// ---- Boxes ---------------------------------------------------------------------------

void ZigbeeFeature::Text_DNO_Change()
{
    normaliseNumberBox(m_panel->Text_DNO, [](const QString &text) {
        if (text.isEmpty()) return text;
        return QString::number(integerValue(text) & 0xFFFF);
    });
}

// The chain address goes into the record as it is typed.
void ZigbeeFeature::Text_ChainAddr_Change()
{
    QLineEdit *box = m_panel->Text_ChainAddr;
    const QString text = box->text();
    if (text.isEmpty()) {
        box->setText(QStringLiteral("0")); // comes back here
        return;
    }
    const std::optional<qint64> value = wholeNumber(text);
    if (!value) {
        box->setText(QStringLiteral("0"));
        window().refuseField(box->objectName(), QStringLiteral("链中地址"),
                             QString::fromUtf8(kChainAddrLabel), typeMismatchText());
        return;
    }
    if (*value < 0 || *value > 255) {
        tell(kChainAddrErrorText);
        box->setText(QStringLiteral("0"));
        return;
    }
    zigbeeRecord.chainAddress = quint8(*value);
}

// ---- Advanced parameters ------------------------------------------------------------

ZigbeeAdvanceParam &ZigbeeFeature::advanceDialog()
{
    if (!m_advance)
        m_advance =
            std::make_unique<ZigbeeAdvanceParam>([this](const QString &text) { tell(text); });
    return *m_advance;
}

void ZigbeeFeature::Cmd_Advance_Click()
{
    runLogged(kAdvanceLabel, [&] {
        ZigbeeAdvanceParam &dialog = advanceDialog();
        dialog.load(zigbeeRecord);
        dialog.exec();
        if (!dialog.confirmed()) return;
        const std::array<quint16, 4> v = dialog.values();
        zigbeeRecord.readInterval = v[0];
        zigbeeRecord.writeInterval = v[1];
        zigbeeRecord.maxWaitCount = v[2];
        zigbeeRecord.selfCheckTime = v[3];
        Cmd_WritezParam_Click();
    });
}

} // namespace kalmo
