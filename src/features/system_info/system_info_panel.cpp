#include "features/system_info/system_info_panel.h"

#include "features/common/controls.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>

namespace kalmo {


using namespace controls;

namespace {

QLabel *dot(QWidget *parent)
{
    auto *label = new QLabel(QStringLiteral("."), parent);
    label->setAlignment(Qt::AlignBottom | Qt::AlignHCenter);
    return label;
}

} // namespace

SystemInfoPanel::SystemInfoPanel(QWidget *parent) : QWidget(parent)
{
    // "主设备信息": versions and addresses
    auto *device = frame(this, QStringLiteral("mainDeviceFrame"), QStringLiteral("主设备信息"));
    txtSeries = lineEdit(device, QStringLiteral("txtSeries"));
    lblVersion = valueLabel(device, QStringLiteral("lblVersion"), 7);
    txtModuleAddr = lineEdit(device, QStringLiteral("txtModuleAddr"));
    txtInnerVersion = lineEdit(device, QStringLiteral("txtInnerVersion"));
    txtHardAddr = lineEdit(device, QStringLiteral("txtHardAddr"));
    lb_BookNo = valueLabel(device, QStringLiteral("lb_BookNo"), 7);
    uPortTxt = lineEdit(device, QStringLiteral("uPortTxt"));
    cpuTxt = lineEdit(device, QStringLiteral("cpuTxt"));
    txtDIPrevent = lineEdit(device, QStringLiteral("txtDIPrevent"));
    txtCellPressure = lineEdit(device, QStringLiteral("txtCellPressure"));
    {
        auto *grid = new QGridLayout(device);
        addRow(grid, 0, QStringLiteral("序列号"), txtSeries);
        addRow(grid, 1, QStringLiteral("模块地址"), txtModuleAddr);
        addRow(grid, 2, QStringLiteral("硬地址"), txtHardAddr);
        addRow(grid, 3, QStringLiteral("UDP端口"), uPortTxt);
        addRow(grid, 4, QStringLiteral("防抖时间(ms)"), txtDIPrevent);
        addRow(grid, 0, QStringLiteral("版本号"), lblVersion, 1);
        addRow(grid, 1, QStringLiteral("内版本号"), txtInnerVersion, 1);
        addRow(grid, 2, QStringLiteral("Boot版本号"), lb_BookNo, 1);
        addRow(grid, 3, QStringLiteral("CPU类型"), cpuTxt, 1);
        addRow(grid, 4, QStringLiteral("电池电压(V)"), txtCellPressure, 1);
        grid->setColumnStretch(1, 1);
        grid->setColumnStretch(3, 1);
        closeRows(grid);
    }

    // Identity, production date and IP address
    auto *identity = frame(this, QStringLiteral("identityFrame"), QStringLiteral("设备标识"));
    txthardwarenum = lineEdit(identity, QStringLiteral("txthardwarenum"));
    txtDeviceType = lineEdit(identity, QStringLiteral("txtDeviceType"));
    lblNUM = lineEdit(identity, QStringLiteral("lblNUM"));
    txtDevID = lineEdit(identity, QStringLiteral("txtDevID"));
    txtPD_Tag = lineEdit(identity, QStringLiteral("txtPD_Tag"));
    datePicker = new QDateEdit(QDate(1900, 1, 1), identity);
    datePicker->setObjectName(QStringLiteral("datePicker"));
    datePicker->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    datePicker->setDateRange(QDate(kFirstProductionYear, 1, 1), QDate(kLastProductionYear, 12, 31));
    datePicker->setCalendarPopup(true);
    datePicker->setMinimumWidth(boxWidth(datePicker, 10) + 28);
    timePicker = new QTimeEdit(QTime(0, 0, 0), identity);
    timePicker->setObjectName(QStringLiteral("timePicker"));
    timePicker->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    timePicker->setMinimumWidth(boxWidth(timePicker, 8) + 24);
    txtIp = makeArray<4>(
        [&](int i) { return lineEdit(identity, indexedName(QStringLiteral("txtIp"), i), 3); });
    {
        auto *grid = new QGridLayout(identity);
        addRow(grid, 0, QStringLiteral("硬件版号"), txthardwarenum);
        addRow(grid, 1, QStringLiteral("设备类型"), txtDeviceType);
        addRow(grid, 2, QStringLiteral("设备序号"), lblNUM);
        addRow(grid, 3, QStringLiteral("DeviceID"), txtDevID);
        addRow(grid, 4, QStringLiteral("PD_TAG"), txtPD_Tag);

        auto *production = new QHBoxLayout;
        production->addWidget(datePicker);
        production->addWidget(timePicker);
        production->addStretch();
        grid->addWidget(caption(QStringLiteral("生产时间"), datePicker), 5, 0);
        grid->addLayout(production, 5, 1);

        auto *ip = new QHBoxLayout;
        ip->setSpacing(2);
        for (int i = 0; i < 4; ++i) {
            if (i > 0) ip->addWidget(dot(identity));
            ip->addWidget(txtIp[i]);
        }
        ip->addStretch();
        grid->addWidget(caption(QStringLiteral("IP"), txtIp[0]), 6, 0);
        grid->addLayout(ip, 6, 1);
        grid->setColumnStretch(1, 1);
        closeRows(grid);
    }

    // The two RS485 ports
    QGroupBox *portFrames[2] = {
        frame(this, QStringLiteral("rs485Frame_0"), QStringLiteral("RS485_1设置")),
        frame(this, QStringLiteral("rs485Frame_1"), QStringLiteral("RS485_2设置")),
    };
    QGridLayout *portGrids[2] = {};
    for (int p = 0; p < 2; ++p) {
        QGroupBox *box = portFrames[p];
        Combo6[p] = comboBox(box, indexedName(QStringLiteral("Combo6"), p), 9);
        Combo7[p] = comboBox(box, indexedName(QStringLiteral("Combo7"), p), 9);
        Combo8[p] = comboBox(box, indexedName(QStringLiteral("Combo8"), p), 9);
        Combo9[p] = comboBox(box, indexedName(QStringLiteral("Combo9"), p), 9);
        Combo10[p] = comboBox(box, indexedName(QStringLiteral("Combo10"), p), 9);
        ComboMS[p] = comboBox(box, indexedName(QStringLiteral("ComboMS"), p), 9);
        ComboMS[p]->addItems({QStringLiteral("从"), QStringLiteral("主")});
        ComboMS[p]->setCurrentIndex(-1);
        txt_RSDataTime[p] = lineEdit(box, indexedName(QStringLiteral("txt_RSDataTime"), p), 5);
        for (QComboBox *list : {Combo6[p], Combo7[p], Combo8[p], Combo9[p], Combo10[p], ComboMS[p]})
            list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

        auto *grid = new QGridLayout(box);
        addRow(grid, 0, QStringLiteral("校验位"), Combo6[p]);
        addRow(grid, 1, QStringLiteral("数据位"), Combo7[p]);
        addRow(grid, 2, QStringLiteral("停止位"), Combo8[p]);
        addRow(grid, 3, QStringLiteral("波特率"), Combo9[p]);
        addRow(grid, 4, QStringLiteral("协议"), Combo10[p]);
        addRow(grid, 5, QStringLiteral("主从"), ComboMS[p]);
        addRow(grid, 6, QStringLiteral("间隔时间"), txt_RSDataTime[p]);
        grid->setColumnStretch(1, 1);
        portGrids[p] = grid;
    }
    // Error count, interval and wait time of the second port
    Text_ErrorTimeComm2 = lineEdit(portFrames[1], QStringLiteral("Text_ErrorTimeComm2"), 5);
    Text_InterTimeComm2 = lineEdit(portFrames[1], QStringLiteral("Text_InterTimeComm2"), 5);
    Text_WaitTimeComm2 = lineEdit(portFrames[1], QStringLiteral("Text_WaitTimeComm2"), 5);
    addRow(portGrids[1], 7, QStringLiteral("最大错误数"), Text_ErrorTimeComm2);
    addRow(portGrids[1], 8, QStringLiteral("通信间隔ms"), Text_InterTimeComm2);
    addRow(portGrids[1], 9, QStringLiteral("等待时间ms"), Text_WaitTimeComm2);
    closeRows(portGrids[0]);
    closeRows(portGrids[1]);

    // Slave polling and the self-recovery scan
    auto *slaves = frame(this, QStringLiteral("slavePollingFrame"), QStringLiteral("从设备通讯"));
    txtSubErr = lineEdit(slaves, QStringLiteral("txtSubErr"), 7);
    txtSubcommIntv = lineEdit(slaves, QStringLiteral("txtSubcommIntv"), 7);
    txtSubWaitTime = lineEdit(slaves, QStringLiteral("txtSubWaitTime"), 7);
    ScanCtrl = lineEdit(slaves, QStringLiteral("ScanCtrl"), 7);
    ScanInterval = lineEdit(slaves, QStringLiteral("ScanInterval"), 7);
    {
        auto *grid = new QGridLayout(slaves);
        addRow(grid, 0, QStringLiteral("最大错误数"), txtSubErr);
        addRow(grid, 1, QStringLiteral("通信间隔ms"), txtSubcommIntv);
        addRow(grid, 2, QStringLiteral("等待时间ms"), txtSubWaitTime);
        addRow(grid, 3, QStringLiteral("自恢复控制字"), ScanCtrl);
        addRow(grid, 4, QStringLiteral("自恢复间隔"), ScanInterval);
        grid->setColumnStretch(2, 1);
        closeRows(grid);
    }

    // Flash-parameter lamps, one per flag bit
    auto *flash = frame(this, QStringLiteral("flashFrame"), QStringLiteral("Flash参数标志"));
    {
        auto *grid = new QGridLayout(flash);
        grid->setHorizontalSpacing(10);
        grid->setVerticalSpacing(2);
        shpFlash = makeArray<16>([&](int i) {
            Lamp *l = lamp(flash, indexedName(QStringLiteral("shpFlash"), i));
            l->setToolTip(QStringLiteral("Flash参数标志 %1").arg(i));
            auto *number = new QLabel(QString::number(i), flash);
            number->setAlignment(Qt::AlignCenter);
            const int row = (i / 8) * 2;
            grid->addWidget(l, row, i % 8, Qt::AlignHCenter);
            grid->addWidget(number, row + 1, i % 8, Qt::AlignHCenter);
            return l;
        });
        grid->setColumnStretch(8, 1);
        closeRows(grid);
    }

    cmdGetSys = button(this, QStringLiteral("cmdGetSys"), QStringLiteral("取参数"));
    cmdSetPara = button(this, QStringLiteral("cmdSetPara"), QStringLiteral("置参数"));
    cmdSetPara->setToolTip(QStringLiteral("置参数 (F7)"));
    for (QPushButton *b : {cmdGetSys, cmdSetPara})
        b->setMinimumSize(110, 34);

    // Controls start as after a stop: nothing to read or write yet.
    for (int p = 0; p < 2; ++p)
        for (QComboBox *list : {Combo6[p], Combo7[p], Combo8[p], Combo9[p], Combo10[p], ComboMS[p]})
            list->setEnabled(false);
    datePicker->setEnabled(false);
    timePicker->setEnabled(false);
    cmdGetSys->setEnabled(false);
    cmdSetPara->setEnabled(false);

    // Three columns of frames with the read/write buttons below them
    auto *columns = new QHBoxLayout;
    columns->addLayout(column({device, identity}), 4);
    columns->addLayout(column({portFrames[0], slaves}), 3);
    columns->addLayout(column({portFrames[1], flash}), 3);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdGetSys);
    buttons->addWidget(cmdSetPara);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addLayout(buttons);
}

