#include "features/network_identity/network_identity_feature.h"

#include "core/error_log.h"
#include "protocol/command_codes.h"
#include "protocol/frames.h"
#include "protocol/sys_param_block.h"
#include "protocol/system_panel.h"

#include <QApplication>

namespace kalmo {

namespace {

constexpr char kMacWriteLabel[] = "bt_MAC_Click(Form1)";
constexpr char kGatewayWriteLabel[] = "bt_NetGate_Click(Form1)";
const QString kMacBoxErrorText = QStringLiteral("号地址书写错误");

} // namespace

NetworkIdentityFeature::NetworkIdentityFeature(const FeatureContext &context, QObject *parent)
    : Feature(context, parent), m_panel(new NetworkIdentityPanel)
{
    connect(m_panel->bt_MAC, &QPushButton::clicked, this, &NetworkIdentityFeature::bt_MAC_Click);
    connect(m_panel->bt_NetGate, &QPushButton::clicked, this,
            &NetworkIdentityFeature::bt_NetGate_Click);
    for (int i = 0; i < 2; ++i)
        connect(m_panel->ophandornot[std::size_t(i)], &QRadioButton::clicked, this,
                [this, i] { ophandornot_Click(i); });

    Session &s = session();
    s.registerBuilder(Builder::MacWrite, [this](BuildContext &c) { return buildMacWrite(c); });
    s.registerBuilder(Builder::GatewayWrite,
                      [this](BuildContext &c) { return buildGatewayWrite(c); });
    s.handle(SerialReplyAction::DistributeMAC, [this](const Reply &r) { DistributeMAC(r); });
    s.handle(NetworkReplyAction::DistributeMAC, [this](const Reply &r) { DistributeMAC(r); });
    s.handle(SerialReplyAction::DistributeGateway,
             [this](const Reply &r) { DistributeGateway(r); });
    s.handle(NetworkReplyAction::DistributeGateway,
             [this](const Reply &r) { DistributeGateway(r); });

    requests().writeMac = [this] { bt_MAC_Click(); };
    requests().systemBlockArriving.listen([this] { systemBlockArriving(); });
    requests().systemInformationShowing.listen([this] { systemInformationShowing(); });
    requests().collectImage.listen([this](ImageRecord &record) {
        for (std::size_t i = 0; i < record.mac.size(); ++i)
            record.mac[i] = m_panel->txt_MAC[i]->text();
    });
    requests().imageValue.listen([this](const ImageItemTarget &target, const QString &value) {
        if (target.field == ImageField::MacByte) {
            m_panel->txt_MAC.at(std::size_t(target.index))->setText(value);
        } else if (target.field == ImageField::WholeMac) {
            const auto parts = splitImageMac(value);
            if (!parts) throw ProcedureError(QStringLiteral("无效属性值"));
            for (std::size_t i = 0; i < m_panel->txt_MAC.size(); ++i)
                m_panel->txt_MAC[i]->setText((*parts)[i]);
        }
    });
}

void NetworkIdentityFeature::onConnection(ConnectionEvent event)
{
    switch (event) {
    case ConnectionEvent::Stopped:
    case ConnectionEvent::DeviceChosen:
        m_macToWrite.reset();
        for (QLineEdit *box : m_panel->txt_MAC)
            box->clear();
        break;
    default:
        break;
    }
}

void NetworkIdentityFeature::ophandornot_Click(int index)
{
    // Manual mode lets the six boxes be typed into; automatic mode fills them.
    for (QLineEdit *box : m_panel->txt_MAC)
        box->setEnabled(index == 0);
}

void NetworkIdentityFeature::bt_MAC_Click()
{
    runLogged(kMacWriteLabel, [&] {
        const auto &boxes = m_panel->txt_MAC;
        const QDate date = requests().productionDate();

        if (m_panel->ophandornot[1]->isChecked()) {
            const auto mac =
                automaticMacAddress(session().sysParam.DeviceType, date, requests().seriesText());
            if (!mac) {
                window().refuseField(QStringLiteral("txtSeries"), QStringLiteral("序列号"),
                                     QString::fromUtf8(kMacWriteLabel), typeMismatchText());
                return;
            }
            for (std::size_t i = 0; i < boxes.size(); ++i)
                boxes[i]->setText((*mac)[i]);
        }

        QByteArray mac;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            if (const std::optional<quint8> value = macBoxValue(boxes[i]->text())) {
                mac.append(char(*value));
                continue;
            }
            boxes[i]->setFocus();
            boxes[i]->selectAll();
            window().showBox({QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                              numberText(qint64(i)) + kMacBoxErrorText});
            return;
        }
        if (window().chosenLink() != Link::None) m_macToWrite = mac;

        switch (window().chosenLink()) {
        case Link::Serial:
            session().dispatcher().stack().push(serial_cmd::WriteMac);
            break;
        case Link::Network:
            session().dispatcher().stack().push(network_cmd::WriteMac);
            break;
        case Link::None:
            break;
        }
    });
}

