#include "features/zigbee/zigbee_advance_param.h"

#include "features/common/controls.h"
#include "features/common/number_box.h"

#include <QGridLayout>
#include <QHBoxLayout>

namespace kalmo {

namespace {

const QString kConfirmed = QStringLiteral("1");
const QString kNotConfirmed = QStringLiteral("0");

} // namespace

using namespace controls;

ZigbeeAdvanceParam::ZigbeeAdvanceParam(std::function<void(const QString &)> tell, QWidget *parent)
    : QDialog(parent), m_tell(std::move(tell))
{
    setObjectName(QStringLiteral("ZigbeeAdvanceParam"));
    setWindowTitle(QStringLiteral("Zigbee高级参数配置"));
    setModal(true);

    Text1 = lineEdit(this, QStringLiteral("Text1"), 6);
    Text2 = lineEdit(this, QStringLiteral("Text2"), 6);
    Text3 = lineEdit(this, QStringLiteral("Text3"), 6);
    Text4 = lineEdit(this, QStringLiteral("Text4"), 6);
    Text5 = lineEdit(this, QStringLiteral("Text5"));
    Text5->hide();
    Text5->setText(kNotConfirmed);
    Cmd_Ok = button(this, QStringLiteral("Cmd_Ok"), QStringLiteral("确定"));
    Cmd_Cancel = button(this, QStringLiteral("Cmd_Cancel"), QStringLiteral("取消"));
    Cmd_Ok->setDefault(true);

    const std::array<QLineEdit *, 4> all = boxes();
    for (int i = 0; i < int(all.size()); ++i)
        connect(all[std::size_t(i)], &QLineEdit::textChanged, this, [this, i] { Text_Change(i); });
    connect(Cmd_Ok, &QPushButton::clicked, this, &ZigbeeAdvanceParam::Cmd_Ok_Click);
    connect(Cmd_Cancel, &QPushButton::clicked, this, &ZigbeeAdvanceParam::Cmd_Cancel_Click);

    auto *grid = new QGridLayout;
    addRow(grid, 0, QStringLiteral("读时间间隔"), Text1);
    addRow(grid, 1, QStringLiteral("写时间间隔"), Text2);
    addRow(grid, 2, QStringLiteral("最大等待次数"), Text3);
    addRow(grid, 3, QStringLiteral("在线自检时间"), Text4);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Cmd_Ok);
    buttons->addWidget(Cmd_Cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
}

void ZigbeeAdvanceParam::load(const ZigbeeRecord &record)
{
    const std::array<quint16, 4> values{record.readInterval, record.writeInterval,
                                        record.maxWaitCount, record.selfCheckTime};
    const std::array<QLineEdit *, 4> all = boxes();
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i]->setText(QString::number(values[i]));
    // Every showing starts unconfirmed, so that closing it any other way
    // than with "确定" writes nothing.
    Text5->setText(kNotConfirmed);
}

bool ZigbeeAdvanceParam::confirmed() const
{
    return Text5->text() == kConfirmed;
}

std::array<quint16, 4> ZigbeeAdvanceParam::values() const
{
    std::array<quint16, 4> values{};
    const std::array<QLineEdit *, 4> all = boxes();
    for (std::size_t i = 0; i < all.size(); ++i)
        values[i] = quint16(wholeNumber(all[i]->text()).value_or(0) & 0xFFFF);
    return values;
}

// A box trims itself, turns empty into "0", and refuses anything but a
// number the block can hold.
void ZigbeeAdvanceParam::Text_Change(int box)
{
    QLineEdit *edit = boxes().at(std::size_t(box));
    const QString text = edit->text();
    const QString trimmed = text.trimmed();
    if (trimmed != text) {
        edit->setText(trimmed); // comes back here
        return;
    }
    if (trimmed.isEmpty()) {
        edit->setText(QStringLiteral("0"));
        return;
    }
    const std::optional<qint64> value = wholeNumber(trimmed);
    if (value && *value >= 0 && *value <= 0xFFFF) return;
    const bool interval = box < 2;
    m_tell(interval ? QStringLiteral("该数据不合法，请重新输入。该值至少为50")
                    : QStringLiteral("该数据不合法，请重新输入"));
    edit->setText(interval ? QString::number(kZigbeeMinInterval) : QStringLiteral("0"));
}

void ZigbeeAdvanceParam::Cmd_Ok_Click()
{
    const std::array<quint16, 4> v = values();
    if (const std::optional<QString> fault = zigbeeTimingFault(v[0], v[1], v[2], v[3])) {
        m_tell(*fault);
        return;
    }
    Text5->setText(kConfirmed);
    accept();
}

void ZigbeeAdvanceParam::Cmd_Cancel_Click()
{
    Text5->setText(kNotConfirmed);
    reject();
}

} // namespace kalmo
