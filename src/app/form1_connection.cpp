// Connection control of the main window: the link choice, starting, pausing
// and stopping communication, the receive and command time-outs, the restart
// delay, the automatic start and the progress bar.
#include "app/form1.h"

#include "features/common/controls.h"

#include "core/error_log.h"
#include "core/error_texts.h"
#include "features/image_files/image_files_feature.h"
#include "features/system_info/system_info_feature.h"
#include "transport/serial_link.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
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
const QString kPauseCaption = QStringLiteral("暂停");
const QString kResumeCaption = QStringLiteral("继续");

} // namespace

// ---- Link choice -----------------------------------------------------------

void Form1::optComm_Click(int index)
{
    StartRun->setEnabled(true);
    if (index == 0) {
        ComPort->show();
        ComPort->setEnabled(true);
        if (ComPort->count() > 0) ComPort->setCurrentIndex(0);
        setStatusText(kSerialHint);
        tellSections(ConnectionEvent::SerialChosen);
    } else {
        ComPort->hide();
        ComPort->setEnabled(false);
        setStatusText(kNetworkHint);
        tellSections(ConnectionEvent::NetworkChosen);
    }
}

// ---- Start -----------------------------------------------------------------

void Form1::StartRun_Click()
{
    // The next system information display checks the firmware version once.
    systemInfoFeature->versionCheck.arm();
    if (optComm[0]->isChecked())
        startSerialLink();
    else if (optComm[1]->isChecked())
        startNetworkLink();
}

// The first steps of every start: Stop takes over, the link cannot be changed
// while communicating, and the status says the run has begun.
void Form1::lockLinkChoice()
{
    cmdStop->setEnabled(true);
    cmdStop->setFocus();
    optComm[0]->setEnabled(false);
    optComm[1]->setEnabled(false);
    ComPort->setEnabled(false);
    StartRun->setEnabled(false);
    setBold(Text2, false);
    setStatusText(kRunStartedText);
}

void Form1::startSerialLink()
{
    try {
        lockLinkChoice();
        m_session->timMscon->setInterval(kReceiveTimeoutMs);
        m_session->Timer1->setInterval(kDispatchIntervalMs);
        tellSections(ConnectionEvent::SerialStarting);

        if (const auto failure = openChosenPort(kNormalPortSettings)) {
            openingFailed(CommErrorText(failure->number, failure->description));
            return;
        }

        // Zigbee, system parameters, tags, clock, gateway, MAC, Profibus; then
        // the idle DI/DO read for as long as communication lasts.
        dispatcher().stack().loadSerialStart();
        m_session->Timer1->start();

        ForCustomer();
    } catch (const std::exception &e) {
        openingFailed(describeError(e));
    }
}

void Form1::openingFailed(const QString &text)
{
    showBox({QMessageBox::Warning, kSerialErrorTitle, text});
    optComm[0]->setEnabled(true);
    optComm[1]->setEnabled(true);
    ComPort->setEnabled(true);
    StartRun->setEnabled(true);
    cmdStop->setEnabled(false);
    tellSections(ConnectionEvent::OpeningFailed);
    setStatusText(kRetryText);
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
    setStatusText(kRetryText);
    showBox({QMessageBox::Warning, kSerialErrorTitle,
             CommErrorText(failure.number, failure.description)});
    ForCustomer();
}

// The port chosen in ComPort (or the one used last) opened with the settings.
std::optional<SerialPortFailure> Form1::openChosenPort(const QString &settings)
{
    SerialPortLink &port = *m_session->Comm1;
    if (port.isOpen()) port.close();
    const QString selected = ComPort->currentText();
    serialPort = chooseSerialPort(ComPort->currentIndex() >= 0 ? &selected : nullptr, serialPort);
    return port.open(serialPort.name, settings);
}

void Form1::ReopenSerialPort(const QString &settings)
{
    if (const auto failure = openChosenPort(settings))
        throw ProcedureError(CommErrorText(failure->number, failure->description));
}

void Form1::Time2Start_Timer()
{
    StartRun_Click();
    Time2Start->stop();
}

void Form1::AnalysisParam(const QString &record)
{
    imageFilesFeature->applyRecord(record);
}

// ---- Pause and stop --------------------------------------------------------

void Form1::cmdPause_Click()
{
    // The caption says what a press does.
    const bool pausing = cmdPause->text() == kPauseCaption;
    dispatcher().setPaused(pausing);
    cmdPause->setText(pausing ? kResumeCaption : kPauseCaption);
}

void Form1::cmdStop_Click()
{
    const bool serial = optComm[0]->isChecked();
    const bool network = optComm[1]->isChecked();

    StartRun->setEnabled(true);
    cmdStop->setEnabled(false);
    m_session->dispatcher().stop();
    optComm[0]->setEnabled(true);
    optComm[1]->setEnabled(true);
    if (serial) {
        ComPort->setEnabled(true);
        m_session->Comm1->close();
    } else if (network) {
        stopNetworkLink();
    }
    m_session->resetCounters();
    resetPauseButton(false);
    tellSections(ConnectionEvent::Stopped);
    setStatusText(QString());
    ForCustomer();
}

// The pause button: enabled or not, and back to "暂停".
void Form1::resetPauseButton(bool enabled)
{
    cmdPause->setEnabled(enabled);
    cmdPause->setText(kPauseCaption);
}

} // namespace kalmo
