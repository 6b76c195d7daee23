// The wiring of the window: the panel sections built on the session, what the
// window does when they report, and what the session and the sections ask of
// the window (SessionView, WindowServices).
#include "app/form1.h"

#include "core/error_log.h"
#include "features/clock_io/clock_io_feature.h"
#include "features/common/controls.h"
#include "features/dialogs/dialogs_feature.h"
#include "features/image_files/image_files_feature.h"
#include "features/maintenance/maintenance_feature.h"
#include "features/network_identity/network_identity_feature.h"
#include "features/system_info/system_info_feature.h"
#include "features/upgrade/upgrade_feature.h"
#include "features/zigbee/zigbee_feature.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace kalmo {

// ---- The sections -------------------------------------------------------------

void Form1::buildSections()
{
    const FeatureContext context{*m_session, *this, m_requests};
    systemInfoFeature = new SystemInfoFeature(context, this);
    clockIoFeature = new ClockIoFeature(context, this);
    networkIdentityFeature = new NetworkIdentityFeature(context, this);
    zigbeeFeature = new ZigbeeFeature(context, this);
    maintenanceFeature = new MaintenanceFeature(context, this);
    upgradeFeature = new UpgradeFeature(context, this);
    imageFilesFeature = new ImageFilesFeature(context, this);
    dialogsFeature = new DialogsFeature(context, this);
    // The high-speed frame and the port baud-rate lists are maintenance's to
    // act on.
    {
        const ClockIoPanel &io = *clockIoFeature->panel();
        const SystemInfoPanel &info = *systemInfoFeature->panel();
        maintenanceFeature->attach({io.Check_InAndOut,
                                    {io.Text5[2], io.Text5[3]},
                                    io.Cmd_WritePre,
                                    info.Combo9,
                                    info.txt_RSDataTime});
    }
    m_sections = {systemInfoFeature,  clockIoFeature, networkIdentityFeature, zigbeeFeature,
                  maintenanceFeature, upgradeFeature, imageFilesFeature,      dialogsFeature};

    // Once the system information is shown, communication can be paused.
    m_requests.systemInformationShowing.listen([this] { resetPauseButton(true); });
}

void Form1::tellSections(ConnectionEvent event)
{
    for (Feature *section : m_sections)
        section->onConnection(event);
}

void Form1::cmdSetPara_Click()
{
    systemInfoFeature->cmdSetPara_Click();
}

// ---- SessionView --------------------------------------------------------------

Link Form1::selectedLink() const
{
    if (optComm[0]->isChecked()) return Link::Serial;
    if (optComm[1]->isChecked()) return Link::Network;
    return Link::None;
}

void Form1::setStatusText(const QString &text)
{
    showStatusText(text);
}

void Form1::showReplyCount(const QString &text)
{
    showReplyCountText(text);
}

void Form1::showTimeoutCount(const QString &text)
{
    controls::showText(Text3, text);
}

void Form1::showProgress(const ProgressState &progress)
{
    paintProgress(progress);
}

void Form1::showMessage(const QString &text)
{
    showBox({QMessageBox::NoIcon, QApplication::applicationDisplayName(), text});
}

void Form1::reopenSerialPort(const QString &settings)
{
    ReopenSerialPort(settings);
}

// ---- WindowServices -------------------------------------------------------------

void Form1::refuseField(const QString &control, const QString &label, const QString &logLabel,
                        const QString &description)
{
    appendErrorLog(logLabel, description);
    const QString text = kFormatErrorText + label;
    setStatusText(text);
    if (auto *widget = findChild<QWidget *>(control)) {
        widget->setFocus();
        if (auto *box = qobject_cast<QLineEdit *>(widget)) box->selectAll();
    }
    showBox({QMessageBox::Warning, QApplication::applicationDisplayName(), text});
}

} // namespace kalmo
