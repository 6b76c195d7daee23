// Connection control of the main window: the link choice, starting, pausing
// and stopping communication, the receive and command time-outs, the restart
// delay, the automatic start and the progress bar.
#include "app/form1.h"

#include "features/common/controls.h"

#include "features/system_info/system_info_panel.h"
#include "features/image_files/image_file_panel.h"
#include "transport/serial_link.h"
#include "features/clock_io/clock_io_panel.h"
#include "features/maintenance/maintenance_panel.h"
#include "features/network_identity/network_identity_panel.h"
#include "features/zigbee/zigbee_panel.h"
#include "core/error_log.h"
#include "core/error_texts.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace kalmo {

using controls::setBold;

namespace {

const QString kSerialHint = QStringLiteral("请确保拨码开关第三位已置为ON");
const QString kNetworkHint = QStringLiteral("点击“开始”后，请选择设备IP");
const QString kRunStartedText = QStringLiteral("运行开始................");
const QString kSerialErrorTitle = QStringLiteral("请注意串行口错误!");
const QString kRetryText = QStringLiteral("请确认设置正确后,重新开始");
const QDate kStoppedProductionDate(1976, 4, 5);

// Opening the port failed: the comm-control number and the platform's words.
class SerialOpenError : public ProcedureError
{
public:
    explicit SerialOpenError(const SerialPortFailure &failure)
        : ProcedureError(failure.description), number(failure.number)
    {
    }
    int number;
};

} // namespace

// ---- Link choice -----------------------------------------------------------

void Form1::optComm_Click(int index)
{
    if (index == 0) {
        maintenance->bt_CheckRAM->show();
        zigbee->Cmd_TestZigbee->show();
        StartRun->setEnabled(true);
        ComPort->show();
        ComPort->setEnabled(true);
        if (ComPort->count() > 0) ComPort->setCurrentIndex(0);
        systemInfo->txtPD_Tag->setEnabled(true);
        Text2->setText(kSerialHint);
    } else {
        zigbee->Cmd_TestZigbee->hide();
        maintenance->bt_CheckRAM->hide();
        StartRun->setEnabled(true);
        ComPort->hide();
        ComPort->setEnabled(false);
        Text2->setText(kNetworkHint);
        systemInfo->txtDevID->clear();
        systemInfo->txtPD_Tag->clear();
        systemInfo->txtPD_Tag->setEnabled(true);
        for (QWidget *w : std::initializer_list<QWidget *>{
                 maintenance->cmdClearCode, maintenance->cmdCheckLight, maintenance->cmdStopCheck,
                 maintenance->btRProfibus, maintenance->ckProfibus})
            w->setEnabled(false);
    }
}

// ---- Start -----------------------------------------------------------------

void Form1::StartRun_Click()
{
    // The next system information display checks the firmware version once.
    versionCheck.arm();
    if (optComm[0]->isChecked())
        startSerialLink();
    else if (optComm[1]->isChecked())
        startNetworkLink();
}

// The first steps of every start: Stop takes over, the link cannot be changed
// while communicating, and the identity boxes lose their bold.
void Form1::lockLinkChoice()
{
    cmdStop->setEnabled(true);
    cmdStop->setFocus();
    optComm[0]->setEnabled(false);
    optComm[1]->setEnabled(false);
    ComPort->setEnabled(false);
    StartRun->setEnabled(false);
    setBold(systemInfo->txtDevID, false);
    setBold(systemInfo->txtPD_Tag, false);
}

