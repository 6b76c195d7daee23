#include "features/dialogs/control/control_feature.h"

#include "core/error_log.h"
#include "protocol/command_codes.h"
#include "protocol/control_block.h"
#include "protocol/sys_param_block.h"

namespace kalmo {

namespace {

constexpr char kReadLabel[] = "OnReadCtrl(Form_Ctrl)";
constexpr char kWriteLabel[] = "WriteCtrl(Form_Ctrl)";

} // namespace

ControlFeature::ControlFeature(const FeatureContext &context, QWidget *owner, QObject *parent)
    : DialogFeature(context, parent), m_dialog(owner, [this](ControlDialog &d) {
          m_filled = false;
          connect(d.bt_readCtrl, &QPushButton::clicked, this, &ControlFeature::bt_readCtrl_Click);
          connect(d.bt_writeCtrl, &QPushButton::clicked, this, &ControlFeature::bt_writeCtrl_Click);
      })
{
    Session &s = session();
    s.registerBuilder(Builder::ControlWrite, [this](BuildContext &c) { return WriteCtrl(c); });
    s.handle(SerialReplyAction::ControlParameters, [this](const Reply &r) { OnReadCtrl(r); });
    s.handle(NetworkReplyAction::ControlParameters, [this](const Reply &r) { OnReadCtrl(r); });
}

void ControlFeature::bt_Ctrl_Click()
{
    push(serial_cmd::ReadControl);
    m_dialog.show();
}

void ControlFeature::bt_readCtrl_Click()
{
    push(serial_cmd::ReadControl);
}

void ControlFeature::bt_writeCtrl_Click()
{
    pushWrite(m_filled, serial_cmd::WriteControl);
}

// The whole block is checked before anything is shown.
void ControlFeature::OnReadCtrl(const Reply &reply)
{
    const QByteArrayView data =
        QByteArrayView(reply.bytes).sliced(qMin(reply.profile.dataOffset, reply.bytes.size()));
    if (const std::optional<QString> fault = controlBlockFault(data)) {
        appendErrorLog(QString::fromUtf8(kReadLabel), subscriptOutOfRangeText());
        window().setStatus(kFormatErrorText + *fault);
        return;
    }
    const QByteArray block = data.first(kControlLength).toByteArray();
    ControlDialog &d = m_dialog.get();
    for (const ControlList &list : controlLists())
        d.lists.value(list.name)->setCurrentIndex(listIndexAt(block, list));
    for (const ControlNumber &field : controlNumbers())
        d.boxes.value(field.name)->setText(QString::number(numberAt(block, field)));
    for (const ControlHex &field : controlHexFields())
        d.boxes.value(field.name)
            ->setText(
                QString::fromLatin1(block.sliced(field.offset, field.length).toHex().toUpper()));
    for (const ControlBit &bit : controlBits())
        d.checks.value(bit.name)->setChecked(quint8(block[bit.offset]) & (1u << bit.bit));
    m_read = block;
    m_filled = true;
}

BuildOutcome ControlFeature::WriteCtrl(BuildContext &context)
{
    const ControlDialog &d = m_dialog.get();
    // Before any read every byte no control shows is 0.
    QByteArray block = m_filled ? m_read : QByteArray(kControlLength, '\0');
    for (const ControlList &list : controlLists())
        setListIndexAt(block, list, qMax(0, d.lists.value(list.name)->currentIndex()));
    for (const ControlNumber &field : controlNumbers()) {
        const std::optional<qint64> value = panelInteger(d.boxes.value(field.name)->text());
        if (!value || !numberFits(field, *value))
            return BuildOutcome::formatError(field.label, QString::fromUtf8(kWriteLabel),
                                             value ? overflowText() : typeMismatchText());
        setNumberAt(block, field, *value);
    }
    for (const ControlBit &bit : controlBits()) {
        const auto mask = quint8(1u << bit.bit);
        const auto byte = quint8(block[bit.offset]);
        block[bit.offset] =
            char(d.checks.value(bit.name)->isChecked() ? byte | mask : byte & ~mask);
    }
    if (context.link == Link::Serial)
        context.frame.replace(3, block.size(), block);
    else
        context.send.writePayload = block;
    return BuildOutcome::built();
}

} // namespace kalmo
