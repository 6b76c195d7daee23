#pragma once
// "CAN配置": the CAN bit rate and port role, a lamp for the configuration
// check, and its three buttons. A modeless window of its own.
#include "features/common/lamp.h"

#include <QComboBox>
#include <QPushButton>
#include <QWidget>

namespace kalmo {

class CanSetDialog : public QWidget
{
    Q_OBJECT
public:
    explicit CanSetDialog(QWidget *parent = nullptr);

    QComboBox *CanBaud = nullptr; // "波特率"
    QComboBox *CanMS = nullptr;   // "主从"
    Lamp *shpFlashCan = nullptr;  // red or green after a check
    QPushButton *CanDetect = nullptr;
    QPushButton *CanRead = nullptr;
    QPushButton *CanWrite = nullptr;
};

} // namespace kalmo