SysParamPanelInput SystemInfoPanel::input() const
{
    SysParamPanelInput in;
    in.txtModuleAddr = txtModuleAddr->text();
    in.txtSeries = txtSeries->text();
    for (std::size_t i = 0; i < txtIp.size(); ++i)
        in.txtIp[i] = txtIp[i]->text();
    for (std::size_t p = 0; p < 2; ++p) {
        PortSettings &port = in.ports[p];
        port.parity = Combo6[p]->currentIndex();
        port.dataBits = Combo7[p]->currentIndex();
        port.stopBits = Combo8[p]->currentIndex();
        port.baud = Combo9[p]->currentIndex();
        port.protocol = Combo10[p]->currentIndex();
        in.ComboMS[p] = ComboMS[p]->currentIndex();
        in.txt_RSDataTime[p] = txt_RSDataTime[p]->text();
    }
    const QDate date = datePicker->date();
    in.year = date.year();
    in.month = date.month();
    in.day = date.day();
    const QTime time = timePicker->time();
    in.hour = time.hour();
    in.minute = time.minute();
    in.second = time.second();
    in.uPortTxt = uPortTxt->text();
    in.cpuTxt = cpuTxt->text();
    in.txtSubcommIntv = txtSubcommIntv->text();
    in.txtSubWaitTime = txtSubWaitTime->text();
    in.ScanCtrl = ScanCtrl->text();
    in.ScanInterval = ScanInterval->text();
    in.txtSubErr = txtSubErr->text();
    return in;
}

void SystemInfoPanel::showPortSettings(int port, const PortSettings &settings)
{
    const auto p = std::size_t(port);
    Combo6[p]->setCurrentIndex(settings.parity);
    Combo7[p]->setCurrentIndex(settings.dataBits);
    Combo8[p]->setCurrentIndex(settings.stopBits);
    Combo9[p]->setCurrentIndex(settings.baud);
    Combo10[p]->setCurrentIndex(settings.protocol);
}

void SystemInfoPanel::fillOptionLists()
{
    for (std::size_t p = 0; p < 2; ++p) {
        controls::fillList(Combo6[p], portListItems(PortList::Parity));
        controls::fillList(Combo7[p], portListItems(PortList::DataBits));
        controls::fillList(Combo8[p], portListItems(PortList::StopBits));
        controls::fillList(Combo9[p], portListItems(PortList::Baud));
        controls::fillList(Combo10[p], portListItems(PortList::Protocol));
    }
}

} // namespace kalmo