void NetworkIdentityFeature::bt_NetGate_Click()
{
    if (window().chosenLink() == Link::None) return;
    // The same code on both links.
    session().dispatcher().stack().push(serial_cmd::WriteGateway);
}

// Gateway then subnet mask, one decimal byte per dotted part.
BuildOutcome NetworkIdentityFeature::buildGatewayWrite(BuildContext &context)
{
    QByteArray block;
    const auto collect = [&](const std::array<QLineEdit *, 4> &boxes, const QString &label) {
        for (QLineEdit *box : boxes) {
            const std::optional<qint64> value = panelInteger(box->text());
            if (!value || *value < 0 || *value > 0xFF) {
                const QString description = value ? overflowText() : typeMismatchText();
                return std::optional(BuildOutcome::formatError(
                    label, QString::fromUtf8(kGatewayWriteLabel), description));
            }
            block.append(char(*value));
        }
        return std::optional<BuildOutcome>();
    };
    if (auto refused = collect(m_panel->txtGate, QStringLiteral("网关"))) return *refused;
    if (auto refused = collect(m_panel->txtSubNet, QStringLiteral("子网掩码"))) return *refused;

    if (context.link == Link::Serial)
        context.frame.replace(3, block.size(), block);
    else
        context.send.writePayload = block;
    return BuildOutcome::built();
}

BuildOutcome NetworkIdentityFeature::buildMacWrite(BuildContext &context)
{
    QByteArray mac = m_macToWrite.value_or(QByteArray());
    m_macToWrite.reset();
    if (mac.isEmpty())
        for (QLineEdit *box : m_panel->txt_MAC) {
            const std::optional<quint8> value = macBoxValue(box->text());
            if (!value)
                return BuildOutcome::formatError(QStringLiteral("MAC地址"),
                                                 QString::fromUtf8(kMacWriteLabel),
                                                 typeMismatchText());
            mac.append(char(*value));
        }
    if (context.link == Link::Serial)
        for (qsizetype i = 0; i < mac.size(); ++i)
            setByteAt(context.frame, 3 + i, quint8(mac[i]));
    else
        context.send.writePayload = mac;
    return BuildOutcome::built();
}

void NetworkIdentityFeature::DistributeMAC(const Reply &reply)
{
    for (std::size_t i = 0; i < m_panel->txt_MAC.size(); ++i)
        m_panel->txt_MAC[i]->setText(
            QStringLiteral("%1").arg(reply.data(qsizetype(i)), 2, 16, QLatin1Char('0')).toUpper());
}

void NetworkIdentityFeature::DistributeGateway(const Reply &reply)
{
    for (std::size_t i = 0; i < 4; ++i)
        m_panel->txtGate[i]->setText(QString::number(reply.data(qsizetype(i))));
    for (std::size_t i = 0; i < 4; ++i)
        m_panel->txtSubNet[i]->setText(QString::number(reply.data(4 + qsizetype(i))));
}

// The block decides the MAC mode: until it is shown the boxes are greyed.
void NetworkIdentityFeature::systemBlockArriving()
{
    static const QColor greyedBox(224, 224, 224);
    for (QLineEdit *box : m_panel->txt_MAC) {
        box->setEnabled(false);
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base, greyedBox);
        box->setPalette(palette);
    }
}

void NetworkIdentityFeature::systemInformationShowing()
{
    for (QRadioButton *mode : m_panel->ophandornot)
        mode->setEnabled(true);
    m_panel->ophandornot[1]->setChecked(true);
    ophandornot_Click(1);
    m_panel->bt_MAC->setEnabled(true);
}

} // namespace kalmo
