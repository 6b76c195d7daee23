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
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace kalmo {

using namespace controls;

namespace {

constexpr int kClockDisplayIntervalMs = 1000; // DisTimer
constexpr int kAutomaticStartDelayMs = 500;   // Time2Start, once a record is given

} // namespace

Form1::Form1(const ProgramOptions &options, WindowTransports transports, QWidget *parent)
    : QMainWindow(parent), currentTime([] { return QDateTime::currentDateTime(); }),
      endProgram([] { QCoreApplication::exit(0); }), m_options(options),
      m_transports(std::move(transports))
{
    setObjectName(QStringLiteral("Form1"));

    m_session = new Session(static_cast<SessionView &>(*this), this, m_transports.links);
    buildSections();

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(8, 6, 8, 8);
    layout->setSpacing(6);
    layout->addWidget(buildConnectionBar(this, *this));
    layout->addWidget(buildStatusLine(this, *this));
    layout->addWidget(buildBody(), 1);
    setCentralWidget(central);
    resize(1300, 640);

    // The window's own timers; the protocol timers are the session's.
    DisTimer = new QTimer(this);
    DisTimer->setObjectName(QStringLiteral("DisTimer"));
    DisTimer->setInterval(kClockDisplayIntervalMs);
    DisTimer->start();
    Time2Start = new QTimer(this);
    Time2Start->setObjectName(QStringLiteral("Time2Start"));
    Time2Start->setInterval(kAutomaticStartDelayMs);
    Time2Start->setSingleShot(true);

    showMessageBox = [this](const MessageBoxRequest &request) {
        auto *box =
            new QMessageBox(request.icon, request.title, request.text, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    };
    askQuestion = [this](const MessageBoxRequest &request) {
        QMessageBox box(request.icon, request.title, request.text, request.buttons, this);
        box.setInformativeText(request.informativeText);
        const int answer = box.exec();
        return answer == QMessageBox::Yes || answer == QMessageBox::Ok;
    };

    connect(DisTimer, &QTimer::timeout, this, &Form1::DisTimer_Timer);
    connect(Time2Start, &QTimer::timeout, this, &Form1::Time2Start_Timer);
    // A failing port is dealt with once the procedure that was using it has
    // ended, never in the middle of a dispatcher step or a reply.
    connect(m_session->Comm1, &SerialPortLink::failed, this,
            [this](const SerialPortFailure &failure) {
                QMetaObject::invokeMethod(
                    this, [this, failure] { serialPortFailed(failure); }, Qt::QueuedConnection);
            });

    connect(cmdESC, &QPushButton::clicked, this, &Form1::cmdESC_Click);
    connect(systemInfoFeature->panel()->cmdSetPara, &QPushButton::clicked, this,
            &Form1::cmdSetPara_Click);
    for (int i = 0; i < 2; ++i)
        connect(optComm[i], &QRadioButton::clicked, this, [this, i] { optComm_Click(i); });
    connect(StartRun, &QPushButton::clicked, this, &Form1::StartRun_Click);
    connect(cmdPause, &QPushButton::clicked, this, &Form1::cmdPause_Click);
    connect(cmdStop, &QPushButton::clicked, this, &Form1::cmdStop_Click);
    buildNetworkLink();

    // Shortcuts work whichever control of the window has the focus.
    QCoreApplication::instance()->installEventFilter(this);

    Form_Load();
}

Form1::~Form1() = default;

QTabWidget *Form1::buildBody()
{
    bodyTabs = new QTabWidget(this);
    bodyTabs->setObjectName(QStringLiteral("bodyTabs"));

    auto *network = new QWidget;
    {
        auto *row = new QHBoxLayout(network);
        row->addWidget(networkIdentityFeature->panel(), 1);
        row->addWidget(zigbeeFeature->panel(), 1);
    }

    auto *service = new QWidget;
    {
        auto *row = new QHBoxLayout(service);
        row->addWidget(maintenanceFeature->panel(), 1);
        row->addLayout(
            column({upgradeFeature->panel(), imageFilesFeature->panel(), dialogsFeature->panel()}),
            1);
    }

    bodyTabs->addTab(systemInfoFeature->panel(), QStringLiteral("系统信息"));
    bodyTabs->addTab(clockIoFeature->panel(), QStringLiteral("时钟与I/O"));
    bodyTabs->addTab(network, QStringLiteral("网络与Zigbee"));
    bodyTabs->addTab(service, QStringLiteral("维护与升级"));
    return bodyTabs;
}

void Form1::Form_Load()
{
    runLogged("Form_Load(Form1)", [&] {
        const QString version = QString::number(kVersionMajor) + QLatin1Char('.') +
                                QString::number(kVersionMinor) + QLatin1Char('.') +
                                QString::number(kVersionRevision);
        setWindowTitle(QStringLiteral("KVRQxxx,LTNQxxx,KVSQxxx,KVRXxxx,KVRB301 用户设置软件 V") +
                       version + QStringLiteral(" (用户版)"));

        for (RangeBounds &range : systemInfoFeature->rangeTable)
            range = RangeBounds{32767, 0};
        systemInfoFeature->rangeTableValid = true;

        m_session->timMscon->stop();
        m_session->Timer1->stop();
        m_session->Timer2->stop();
        DisTimer->start();

        InitialComboBox();

        // The serial link unless the program options ask for the network.
        const int link = m_options.link == ProgramOptions::Link::Network ? 1 : 0;
        optComm[link]->setChecked(true);
        optComm_Click(link);

        QFont bold = Text2->font();
        bold.setBold(true);
        Text2->setFont(bold);
        setStatusText(QStringLiteral("连接设备，选择通信方式后点击“通讯”按钮开始通讯"));

        systemInfoFeature->showDefaultRs485_2Settings();

        // The command-line record, kept for the whole run; a record fills the
        // panel and starts communication once, half a second later.
        commandLine = m_options.commandLineRecord;
        if (!commandLine.trimmed().isEmpty()) {
            AnalysisParam(commandLine);
            Time2Start->start();
        }
    });
}

void Form1::InitialComboBox()
{
    runLogged("InitialComboBox(Form1)", [&] {
        const PortListing ports =
            listSerialPorts(m_options.ports, m_transports.portCandidates(), m_transports.testCom);
        ComPort->addItems(ports.names);
        ComPort->setCurrentIndex(ports.selected);

        systemInfoFeature->panel()->fillOptionLists();
        clockIoFeature->panel()->fillOptionLists();
        zigbeeFeature->panel()->fillOptionLists();
    });
}

void Form1::DisTimer_Timer()
{
    NowDis->setText(clockDisplayText(currentTime()));
}

bool Form1::Form_KeyUp(int key, Qt::KeyboardModifiers modifiers)
{
    Q_UNUSED(modifiers);
    bool handled = false;
    runLogged("Form_KeyUp(Form1)", [&] {
        switch (key) {
        case Qt::Key_F7:
            handled = true;
            cmdSetPara_Click();
            break;
        case Qt::Key_Escape:
            handled = true;
            close();
            break;
        default: // Enter and every other key: nothing
            break;
        }
    });
    return handled;
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget *>(watched)->window() == this) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (!key->isAutoRepeat() && Form_KeyUp(key->key(), key->modifiers())) return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::cmdESC_Click()
{
    // Ends the program at once: no unload procedure runs.
    endProgram();
}

void Form1::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void Form1::Form_Unload()
{
    if (dialogsFeature->slaveInfoForm) dialogsFeature->slaveInfoForm->close();
}

void Form1::ForCustomer()
{
    // The user edition takes nothing away from the panel: whatever the caller
    // has just enabled stays enabled. This stays the one place an edition
    // restriction would go.
    runLogged("ForCustomer(Form1)", [] {});
}

} // namespace kalmo
