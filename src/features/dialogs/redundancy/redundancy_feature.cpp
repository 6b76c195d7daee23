#include "features/dialogs/redundancy/redundancy_feature.h"

#include "core/error_log.h"
#include "protocol/command_codes.h"
#include "protocol/sys_param_block.h"

#include <limits>

namespace kalmo {

namespace {

constexpr char kReadLabel[] = "OnReadRongyu(Form_Rongyu)";
constexpr char kWriteLabel[] = "WriteRongyu(Form_Rongyu)";

// A set mask bit means the area is not backed up: its box unchecked.
template <std::size_t N> void showMask(const std::array<QCheckBox *, N> &boxes, quint32 mask)
{
    for (std::size_t i = 0; i < N; ++i)
        boxes[i]->setChecked(!(mask & (1u << i)));
}

// The boxes' bits over the bits no box shows.
template <std::size_t N> quint32 readMask(const std::array<QCheckBox *, N> &boxes, quint32 mask)
{
    for (std::size_t i = 0; i < N; ++i)
        mask = boxes[i]->isChecked() ? mask & ~(1u << i) : mask | (1u << i);
    return mask;
}

} // namespace

RedundancyFeature::RedundancyFeature(const FeatureContext &context, QWidget *owner, QObject *parent)
    : DialogFeature(context, parent), m_dialog(owner, [this](RedundancyDialog &d) {
          m_filled = false;
          connect(d.bt_readRongyu, &QPushButton::clicked, this,
                  &RedundancyFeature::bt_readRongyu_Click);
          connect(d.bt_writeRongyu, &QPushButton::clicked, this,
                  &RedundancyFeature::bt_writeRongyu_Click);
          connect(d.by_selAll, &QPushButton::clicked, this, &RedundancyFeature::by_selAll_Click);
          connect(d.bt_selNone, &QPushButton::clicked, this, &RedundancyFeature::bt_selNone_Click);
      })
{
    Session &s = session();
    s.registerBuilder(Builder::RedundancyWrite, [this](BuildContext &c) { return WriteRongyu(c); });
    s.handle(SerialReplyAction::Redundancy, [this](const Reply &r) { OnReadRongyu(r); });
    s.handle(NetworkReplyAction::Redundancy, [this](const Reply &r) { OnReadRongyu(r); });
}

void RedundancyFeature::bt_Rongyu_Click()
{
    push(serial_cmd::ReadRedundancy);
    m_dialog.show();
}

void RedundancyFeature::bt_readRongyu_Click()
{
    push(serial_cmd::ReadRedundancy);
}

void RedundancyFeature::bt_writeRongyu_Click()
{
    pushWrite(m_filled, serial_cmd::WriteRedundancy);
}

void RedundancyFeature::checkAllAreas(bool checked)
{
    RedundancyDialog &d = m_dialog.get();
    for (QCheckBox *box : d.ch_keepArea0)
        box->setChecked(checked);
    for (QCheckBox *box : d.ch_keepArea1)
        box->setChecked(checked);
}

// The whole block is checked before anything is shown.
void RedundancyFeature::OnReadRongyu(const Reply &reply)
{
    const qsizetype offset = qMin(reply.profile.dataOffset, reply.bytes.size());
    QString field;
    const std::optional<RedundancyRecord> record =
        decodeRedundancy(QByteArrayView(reply.bytes).sliced(offset), &field);
    if (!record) {
        appendErrorLog(QString::fromUtf8(kReadLabel), subscriptOutOfRangeText());
        window().setStatus(kFormatErrorText + field);
        return;
    }
    RedundancyDialog &d = m_dialog.get();
    d.ck_rongyu->setChecked(record->started != 0);
    d.cb_rongyuType->setCurrentIndex(record->type);
    d.cb_rongyuRole->setCurrentIndex(record->role);
    d.cb_rongyuLevel->setCurrentIndex(record->level);
    showMask(d.ch_keepArea0, record->maskA);
    showMask(d.ch_keepArea1, record->maskB);
    for (std::size_t k = 0; k < d.slaves.size(); ++k) {
        const RedundancySlave &slave = record->slaves[k];
        RedundancySlaveRow &row = d.slaves[k];
        const std::array<int, 5> choices = slave.choices();
        for (std::size_t c = 0; c < choices.size(); ++c)
            row.lists[c]->setCurrentIndex(choices[c]);
        row.txt_maxError->setText(QString::number(slave.maxErrors));
        row.txt_switchTime->setText(QString::number(slave.switchTime));
        row.txt_rongyuAddr->setText(QString::number(slave.address));
    }
    m_read = *record;
    m_filled = true;
}

BuildOutcome RedundancyFeature::WriteRongyu(BuildContext &context)
{
    const RedundancyDialog &d = m_dialog.get();
    RedundancyRecord record = m_read;
    // A started byte other than 0 and 1 stays as read while the box agrees.
    if (d.ck_rongyu->isChecked() != (record.started != 0))
        record.started = d.ck_rongyu->isChecked() ? 1 : 0;
    record.type = quint8(qMax(0, d.cb_rongyuType->currentIndex()));
    record.role = quint8(qMax(0, d.cb_rongyuRole->currentIndex()));
    record.level = quint8(qMax(0, d.cb_rongyuLevel->currentIndex()));
    record.maskA = readMask(d.ch_keepArea0, record.maskA);
    record.maskB = readMask(d.ch_keepArea1, record.maskB);

    for (std::size_t k = 0; k < d.slaves.size(); ++k) {
        const RedundancySlaveRow &row = d.slaves[k];
        RedundancySlave &slave = record.slaves[k];
        std::array<int, 5> choices{};
        for (std::size_t c = 0; c < choices.size(); ++c)
            choices[c] = qMax(0, row.lists[c]->currentIndex());
        slave.setChoices(choices);
        for (auto [box, value, label] :
             {std::tuple{row.txt_maxError, &slave.maxErrors, QStringLiteral("最大容错次数")},
              std::tuple{row.txt_switchTime, &slave.switchTime, QStringLiteral("切换时间")},
              std::tuple{row.txt_rongyuAddr, &slave.address, QStringLiteral("冗余系统通讯地址")}}) {
            const std::optional<qint64> number = panelInteger(box->text());
            if (!number || *number < std::numeric_limits<qint16>::min() ||
                *number > std::numeric_limits<qint16>::max())
                return BuildOutcome::formatError(QStringLiteral("%1号从设备").arg(k) + label,
                                                 QString::fromUtf8(kWriteLabel),
                                                 number ? overflowText() : typeMismatchText());
            *value = qint16(*number);
        }
    }
    const QByteArray block = encodeRedundancy(record);
    if (context.link == Link::Serial)
        context.frame.replace(3, block.size(), block);
    else
        context.send.writePayload = block;
    return BuildOutcome::built();
}

} // namespace kalmo
