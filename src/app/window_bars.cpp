#include "app/window_bars.h"

#include "features/common/controls.h"

#include <QHBoxLayout>

#include <utility>

namespace kalmo {

using namespace controls;

namespace {

// Keeps the space of a control that is hidden until it is needed, so the
// line does not jump when it appears.
void reserveSpaceWhenHidden(QWidget *widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
    widget->hide();
}

} // namespace

QString clockDisplayText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy年MM月dd日    hh:mm:ss"));
}

QFrame *buildConnectionBar(QWidget *parent, ConnectionBarControls &c)
{
    auto *bar = new QFrame(parent);
    auto &[optComm, ComPort, cmbDevice, StartRun, cmdPause, cmdStop, cmdESC, NowDis] = c;
    bar->setObjectName(QStringLiteral("connectionBar"));
    bar->setFrameShape(QFrame::StyledPanel);

    optComm[0] =
        radioButton(bar, indexedName(QStringLiteral("optComm"), 0), QStringLiteral("串行通信"));
    optComm[1] =
        radioButton(bar, indexedName(QStringLiteral("optComm"), 1), QStringLiteral("网络通信"));
    ComPort = comboBox(bar, QStringLiteral("ComPort"), 12);
    ComPort->setPlaceholderText(QStringLiteral("无可用串口"));
    ComPort->setToolTip(QStringLiteral("串口"));
    cmbDevice = comboBox(bar, QStringLiteral("cmbDevice"), 15);
    cmbDevice->setPlaceholderText(QStringLiteral("请选择设备IP"));
    cmbDevice->setToolTip(QStringLiteral("在线设备"));
    cmbDevice->hide(); // shown once a device is heard on the network
    StartRun = button(bar, QStringLiteral("StartRun"), QStringLiteral("通讯"));
    cmdPause = button(bar, QStringLiteral("cmdPause"), QStringLiteral("暂停"));
    cmdStop = button(bar, QStringLiteral("cmdStop"), QStringLiteral("停止"));
    cmdESC = button(bar, QStringLiteral("cmdESC"), QStringLiteral("退出(ESC)"));
    NowDis = new QLabel(bar);
    NowDis->setObjectName(QStringLiteral("NowDis"));
    // Of a fixed size, so that the time shown anew every second does not lay
    // the window out again.
    NowDis->setFixedSize(
        NowDis->fontMetrics().horizontalAdvance(QStringLiteral("0000年00月00日    00:00:00")) + 8,
        NowDis->fontMetrics().height());
    NowDis->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // Nothing to pause or stop until communication runs.
    cmdPause->setEnabled(false);
    cmdStop->setEnabled(false);

    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(8, 4, 8, 4);
    row->addWidget(optComm[0]);
    row->addWidget(ComPort);
    row->addSpacing(12);
    row->addWidget(optComm[1]);
    row->addWidget(cmbDevice);
    row->addSpacing(16);
    for (QPushButton *b : {StartRun, cmdPause, cmdStop, cmdESC}) {
        b->setMinimumWidth(84);
        row->addWidget(b);
    }
    row->addStretch();
    row->addWidget(NowDis);
    return bar;
}

QWidget *buildStatusLine(QWidget *parent, StatusLineControls &c)
{
    auto *line = new QWidget(parent);
    QLineEdit *&Text2 = c.Text2, *&Text4 = c.Text4, *&Text3 = c.Text3;
    QProgressBar *&ProgressBar = c.ProgressBar;
    QLabel *&lb_ProgProc = c.lb_ProgProc;
    line->setObjectName(QStringLiteral("statusLine"));

    Text2 = lineEdit(line, QStringLiteral("Text2"));
    Text2->setReadOnly(true);
    Text4 = lineEdit(line, QStringLiteral("Text4"), 7);
    Text4->setReadOnly(true);
    Text4->setAlignment(Qt::AlignRight);
    Text4->setText(QStringLiteral("0"));
    Text3 = lineEdit(line, QStringLiteral("Text3"), 7);
    Text3->setReadOnly(true);
    Text3->setAlignment(Qt::AlignRight);
    Text3->setText(QStringLiteral("0"));
    ProgressBar = new QProgressBar(line);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setTextVisible(false);
    ProgressBar->setFixedWidth(180);
    lb_ProgProc = new QLabel(line);
    lb_ProgProc->setObjectName(QStringLiteral("lb_ProgProc"));
    lb_ProgProc->setFixedWidth(
        lb_ProgProc->fontMetrics().horizontalAdvance(QStringLiteral(" 100.0%")) + 4);
    reserveSpaceWhenHidden(ProgressBar);
    reserveSpaceWhenHidden(lb_ProgProc);

    auto *row = new QHBoxLayout(line);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(caption(QStringLiteral("状态"), Text2));
    row->addWidget(Text2, 1);
    row->addSpacing(8);
    row->addWidget(caption(QStringLiteral("通讯次数"), Text4));
    row->addWidget(Text4);
    row->addWidget(caption(QStringLiteral("超时次数"), Text3));
    row->addWidget(Text3);
    row->addSpacing(8);
    row->addWidget(ProgressBar);
    row->addWidget(lb_ProgProc);
    return line;
}

void StatusLineControls::paintProgress(const ProgressState &progress) const
{
    ProgressBar->setRange(0, progress.maximum);
    ProgressBar->setValue(progress.value);
    ProgressBar->setVisible(progress.visible);
    lb_ProgProc->setText(progress.label);
    lb_ProgProc->setVisible(progress.visible);
}

void StatusLineControls::showStatusText(const QString &text)
{
    if (textHold > 0)
        heldStatus = text;
    else
        controls::showText(Text2, text);
}

void StatusLineControls::showReplyCountText(const QString &text)
{
    if (textHold > 0)
        heldReplyCount = text;
    else
        controls::showText(Text4, text);
}

void StatusLineControls::releaseTexts()
{
    if (textHold > 0) --textHold;
    showHeldTexts();
}

void StatusLineControls::showHeldTexts()
{
    if (heldStatus) controls::showText(Text2, *std::exchange(heldStatus, std::nullopt));
    if (heldReplyCount) controls::showText(Text4, *std::exchange(heldReplyCount, std::nullopt));
}

} // namespace kalmo
