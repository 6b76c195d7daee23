#include "features/dialogs/sm/sm_feature.h"

#include "core/error_log.h"
#include "protocol/command_codes.h"
#include "protocol/sm_block.h"
#include "protocol/sys_param_block.h"

#include <limits>

namespace kalmo {

namespace {

constexpr char kReadLabel[] = "OnReadSM(Form_SM)";
constexpr char kWriteLabel[] = "WriteSM(Form_SM)";
const QString kAreaLabel = QStringLiteral("SM区");

} // namespace

SmFeature::SmFeature(const FeatureContext &context, QWidget *owner, QObject *parent)
    : DialogFeature(context, parent), m_dialog(owner, [this](SmDialog &d) {
          m_filled = false;
          connect(d.bt_readSM, &QPushButton::clicked, this, &SmFeature::bt_readSM_Click);
          connect(d.bt_writeSM, &QPushButton::clicked, this, &SmFeature::bt_writeSM_Click);
          connect(d.btClear, &QPushButton::clicked, this, &SmFeature::btClear_Click);
      })
{
    Session &s = session();
    s.registerBuilder(Builder::SmWrite, [this](BuildContext &c) { return WriteSM(c); });
    s.handle(SerialReplyAction::SmArea, [this](const Reply &r) { OnReadSM(r); });
    s.handle(NetworkReplyAction::SmArea, [this](const Reply &r) { OnReadSM(r); });
}

void SmFeature::bt_SM_Click()
{
    push(serial_cmd::ReadSm);
    m_dialog.show();
}

void SmFeature::bt_readSM_Click()
{
    push(serial_cmd::ReadSm);
}

void SmFeature::bt_writeSM_Click()
{
    pushWrite(m_filled, serial_cmd::WriteSm);
}

void SmFeature::btClear_Click()
{
    for (QLineEdit *box : m_dialog.get().txt_sm)
        box->setText(QStringLiteral("0"));
    m_filled = true;
}

// A reply for a window not made yet makes it, hidden: it shows what was read
// once opened. A short reply changes nothing.
void SmFeature::OnReadSM(const Reply &reply)
{
    const std::optional<SmValues> values = decodeSmBlock(
        QByteArrayView(reply.bytes).sliced(qMin(reply.profile.dataOffset, reply.bytes.size())));
    if (!values) {
        appendErrorLog(QString::fromUtf8(kReadLabel), subscriptOutOfRangeText());
        window().setStatus(kFormatErrorText + kAreaLabel);
        return;
    }
    SmDialog &dialog = m_dialog.get();
    for (std::size_t i = 0; i < values->size(); ++i)
        dialog.txt_sm[i]->setText(QString::number((*values)[i]));
    m_filled = true;
}

BuildOutcome SmFeature::WriteSM(BuildContext &context)
{
    SmValues values{};
    const SmDialog &dialog = m_dialog.get();
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::optional<qint64> value = panelInteger(dialog.txt_sm[i]->text());
        if (!value || *value < std::numeric_limits<qint32>::min() ||
            *value > std::numeric_limits<qint32>::max())
            return BuildOutcome::formatError(smLabel(int(i)), QString::fromUtf8(kWriteLabel),
                                             value ? overflowText() : typeMismatchText());
        values[i] = qint32(*value);
    }
    const QByteArray block = encodeSmBlock(values);
    if (context.link == Link::Serial)
        context.frame.replace(3, block.size(), block);
    else
        context.send.writePayload = block;
    return BuildOutcome::built();
}

} // namespace kalmo
