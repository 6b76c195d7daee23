#include "app/form1.h"

#include "features/system_info/system_info_panel.h"
#include "features/image_files/image_file_panel.h"
#include "transport/serial_link.h"
#include "features/clock_io/clock_io_panel.h"
#include "features/common/controls.h"
#include "features/maintenance/maintenance_panel.h"
#include "features/network_identity/network_identity_panel.h"
#include "features/dialogs/parameter_dialogs_panel.h"
#include "features/zigbee/zigbee_panel.h"
#include "core/error_log.h"
#include "features/upgrade/upgrade_panel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QProgressBar>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <limits>

namespace kalmo {

using namespace controls;

namespace {

constexpr int kHighestComPort = 128;

// Fixed option lists, in list-index order.
const QStringList &parityItems()
{
    static const QStringList items{QStringLiteral("无校验"), QStringLiteral("奇校验"),
                                   QStringLiteral("偶校验"), QStringLiteral("空格校验"),
                                   QStringLiteral("Mark校验")};
    return items;
}

const QStringList &dataBitItems()
{
    static const QStringList items{QStringLiteral("8位"), QStringLiteral("7位")};
    return items;
}

const QStringList &stopBitItems()
{
    static const QStringList items{QStringLiteral("1位"), QStringLiteral("2位")};
    return items;
}

const QStringList &baudRateItems()
{
    static const QStringList items{QStringLiteral("1200bps"),  QStringLiteral("2400bps"),
                                   QStringLiteral("4800bps"),  QStringLiteral("9600bps"),
                                   QStringLiteral("19200bps"), QStringLiteral("38400bps"),
                                   QStringLiteral("57600bps"), QStringLiteral("115200bps"),
                                   QStringLiteral("500K bps"), QStringLiteral("1M bps")};
    return items;
}

const QStringList &protocolItems()
{
    static const QStringList items{QStringLiteral("Debug"),      QStringLiteral("ModbusRTU"),
                                   QStringLiteral("ModbusASII"), QStringLiteral("Adam"),
                                   QStringLiteral("Panasoic"),   QStringLiteral("S7-200"),
                                   QStringLiteral("OMRON")};
    return items;
}

const QStringList &weekDayItems()
{
    static const QStringList items{QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三"),
                                   QStringLiteral("四"), QStringLiteral("五"), QStringLiteral("六"),
                                   QStringLiteral("日")};
    return items;
}

const QStringList &zigbeeNetworkTypeItems()
{
    static const QStringList items{QStringLiteral("星型"), QStringLiteral("链1"),
                                   QStringLiteral("链2"),  QStringLiteral("链3"),
                                   QStringLiteral("链4"),  QStringLiteral("网型")};
    return items;
}

const QStringList &zigbeeRoleItems()
{
    static const QStringList items{QStringLiteral("协调器"), QStringLiteral("路由设备"),
                                   QStringLiteral("端点设备")};
    return items;
}

// Fills a list that starts with nothing selected, as the panel expects.
void fillList(QComboBox *list, const QStringList &items)
{
    list->addItems(items);
    list->setCurrentIndex(-1);
}

QTimer *makeTimer(QObject *parent, const QString &name, int interval, bool enabled)
{
    auto *timer = new QTimer(parent);
    timer->setObjectName(name);
    timer->setInterval(interval);
    if (enabled) timer->start();
    return timer;
}

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

PortListing listSerialPorts(const QStringList &namedPorts, const QStringList &candidates,
                            const std::function<bool(const QString &)> &testCom)
{
    PortListing listing;
    for (const QString &name : namedPorts)
        if (!listing.names.contains(name)) listing.names.append(name);
    for (const QString &name : candidates)
        if (!listing.names.contains(name) && testCom(name)) listing.names.append(name);
    listing.selected = listing.names.isEmpty() ? -1 : 0;
    return listing;
}

QStringList windowsPortCandidates()
{
    QStringList names;
    names.reserve(kHighestComPort);
    for (int n = 1; n <= kHighestComPort; ++n)
        names.append(QStringLiteral("COM") + QString::number(n));
    return names;
}

QStringList platformPortCandidates()
{
#ifdef Q_OS_WIN
    return windowsPortCandidates();
#else
    QStringList names;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names.append(info.portName());
    return names;
#endif
}

bool TestCom(const QString &portName)
{
    QSerialPort port;
    port.setPortName(portName);
    port.setBaudRate(QSerialPort::Baud9600);
    port.setParity(QSerialPort::NoParity);
    port.setDataBits(QSerialPort::Data8);
    port.setStopBits(QSerialPort::OneStop);
    if (!port.open(QIODevice::ReadWrite)) return false;
    port.close();
    return true;
}

QString clockDisplayText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy年MM月dd日    hh:mm:ss"));
}

SerialPortChoice chooseSerialPort(const QString *selectedEntry, const SerialPortChoice &last)
{
    if (!selectedEntry) return last;
    const QString name = selectedEntry->trimmed();
    if (name.startsWith(QStringLiteral("COM"))) {
        bool ok = false;
        const int number = name.mid(3).toInt(&ok);
        if (ok && number >= 1 && number <= 32768)
            return {QStringLiteral("COM") + QString::number(number), qint16(number - 1)};
    }
    return {name, last.index};
}

Form1::Form1(const ProgramOptions &options, WindowTransports transports, QWidget *parent)
    : QMainWindow(parent), currentTime([] { return QDateTime::currentDateTime(); }),
      endProgram([] { QCoreApplication::exit(0); }), m_options(options),
      m_transports(std::move(transports))
{
    setObjectName(QStringLiteral("Form1"));

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(8, 6, 8, 8);
    layout->setSpacing(6);
    layout->addWidget(buildConnectionBar());
    layout->addWidget(buildStatusLine());
    layout->addWidget(buildBody(), 1);
    setCentralWidget(central);
    resize(1300, 640);

    buildTimers();

    m_session = new Session(static_cast<SessionView &>(*this), this, m_transports.links);
    Timer1 = m_session->Timer1;
    Timer2 = m_session->Timer2;
    timMscon = m_session->timMscon;
    Sleep_Timer = m_session->Sleep_Timer;
    ProgressTimer = m_session->ProgressTimer;
    timCheckDevice = m_session->timCheckDevice;
    Comm1 = m_session->Comm1;
    wsckR_W = m_session->wsckR_W;
    registerWithSession();

    showMessageBox = [this](const MessageBoxRequest &request) {
        auto *box =
            new QMessageBox(request.icon, request.title, request.text, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    };

    connect(DisTimer, &QTimer::timeout, this, &Form1::DisTimer_Timer);
    connect(Time2Start, &QTimer::timeout, this, &Form1::Time2Start_Timer);
    // A failing port is dealt with once the procedure that was using it has
    // ended, never in the middle of a dispatcher step or a reply.
    connect(Comm1, &SerialPortLink::failed, this, [this](const SerialPortFailure &failure) {
        QMetaObject::invokeMethod(
            this, [this, failure] { serialPortFailed(failure); }, Qt::QueuedConnection);
    });

    connect(cmdESC, &QPushButton::clicked, this, &Form1::cmdESC_Click);
    connect(systemInfo->cmdSetPara, &QPushButton::clicked, this, &Form1::cmdSetPara_Click);
    for (int i = 0; i < 2; ++i)
        connect(optComm[i], &QRadioButton::clicked, this, [this, i] { optComm_Click(i); });
    connect(StartRun, &QPushButton::clicked, this, &Form1::StartRun_Click);
    connect(cmdPause, &QPushButton::clicked, this, &Form1::cmdPause_Click);
    connect(cmdStop, &QPushButton::clicked, this, &Form1::cmdStop_Click);
    connectPanel();
    buildNetworkLink();

    // Shortcuts work whichever control of the window has the focus.
    QCoreApplication::instance()->installEventFilter(this);

    Form_Load();
}

Form1::~Form1() = default;

QWidget *Form1::buildConnectionBar()
{
    auto *bar = new QFrame(this);
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
    NowDis->setMinimumWidth(
        NowDis->fontMetrics().horizontalAdvance(QStringLiteral("0000年00月00日    00:00:00")) + 8);
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

QWidget *Form1::buildStatusLine()
{
    auto *line = new QWidget(this);
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

QTabWidget *Form1::buildBody()
{
    bodyTabs = new QTabWidget(this);
    bodyTabs->setObjectName(QStringLiteral("bodyTabs"));

    systemInfo = new SystemInfoPanel;
    clockIo = new ClockIoPanel;
    networkIdentity = new NetworkIdentityPanel;
    zigbee = new ZigbeePanel;
    maintenance = new MaintenancePanel;
    upgrade = new UpgradePanel;
    imageFiles = new ImageFilePanel;
    parameterDialogs = new ParameterDialogsPanel;

    auto *network = new QWidget;
    {
        auto *row = new QHBoxLayout(network);
        row->addWidget(networkIdentity, 1);
        row->addWidget(zigbee, 1);
    }

    auto *service = new QWidget;
    {
        auto *row = new QHBoxLayout(service);
        row->addWidget(maintenance, 1);
        row->addLayout(column({upgrade, imageFiles, parameterDialogs}), 1);
    }

    bodyTabs->addTab(systemInfo, QStringLiteral("系统信息"));
    bodyTabs->addTab(clockIo, QStringLiteral("时钟与I/O"));
    bodyTabs->addTab(network, QStringLiteral("网络与Zigbee"));
    bodyTabs->addTab(service, QStringLiteral("维护与升级"));
    return bodyTabs;
}

void Form1::buildTimers()
{
    // The state the window's own timers have when it is built; the protocol
    // timers are the session's.
    DisTimer = makeTimer(this, QStringLiteral("DisTimer"), 1000, true);
    Time2Start = makeTimer(this, QStringLiteral("Time2Start"), 500, false);
    Time2Start->setSingleShot(true);
}

void Form1::Form_Load()
{
    runLogged("Form_Load(Form1)", [&] {
        const QString version = QString::number(kVersionMajor) + QLatin1Char('.') +
                                QString::number(kVersionMinor) + QLatin1Char('.') +
                                QString::number(kVersionRevision);
        setWindowTitle(QStringLiteral("KVRQxxx,LTNQxxx,KVSQxxx,KVRXxxx,KVRB301 用户设置软件 V") +
                       version + QStringLiteral(" (用户版)"));

        for (RangeBounds &range : rangeTable)
            range = RangeBounds{32767, 0};
        rangeTableValid = true;

        for (QCheckBox *box : maintenance->Check_SysParam)
            box->setChecked(true);

        timMscon->stop();
        Timer1->stop();
        Timer2->stop();
        DisTimer->start();

        InitialComboBox();

        // The serial link unless the program options ask for the network.
        const int link = m_options.link == ProgramOptions::Link::Network ? 1 : 0;
        optComm[link]->setChecked(true);
        optComm_Click(link);

        QFont bold = Text2->font();
        bold.setBold(true);
        Text2->setFont(bold);
        Text2->setText(QStringLiteral("连接设备，选择通信方式后点击“通讯”按钮开始通讯"));

        systemInfo->Text_ErrorTimeComm2->setText(QStringLiteral("10"));
        systemInfo->Text_InterTimeComm2->setText(QStringLiteral("100"));
        systemInfo->Text_WaitTimeComm2->setText(QStringLiteral("1000"));

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

        for (int p = 0; p < 2; ++p) {
            fillList(systemInfo->Combo6[p], parityItems());
            fillList(systemInfo->Combo7[p], dataBitItems());
            fillList(systemInfo->Combo8[p], stopBitItems());
            fillList(systemInfo->Combo9[p], baudRateItems());
            fillList(systemInfo->Combo10[p], protocolItems());
        }
        fillList(clockIo->Combo_WeekDay, weekDayItems());
        fillList(zigbee->Combo_Nettype, zigbeeNetworkTypeItems());
        fillList(zigbee->Combo_zlogic, zigbeeRoleItems());
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
    if (slaveInfoForm) slaveInfoForm->close();
}

void Form1::ForCustomer()
{
    // The user edition takes nothing away from the panel: whatever the caller
    // has just enabled stays enabled. This stays the one place an edition
    // restriction would go.
    runLogged("ForCustomer(Form1)", [] {});
}

} // namespace kalmo