void Form1::startSerialLink()
{
    try {
        lockLinkChoice();

        clockIo->cmdReclock->setEnabled(true);
        systemInfo->txtDevID->clear();
        systemInfo->txtPD_Tag->clear();

        timMscon->setInterval(kReceiveTimeoutMs);
        Timer1->setInterval(kDispatchIntervalMs);

        systemInfo->cmdGetSys->setEnabled(true);
        for (int p = 0; p < 2; ++p)
            for (QComboBox *list :
                 {systemInfo->Combo6[p], systemInfo->Combo7[p], systemInfo->Combo8[p],
                  systemInfo->Combo9[p], systemInfo->Combo10[p], systemInfo->ComboMS[p]})
                list->setEnabled(true);
        for (QWidget *w : std::initializer_list<QWidget *>{
                 maintenance->cmdClearCode, maintenance->cmdCheckLight, maintenance->cmdStopCheck,
                 systemInfo->datePicker, systemInfo->timePicker, maintenance->btRProfibus,
                 maintenance->ckProfibus})
            w->setEnabled(true);
        imageFiles->cmdSave->show();
        imageFiles->cmdRead->show();

        if (Comm1->isOpen()) Comm1->close();

        setBold(Text2, false);
        Text2->setText(kRunStartedText);

        const QString selected = ComPort->currentText();
        serialPort =
            chooseSerialPort(ComPort->currentIndex() >= 0 ? &selected : nullptr, serialPort);

        if (const auto failure = Comm1->open(serialPort.name, kNormalPortSettings))
            throw SerialOpenError(*failure);

        // Zigbee, system parameters, tags, clock, gateway, MAC, Profibus; then
        // the idle DI/DO read for as long as communication lasts.
        dispatcher().stack().loadSerialStart();
        Timer1->start();

        ForCustomer();
    } catch (const SerialOpenError &e) {
        openingFailed(CommErrorText(e.number, e.description()));
    } catch (const std::exception &e) {
        openingFailed(describeError(e));
    }
}

void Form1::openingFailed(const QString &text)
{
    showMessageBox({QMessageBox::Warning, kSerialErrorTitle, text});
    optComm[0]->setEnabled(true);
    optComm[1]->setEnabled(true);
    ComPort->setEnabled(true);
    StartRun->setEnabled(true);
    for (QWidget *w : std::initializer_list<QWidget *>{
             cmdStop, maintenance->cmdClearCode, maintenance->cmdCheckLight,
             maintenance->cmdStopCheck, maintenance->btRProfibus, maintenance->ckProfibus})
        w->setEnabled(false);
    Text2->setText(kRetryText);
    ForCustomer();
}

void Form1::serialPortFailed(const SerialPortFailure &failure)
{
    // The port went away during a connection (a USB adapter unplugged): no
    // more requests go out, the user is told why, and the window is left
    // ready for "停止" or a new start. The panel keeps what it shows.
    dispatcher().stop();
    cmdPause->setEnabled(false);
    cmdPause->setText(kPauseCaption);
    optComm[0]->setEnabled(true);
    optComm[1]->setEnabled(true);
    ComPort->setEnabled(true);
    StartRun->setEnabled(true);
    Text2->setText(kRetryText);
    showMessageBox({QMessageBox::Warning, kSerialErrorTitle,
                    CommErrorText(failure.number, failure.description)});
    ForCustomer();
}

void Form1::ReopenSerialPort(const QString &settings)
{
    if (Comm1->isOpen()) Comm1->close();
    const QString selected = ComPort->currentText();
    serialPort = chooseSerialPort(ComPort->currentIndex() >= 0 ? &selected : nullptr, serialPort);
    if (const auto failure = Comm1->open(serialPort.name, settings))
        throw ProcedureError(CommErrorText(failure->number, failure->description));
}

void Form1::Time2Start_Timer()
{
    StartRun_Click();
    Time2Start->stop();
}

void Form1::AnalysisParam(const QString &record)
{
    // Applying the record's label/value pairs to the panel (ApplyImageItem)
    // comes with the image files; until then the record only starts
    // communication.
    Q_UNUSED(record);
}

// ---- Pause and stop --------------------------------------------------------

void Form1::cmdPause_Click()
{
    cmdPause->setText(dispatcher().togglePause(cmdPause->text()));
}

