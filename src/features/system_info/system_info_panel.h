#pragma once
// The system information section of the main window: the device's identity,
// versions and addresses, its IP address, the settings of its two RS485
// ports, slave polling, the flash-parameter lamps and the read/write buttons.
#include "features/common/lamp.h"
#include "protocol/sys_param_block.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QWidget>

#include <array>

namespace kalmo {

class SystemInfoPanel : public QWidget
{
    Q_OBJECT
public:
    explicit SystemInfoPanel(QWidget *parent = nullptr);

    // The fixed option lists, in list-index order, with nothing selected.
    void fillOptionLists();

    // The production dates the picker can show: years 1 to 3000. A record
    // with a year outside them is shown as 1900.
    static constexpr int kFirstProductionYear = 1;
    static constexpr int kLastProductionYear = 3000;

    // What the write button collects: the text of every box and the list
    // selections, as ChangeParameter takes them.
    SysParamPanelInput input() const;
    // One port's list selections (-1: no selection).
    void showPortSettings(int port, const PortSettings &settings);

    // "主设备信息"
    QLineEdit *txtSeries = nullptr;
    QLabel *lblVersion = nullptr;
    QLineEdit *txtModuleAddr = nullptr;
    QLineEdit *txtInnerVersion = nullptr;
    QLineEdit *txtHardAddr = nullptr;
    QLabel *lb_BookNo = nullptr;
    QLineEdit *uPortTxt = nullptr;
    QLineEdit *cpuTxt = nullptr;
    QLineEdit *txtDIPrevent = nullptr;
    QLineEdit *txtCellPressure = nullptr;

    // Identity, production date and IP address
    QLineEdit *txthardwarenum = nullptr;
    QLineEdit *txtDeviceType = nullptr;
    QLineEdit *lblNUM = nullptr;
    QLineEdit *txtDevID = nullptr;
    QLineEdit *txtPD_Tag = nullptr;
    QDateEdit *datePicker = nullptr;
    QTimeEdit *timePicker = nullptr;
    std::array<QLineEdit *, 4> txtIp{};

    // RS485 ports: index 0 is "RS485_1设置", index 1 "RS485_2设置"
    std::array<QComboBox *, 2> Combo6{};  // parity
    std::array<QComboBox *, 2> Combo7{};  // data bits
    std::array<QComboBox *, 2> Combo8{};  // stop bits
    std::array<QComboBox *, 2> Combo9{};  // baud rate
    std::array<QComboBox *, 2> Combo10{}; // protocol
    std::array<QComboBox *, 2> ComboMS{}; // master or slave
    std::array<QLineEdit *, 2> txt_RSDataTime{};
    QLineEdit *Text_ErrorTimeComm2 = nullptr;
    QLineEdit *Text_InterTimeComm2 = nullptr;
    QLineEdit *Text_WaitTimeComm2 = nullptr;

    // Slave polling and self-recovery scan
    QLineEdit *txtSubErr = nullptr;
    QLineEdit *txtSubcommIntv = nullptr;
    QLineEdit *txtSubWaitTime = nullptr;
    QLineEdit *ScanCtrl = nullptr;
    QLineEdit *ScanInterval = nullptr;

    std::array<Lamp *, 16> shpFlash{};

    QPushButton *cmdGetSys = nullptr;  // "取参数"
    QPushButton *cmdSetPara = nullptr; // "置参数"
};

} // namespace kalmo
