#include "features/dialogs/forwarding/forwarding_dialog.h"

#include "features/common/controls.h"
#include "protocol/forwarding_block.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>

namespace kalmo {

using namespace controls;

namespace {

constexpr int kFrameColumns = 2;

QComboBox *list(QWidget *parent, const QString &name, const QStringList &items)
{
    QComboBox *box = comboBox(parent, name);
    box->addItems(items);
    box->setCurrentIndex(0);
    return box;
}

QLineEdit *zeroBox(QWidget *parent, const QString &name, int chars)
{
    QLineEdit *box = lineEdit(parent, name, chars);
    box->setText(QStringLiteral("0"));
    return box;
}

} // namespace

ForwardingDialog::ForwardingDialog(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form_Resend"));
    setWindowTitle(QStringLiteral("转发配置"));

    cb_resendCount = comboBox(this, QStringLiteral("cb_resendCount"), 3);
    for (int n = 0; n <= kForwardingEntries; ++n)
        cb_resendCount->addItem(QString::number(n));
    auto *countRow = new QHBoxLayout;
    countRow->addWidget(caption(QStringLiteral("转发数目"), cb_resendCount));
    countRow->addWidget(cb_resendCount);
    countRow->addStretch();

    auto *body = new QWidget;
    auto *frames = new QGridLayout(body);
    const char *const sideLetters[2] = {"S", "D"};
    const QString sideCaptions[2] = {QStringLiteral("源"), QStringLiteral("目的")};
    for (int i = 0; i < kForwardingEntries; ++i) {
        auto *entryFrame =
            frame(body, indexedName(QStringLiteral("resendFrame"), i), forwardingEntryCaption(i));
        auto *grid = new QGridLayout(entryFrame);
        grid->setVerticalSpacing(2);
        const QStringList headers = {QStringLiteral("协议"), QStringLiteral("接口"),
                                     QStringLiteral("地址"), QStringLiteral("端口")};
        for (int c = 0; c < headers.size(); ++c)
            grid->addWidget(new QLabel(headers[c], entryFrame), 0, c + 1, Qt::AlignCenter);
        for (int side = 0; side < 2; ++side) {
            const QString s = QString::fromLatin1(sideLetters[side]);
            ForwardingEndControls &end = entries[std::size_t(i)][std::size_t(side)];
            end.protocol = list(entryFrame, indexedName(QStringLiteral("cb_protocol") + s, i),
                                forwardingProtocolNames());
            end.interfaceList = list(entryFrame, indexedName(QStringLiteral("cb_inf") + s, i),
                                     forwardingInterfaceNames());
            auto *address = new QHBoxLayout;
            address->setSpacing(2);
            for (int k = 0; k < 4; ++k) {
                end.ip[std::size_t(k)] = zeroBox(
                    entryFrame, indexedName(QStringLiteral("txt_ip%1%2").arg(s).arg(k), i), 3);
                address->addWidget(end.ip[std::size_t(k)]);
            }
            end.serial = zeroBox(entryFrame, indexedName(QStringLiteral("txt_serial") + s, i), 3);
            address->addWidget(end.serial);
            address->addStretch();
            end.port = zeroBox(entryFrame, indexedName(QStringLiteral("txt_port") + s, i), 5);
            grid->addWidget(new QLabel(sideCaptions[side], entryFrame), side + 1, 0);
            grid->addWidget(end.protocol, side + 1, 1);
            grid->addWidget(end.interfaceList, side + 1, 2);
            grid->addLayout(address, side + 1, 3);
            grid->addWidget(end.port, side + 1, 4);
            connect(end.interfaceList, &QComboBox::currentIndexChanged, this,
                    [this, i, side] { showInterface(i, side); });
            showInterface(i, side);
        }
        frames->addWidget(entryFrame, i / kFrameColumns, i % kFrameColumns);
    }
    auto *scroll = new QScrollArea(this);
    scroll->setWidget(body);
    scroll->setWidgetResizable(true);
    scroll->setMinimumWidth(body->sizeHint().width() + 24);

    bt_resendSlave =
        button(this, QStringLiteral("bt_resendSlave"), QStringLiteral("从设备转发映射表"));
    bt_readResend = button(this, QStringLiteral("bt_readResend"), QStringLiteral("读取"));
    bt_writeResend = button(this, QStringLiteral("bt_writeResend"), QStringLiteral("写入"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(bt_resendSlave);
    buttons->addStretch();
    buttons->addWidget(bt_readResend);
    buttons->addWidget(bt_writeResend);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(countRow);
    layout->addWidget(scroll, 1);
    layout->addLayout(buttons);
    resize(width(), 640);
}

void ForwardingDialog::showInterface(int index, int side)
{
    const ForwardingEndControls &end = entries[std::size_t(index)][std::size_t(side)];
    const bool ethernet = end.interfaceList->currentIndex() == kEthernetInterface;
    for (QLineEdit *box : end.ip)
        box->setVisible(ethernet);
    end.serial->setVisible(!ethernet);
    end.port->setEnabled(ethernet);
}

} // namespace kalmo
