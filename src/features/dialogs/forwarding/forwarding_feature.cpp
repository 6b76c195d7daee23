#include "features/dialogs/forwarding/forwarding_feature.h"

#include "core/error_log.h"
#include "protocol/command_codes.h"
#include "protocol/sys_param_block.h"

namespace kalmo {

namespace {

constexpr char kReadResendLabel[] = "OnReadResend(Form_Resend)";
constexpr char kWriteResendLabel[] = "WriteResend(Form_Resend)";
constexpr char kReadSlaveLabel[] = "OnReadSlave(Form_Resend_Slave)";
constexpr char kWriteSlaveLabel[] = "WriteSlave(Form_Resend_Slave)";
const QString kSideCaptions[2] = {QStringLiteral("源"), QStringLiteral("目的")};

// A box as a number in 0..max, or why it is not one.
std::optional<quint16> boxValue(const QLineEdit *box, int max, QString *description)
{
    const std::optional<qint64> number = panelInteger(box->text());
    if (number && *number >= 0 && *number <= max) return quint16(*number);
    *description = number ? overflowText() : typeMismatchText();
    return std::nullopt;
}

} // namespace

ForwardingFeature::ForwardingFeature(const FeatureContext &context, QWidget *owner, QObject *parent)
    : DialogFeature(context, parent),
      m_table(owner,
              [this](ForwardingDialog &d) {
                  m_tableFilled = false;
                  connect(d.bt_readResend, &QPushButton::clicked, this,
                          &ForwardingFeature::bt_readResend_Click);
                  connect(d.bt_writeResend, &QPushButton::clicked, this,
                          &ForwardingFeature::bt_writeResend_Click);
                  connect(d.bt_resendSlave, &QPushButton::clicked, this,
                          &ForwardingFeature::bt_resendSlave_Click);
              }),
      m_map(owner, [this](SlaveMapDialog &d) {
          m_mapFilled = false;
          connect(d.bt_readSlave, &QPushButton::clicked, this,
                  &ForwardingFeature::bt_readSlave_Click);
          connect(d.bt_writeSlave, &QPushButton::clicked, this,
                  &ForwardingFeature::bt_writeSlave_Click);
      })
{
    Session &s = session();
    s.registerBuilder(Builder::ForwardingWrite, [this](BuildContext &c) { return WriteResend(c); });
    s.registerBuilder(Builder::SlaveForwardingWrite,
                      [this](BuildContext &c) { return WriteSlave(c); });
    s.handle(SerialReplyAction::Forwarding, [this](const Reply &r) { OnReadResend(r); });
    s.handle(NetworkReplyAction::Forwarding, [this](const Reply &r) { OnReadResend(r); });
    s.handle(SerialReplyAction::SlaveForwarding, [this](const Reply &r) { OnReadSlave(r); });
    s.handle(NetworkReplyAction::SlaveForwarding, [this](const Reply &r) { OnReadSlave(r); });
}

void ForwardingFeature::bt_Resend_Click()
{
    push(serial_cmd::ReadForwarding);
    m_table.show();
}

void ForwardingFeature::bt_readResend_Click()
{
    push(serial_cmd::ReadForwarding);
}

void ForwardingFeature::bt_writeResend_Click()
{
    pushWrite(m_tableFilled, serial_cmd::WriteForwarding);
}

void ForwardingFeature::bt_resendSlave_Click()
{
    push(serial_cmd::ReadSlaveForwarding);
    m_map.show();
}

void ForwardingFeature::bt_readSlave_Click()
{
    push(serial_cmd::ReadSlaveForwarding);
}

void ForwardingFeature::bt_writeSlave_Click()
{
    pushWrite(m_mapFilled, serial_cmd::WriteSlaveForwarding);
}

// The whole table is checked before anything is shown; entries past the
// count keep their display.
void ForwardingFeature::OnReadResend(const Reply &reply)
{
    const qsizetype offset = qMin(reply.profile.dataOffset, reply.bytes.size());
    QString field;
    const std::optional<ForwardingTable> table =
        decodeForwarding(QByteArrayView(reply.bytes).sliced(offset), &field);
    if (!table) {
        appendErrorLog(QString::fromUtf8(kReadResendLabel), subscriptOutOfRangeText());
        window().setStatus(kFormatErrorText + field);
        return;
    }
    ForwardingDialog &d = m_table.get();
    d.cb_resendCount->setCurrentIndex(table->count);
    for (int i = 0; i < table->count; ++i) {
        const ForwardingEntry &entry = table->entries[std::size_t(i)];
        for (const auto &[end, controls] :
             {std::pair{&entry.source, &d.entries[std::size_t(i)][0]},
              std::pair{&entry.destination, &d.entries[std::size_t(i)][1]}}) {
            controls->protocol->setCurrentIndex(end->protocol);
            controls->interfaceList->setCurrentIndex(end->interfaceIndex);
            for (std::size_t k = 0; k < end->ip.size(); ++k)
                controls->ip[k]->setText(QString::number(end->ip[k]));
            controls->serial->setText(QString::number(end->ip[0]));
            controls->port->setText(QString::number(end->port));
        }
    }
    m_read = *table;
    m_tableFilled = true;
}

void ForwardingFeature::OnReadSlave(const Reply &reply)
{
    const qsizetype offset = qMin(reply.profile.dataOffset, reply.bytes.size());
    const std::optional<SlaveMap> map = decodeSlaveMap(QByteArrayView(reply.bytes).sliced(offset));
    if (!map) {
        appendErrorLog(QString::fromUtf8(kReadSlaveLabel), subscriptOutOfRangeText());
        window().setStatus(kFormatErrorText + QStringLiteral("从设备转发映射表"));
        return;
    }
    SlaveMapDialog &d = m_map.get();
    for (std::size_t i = 0; i < map->size(); ++i) {
        d.txt_start[i]->setText(QString::number((*map)[i].start));
        d.txt_end[i]->setText(QString::number((*map)[i].end));
    }
    m_mapFilled = true;
}

void ForwardingFeature::put(BuildContext &context, const QByteArray &block)
{
    if (context.link == Link::Serial) {
        context.frame.resize(kMinSerialFrameLength + block.size());
        context.frame.replace(3, block.size(), block);
    } else {
        context.send.writePayload = block;
    }
}

// The entries in use from the window, over the bytes last read.
BuildOutcome ForwardingFeature::WriteResend(BuildContext &context)
{
    // A window closed since the write was queued holds nothing read.
    if (!dialog() || !m_tableFilled)
        return BuildOutcome::formatError(QStringLiteral("转发配置"),
                                         QString::fromUtf8(kWriteResendLabel), kReadFirstText);
    const ForwardingDialog &d = *dialog();
    ForwardingTable table = m_read;
    table.count = qMax(0, d.cb_resendCount->currentIndex());
    for (int i = 0; i < table.count; ++i) {
        for (int side = 0; side < 2; ++side) {
            const ForwardingEndControls &controls = d.entries[std::size_t(i)][std::size_t(side)];
            ForwardingEntry &entry = table.entries[std::size_t(i)];
            ForwardingEnd &end = side == 0 ? entry.source : entry.destination;
            const QString label = forwardingEntryCaption(i) + kSideCaptions[side];
            QString description;
            const auto refuse = [&](const QString &column) {
                return BuildOutcome::formatError(label + column,
                                                 QString::fromUtf8(kWriteResendLabel), description);
            };
            end.protocol = quint8(qMax(0, controls.protocol->currentIndex()));
            end.interfaceIndex = quint8(qMax(0, controls.interfaceList->currentIndex()));
            for (std::size_t k = 0; k < end.ip.size(); ++k) {
                const std::optional<quint16> part = boxValue(controls.ip[k], 0xFF, &description);
                if (!part) return refuse(QStringLiteral("地址"));
                end.ip[k] = quint8(*part);
            }
            if (end.interfaceIndex != kEthernetInterface) {
                const std::optional<quint16> station =
                    boxValue(controls.serial, 0xFF, &description);
                if (!station) return refuse(QStringLiteral("地址"));
                end.ip[0] = quint8(*station);
            }
            const std::optional<quint16> port = boxValue(controls.port, 0xFFFF, &description);
            if (!port) return refuse(QStringLiteral("端口"));
            end.port = *port;
        }
    }
    put(context, encodeForwarding(table));
    return BuildOutcome::built();
}

BuildOutcome ForwardingFeature::WriteSlave(BuildContext &context)
{
    if (!slaveDialog() || !m_mapFilled)
        return BuildOutcome::formatError(QStringLiteral("从设备转发映射表"),
                                         QString::fromUtf8(kWriteSlaveLabel), kReadFirstText);
    const SlaveMapDialog &d = *slaveDialog();
    SlaveMap map;
    for (std::size_t i = 0; i < map.size(); ++i) {
        for (auto [box, value, column] :
             {std::tuple{d.txt_start[i], &map[i].start, QStringLiteral("起始地址")},
              std::tuple{d.txt_end[i], &map[i].end, QStringLiteral("结束地址")}}) {
            QString description;
            const std::optional<quint16> number = boxValue(box, 0xFFFF, &description);
            if (!number)
                return BuildOutcome::formatError(QStringLiteral("从设备%1").arg(i) + column,
                                                 QString::fromUtf8(kWriteSlaveLabel), description);
            *value = *number;
        }
    }
    put(context, encodeSlaveMap(map));
    return BuildOutcome::built();
}

} // namespace kalmo