void Form1::cmdStop_Click()
{
    const bool serial = optComm[0]->isChecked();
    const bool network = optComm[1]->isChecked();

    for (Lamp *lamp : systemInfo->shpFlash)
        lamp->setColor(Qt::white);
    for (QWidget *w : std::initializer_list<QWidget *>{
             clockIo->clkDate, clockIo->clkTime, clockIo->cmdWrclock, clockIo->cmdTimeInit,
             clockIo->cmdReclock, zigbee->Combo_zlogic, zigbee->Combo_Nettype, zigbee->Text_DNO})
        w->setEnabled(false);
    for (QLineEdit *box : zigbee->txt_AC)
        box->setEnabled(false);
    for (QLineEdit *box : zigbee->txt_EXPAN)
        box->setEnabled(false);
    for (QCheckBox *box : zigbee->Check1)
        box->setEnabled(false);
    for (QWidget *w : std::initializer_list<QWidget *>{
             zigbee->Zigbee_Enable, zigbee->Cmd_ReadzParam, zigbee->Cmd_WritezParam,
             zigbee->Cmd_TestZigbee, zigbee->Cmd_Advance})
        w->setEnabled(false);
    for (QLineEdit *box :
         {systemInfo->txtSubErr, systemInfo->txtSubcommIntv, systemInfo->txtSubWaitTime,
          systemInfo->txtDIPrevent, systemInfo->cpuTxt, systemInfo->uPortTxt,
          systemInfo->txtHardAddr, systemInfo->txtCellPressure})
        box->clear();

    StartRun->setEnabled(true);
    for (QWidget *w : std::initializer_list<QWidget *>{
             cmdStop, maintenance->cmdClearCode, maintenance->cmdCheckLight,
             maintenance->cmdStopCheck, maintenance->btRProfibus, maintenance->ckProfibus})
        w->setEnabled(false);

    dispatcher().stop();

    optComm[0]->setEnabled(true);
    optComm[1]->setEnabled(true);
    if (serial) {
        ComPort->setEnabled(true);
        Comm1->close();
    } else if (network) {
        stopNetworkLink();
    }

    systemInfo->lblNUM->clear();
    systemInfo->txthardwarenum->clear();
    systemInfo->txtSeries->clear();
    systemInfo->lblVersion->clear();
    systemInfo->txtInnerVersion->clear();
    systemInfo->txtModuleAddr->clear();
    systemInfo->txtDevID->clear();
    systemInfo->txtPD_Tag->clear();
    for (int p = 0; p < 2; ++p)
        for (QComboBox *list :
             {systemInfo->Combo6[p], systemInfo->Combo7[p], systemInfo->Combo8[p],
              systemInfo->Combo9[p], systemInfo->Combo10[p], systemInfo->ComboMS[p]})
            list->setCurrentIndex(-1);

    systemInfo->datePicker->setDate(kStoppedProductionDate);
    systemInfo->timePicker->setTime(QTime(0, 0, 0));
    systemInfo->datePicker->setEnabled(false);
    systemInfo->timePicker->setEnabled(false);

    m_session->resetCounters();

    for (QWidget *w : std::initializer_list<QWidget *>{
             systemInfo->cmdGetSys, systemInfo->cmdSetPara, imageFiles->cmdSave, cmdPause,
             imageFiles->cmdRead, imageFiles->ReadTxtPublic})
        w->setEnabled(false);
    cmdPause->setText(kPauseCaption);
    imageFiles->cmdSave->show();
    imageFiles->cmdRead->show();

    for (QLineEdit *box : systemInfo->txtIp)
        box->clear();
    for (QLineEdit *box : networkIdentity->txt_MAC)
        box->clear();
    Text2->clear();
    systemInfo->ScanCtrl->clear();
    systemInfo->ScanInterval->clear();
    for (QLineEdit *box : systemInfo->txt_RSDataTime)
        box->clear();
    for (Lamp *lamp : maintenance->ram_sap)
        lamp->setColor(Qt::white);
    for (int p = 0; p < 2; ++p)
        for (QComboBox *list :
             {systemInfo->Combo6[p], systemInfo->Combo7[p], systemInfo->Combo8[p],
              systemInfo->Combo9[p], systemInfo->Combo10[p], systemInfo->ComboMS[p]})
            list->setEnabled(false);

    ForCustomer();
}

// ---- Progress --------------------------------------------------------------

void Form1::showProgress(const ProgressState &progress)
{
    ProgressBar->setRange(0, progress.maximum);
    ProgressBar->setValue(progress.value);
    ProgressBar->setVisible(progress.visible);
    lb_ProgProc->setText(progress.label);
    lb_ProgProc->setVisible(progress.visible);
}

} // namespace kalmo
