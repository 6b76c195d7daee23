#pragma once
// The two bars of the main window: the connection bar across the top (the
// link options, the port and device lists, the run buttons and the clock)
// and the status line under it (status box, counters, progress).
#include "session/progress.h"

#include <QComboBox>
#include <QDateTime>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <array>
#include <optional>

namespace kalmo {

struct ConnectionBarControls
{
    std::array<QRadioButton *, 2> optComm{}; // "串行通信", "网络通信"
    QComboBox *ComPort = nullptr;
    QComboBox *cmbDevice = nullptr;  // devices heard on the network
    QPushButton *StartRun = nullptr; // "通讯"
    QPushButton *cmdPause = nullptr; // "暂停" / "继续"
    QPushButton *cmdStop = nullptr;  // "停止"
    QPushButton *cmdESC = nullptr;   // "退出(ESC)"
    QLabel *NowDis = nullptr;        // the PC's clock
};
// The clock label's text: "yyyy年MM月dd日    hh:mm:ss", 24-hour.
QString clockDisplayText(const QDateTime &time);
// Builds the connection bar and fills in its controls.
QFrame *buildConnectionBar(QWidget *parent, ConnectionBarControls &controls);

struct StatusLineControls
{
    // The progress bar and its percentage as the state says.
    void paintProgress(const ProgressState &progress) const;

    // The status box and the reply counter. While the texts are held (a
    // reply being handled) only the last one set is kept and shown when the
    // hold ends, so a box cleared and written again within one reply is laid
    // out once, after the request that reply let go out.
    void showStatusText(const QString &text);
    void showReplyCountText(const QString &text);
    void holdTexts() { ++textHold; }
    void releaseTexts();
    void showHeldTexts();

    QLineEdit *Text2 = nullptr; // status box
    QLineEdit *Text4 = nullptr; // reply counter
    QLineEdit *Text3 = nullptr; // receive time-out counter
    QProgressBar *ProgressBar = nullptr;
    QLabel *lb_ProgProc = nullptr; // percentage beside the bar

    int textHold = 0;
    std::optional<QString> heldStatus;
    std::optional<QString> heldReplyCount;
};
// Builds the status line and fills in its controls.
QWidget *buildStatusLine(QWidget *parent, StatusLineControls &controls);

} // namespace kalmo
