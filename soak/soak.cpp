// The soak run: the main window offscreen on the real serial port (over the
// virtual controller's pseudo-terminal) or the real UDP service (over
// loopback), the controller in this process with faults switched on, driven
// by a loop of user actions for a given time. Then the faults go off, each
// write is done once more and read back, and the device must hold what was
// written. Run without --link, each link runs in a child process of its
// own, one after the other, so that a crash is reported as one.
#include "app/form1.h"
#include "features/clock_io/clock_io_feature.h"
#include "features/dialogs/dialogs_feature.h"
#include "features/image_files/image_files_feature.h"
#include "features/upgrade/upgrade_feature.h"
#include "protocol/upgrade_package.h"
#include "sim/pty_endpoint.h"
#include "sim/udp_endpoint.h"
#include "sim/virtual_controller.h"
#include "support/wait_until.h"
#include "support/window_rig.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimeEdit>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <limits>
#include <map>
#include <thread>
#include <utility>
#include <vector>

using namespace kalmo;
using rig::control;
using rig::waitUntil;

extern char **environ;

namespace {

// Exit status of a child: anything else (a signal, a sanitizer's report)
// is a crash.
constexpr int kPassed = 0;
constexpr int kChecksFailed = 10;
constexpr int kHung = 11;

// The dispatcher must tick at least this often, beyond a wait it started.
constexpr qint64 kHangAfterMs = 10000;
// A queue that has not run empty this long after an action is stuck.
constexpr int kSettleLimitMs = 90000;
// The range of the reply delays, and how long the last delayed reply may take.
constexpr int kDelayMinMs = 50;
constexpr int kDelayMaxMs = 500;
constexpr int kLastDelayedReplyMs = kDelayMaxMs + 100;
// Without faults, every reply sent has come in after this long.
constexpr int kRepliesOnTheirWayMs = 100;
// How long a user waits for a disabled button.
constexpr int kButtonWaitMs = 15000;
// The value the last writes give the controls the script changes.
constexpr int kFinalValue = 41;

struct Options
{
    QString link; // "serial" or "network"; empty: both, each in a child
    int seconds = 600;
    quint64 seed = 0;
    double rssLimitPercent = 5;
};

qint64 nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Resident memory of this process in KiB.
qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
        if (line.startsWith("VmRSS:")) return line.simplified().split(' ').value(1).toLongLong();
    return 0;
}

// Ends the process when the dispatcher stops ticking: nothing else would.
class Watchdog
{
public:
    Watchdog()
        : m_thread([this] {
              while (!m_stop) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(200));
                  const qint64 silent = nowMs() - lastTick;
                  if (silent > allowedSilenceMs) {
                      std::printf("HANG: the dispatcher has not ticked for %lld ms\n",
                                  static_cast<long long>(silent));
                      std::fflush(stdout);
                      _exit(kHung);
                  }
              }
          })
    {
    }
    ~Watchdog()
    {
        m_stop = true;
        m_thread.join();
    }
    std::atomic<qint64> lastTick{nowMs()};
    std::atomic<qint64> allowedSilenceMs{kHangAfterMs};

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

struct Figures
{
    qint64 requests = 0;      // requests the device received
    qint64 answered = 0;      // replies the tool took
    qint64 timeouts = 0;      // Timer2 expiries
    qint64 timeoutsShown = 0; // ... that left "通讯超时" (or the upgrade's time-out) in the status
    qint64 lostAwaited = 0;   // replies lost while the tool waited for them
    qint64 lostTimedOut = 0;  // ... that ended in a time-out before the next request
    qint64 lostTaken = 0;     // ... that were taken as they came (no checksum covers them)
    qint64 lostUnawaited = 0; // replies lost to requests the queue does not wait for
    std::map<sim::ReplyFault, qint64> faults;
    qint64 actions = 0;
    qint64 cycles = 0;
    qint64 stalls = 0;          // actions whose queue did not run empty
    qint64 disabledButtons = 0; // buttons that stayed disabled
    qint64 writesLost = 0;      // parameter writes that ended well but changed nothing
    qint64 upgradesDone = 0;
    qint64 upgradesTried = 0;
    std::map<QString, qint64> messages; // message boxes by text
    qint64 questions = 0;
    qint64 rssStartKiB = 0;
    qint64 rssEndKiB = 0;
    QStringList mismatches; // what the device does not hold
};

// Reply faults that leave the tool without a sound reply. Where nothing
// checks a flipped bit (a UDP reply, a serial reply too long for the checksum
// test) or a shortened UDP reply still carries its header, the tool takes it.
bool replyLost(sim::ReplyFault fault)
{
    switch (fault) {
    case sim::ReplyFault::Dropped:
    case sim::ReplyFault::Truncated:
    case sim::ReplyFault::WrongTrailer:
    case sim::ReplyFault::WrongSequence:
    case sim::ReplyFault::Silent:
    case sim::ReplyFault::Corrupted:
        return true;
    default:
        return false;
    }
}

// Every value a window shows in its editable controls, by objectName.
std::map<QString, QString> snapshot(const QWidget &window)
{
    std::map<QString, QString> shown;
    for (const QLineEdit *box : window.findChildren<QLineEdit *>())
        if (!box->objectName().isEmpty() && !box->objectName().startsWith(u"qt_"))
            shown[box->objectName()] = box->text();
    for (const QComboBox *list : window.findChildren<QComboBox *>())
        if (!list->objectName().isEmpty()) shown[list->objectName()] = list->currentText();
    for (const QCheckBox *check : window.findChildren<QCheckBox *>())
        if (!check->objectName().isEmpty())
            shown[check->objectName()] =
                check->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    return shown;
}

// What differs between two snapshots, for the report.
QStringList differences(const QString &where, const std::map<QString, QString> &written,
                        const std::map<QString, QString> &read)
{
    QStringList out;
    for (const auto &[name, value] : written) {
        const auto found = read.find(name);
        if (found == read.end() || found->second != value)
            out << QStringLiteral("%1 %2: written \"%3\", read back \"%4\"")
                       .arg(where, name, value,
                            found == read.end() ? QStringLiteral("(none)") : found->second);
    }
    return out;
}

// A parameter window as the user works it: the button that opens it, its
// read and write buttons, and a control given a new value before each write.
struct ParameterWindow
{
    QString name;
    std::function<QPushButton *()> opener;
    std::function<QWidget *()> window; // nullptr until first opened
    const char *read;
    const char *write;
    std::function<void(QWidget &, int)> change; // the n-th new value
    bool serialOnly = false;
};

std::function<void(QWidget &, int)> newText(const char *box, int base, int span)
{
    return [=](QWidget &w, int n) {
        control<QLineEdit>(w, QString::fromLatin1(box))->setText(QString::number(base + n % span));
    };
}

std::function<void(QWidget &, int)> newChoice(const char *list)
{
    return [=](QWidget &w, int n) {
        auto *choice = control<QComboBox>(w, QString::fromLatin1(list));
        choice->setCurrentIndex(n % std::max(1, choice->count()));
    };
}

const std::function<void(QWidget &, int)> kUnchanged = [](QWidget &, int) {};

std::vector<ParameterWindow> parameterWindows(DialogsFeature &d)
{
    ParameterDialogsPanel &p = *d.panel();
    ForwardingFeature &f = *d.forwardingFeature();
    return {
        {QStringLiteral("control"), [&p] { return p.bt_Ctrl; },
         [&d] { return d.controlFeature()->dialog(); }, "bt_readCtrl", "bt_writeCtrl", kUnchanged},
        {QStringLiteral("forwarding"), [&p] { return p.bt_Resend; }, [&f] { return f.dialog(); },
         "bt_readResend", "bt_writeResend", kUnchanged},
        {QStringLiteral("slave map"),
         [&f, &p] {
             // Opened from the forwarding window.
             if (!f.dialog() || !f.dialog()->isVisible()) p.bt_Resend->click();
             return control<QPushButton>(*f.dialog(), QStringLiteral("bt_resendSlave"));
         },
         [&f] { return f.slaveDialog(); }, "bt_readSlave", "bt_writeSlave", kUnchanged},
        {QStringLiteral("redundancy"), [&p] { return p.bt_Rongyu; },
         [&d] { return d.redundancyFeature()->dialog(); }, "bt_readRongyu", "bt_writeRongyu",
         newText("txt_switchTime_0", 1, 60)},
        {QStringLiteral("SM"), [&p] { return p.bt_SM; }, [&d] { return d.smFeature()->dialog(); },
         "bt_readSM", "bt_writeSM", newText("txt_sm_0", 0, 200)},
        {QStringLiteral("CAN"), [&p] { return p.Command2; },
         [&d] { return d.canFeature()->dialog(); }, "CanRead", "CanWrite", newChoice("CanBaud"),
         true},
    };
}

class SoakRun
{
public:
    SoakRun(const Options &options, const QString &scratch)
        : m_options(options), m_network(options.link == u"network"), m_scratch(scratch)
    {
    }

    int run();

private:
    bool start();
    void switchFaults(bool on);
    void watch();
    void served(sim::ReplyFault fault);
    bool settle();
    void click(QPushButton *button);
    bool act(const std::function<void()> &action);

    void systemParameters(int n);
    void clock(int n);
    void output(int n);
    void parameterWindow(const ParameterWindow &p, int n);
    void slaves(int n);
    void image();
    void upgrade();
    std::vector<std::function<void(int)>> script();

    void finalChecks();
    void checkRoundTrip(const QString &where, QWidget &window, QPushButton *read,
                        QPushButton *write);
    void report() const;

    Options m_options;
    bool m_network;
    QString m_scratch;
    sim::VirtualController m_controller;
    std::unique_ptr<sim::PtyEndpoint> m_pty;
    std::unique_ptr<sim::UdpEndpoint> m_udp;
    std::unique_ptr<Form1> m_w;
    Watchdog m_watchdog;
    Figures m_f;
    bool m_lossPending = false; // an awaited reply was lost; its time-out has not come
    QString m_lossNote;
    bool m_faultsOff = false;
    qint64 m_deadline = 0;
};

bool SoakRun::start()
{
    ProgramOptions options;
    QString error;
    if (m_network) {
        // An address of its own and a free service port, so that no other
        // controller on this machine answers.
        const QString address = QStringLiteral("127.0.0.%1").arg(100 + getpid() % 100);
        options.link = ProgramOptions::Link::Network;
        options.device = address;
        m_w = std::make_unique<Form1>(options, rig::realLinks());
        m_w->session().discoveryPort = 0;
    } else {
        m_pty = std::make_unique<sim::PtyEndpoint>(&m_controller);
        if (!m_pty->open(&error)) {
            std::printf("no pseudo-terminal: %s\n", qPrintable(error));
            return false;
        }
        options.ports = {m_pty->slavePath()};
        m_w = std::make_unique<Form1>(options, rig::realLinks());
    }
    m_w->showMessageBox = [this](const MessageBoxRequest &box) {
        ++m_f.messages[box.text];
        // Without faults nothing goes wrong that a box would tell.
        if (m_faultsOff) m_f.mismatches << QStringLiteral("message box: ") + box.text;
    };
    m_w->askQuestion = [this](const MessageBoxRequest &) {
        ++m_f.questions;
        return true;
    };
    m_w->imageFilesFeature->chooseSaveFile = [this](const QString &) {
        return m_scratch + QStringLiteral("/soak-image.txt");
    };
    m_w->imageFilesFeature->chooseImageFile = [this] {
        return m_scratch + QStringLiteral("/soak-image.txt");
    };
    watch();
    m_w->show();
    m_w->StartRun_Click();
    if (m_network) {
        m_udp = std::make_unique<sim::UdpEndpoint>(&m_controller);
        sim::UdpEndpointSettings settings;
        settings.address = QHostAddress(options.device);
        settings.servicePort = 0;
        settings.announcePort = m_w->session().wsckDeviceQuery->localPort();
        if (!m_udp->open(settings, &error)) {
            std::printf("no UDP service: %s\n", qPrintable(error));
            return false;
        }
        QObject::connect(m_udp.get(), &sim::UdpEndpoint::requestServed, m_w.get(),
                         [this](const sim::NetworkExchange &e) { served(e.fault); });
    } else {
        QObject::connect(m_pty.get(), &sim::PtyEndpoint::requestServed, m_w.get(),
                         [this](const sim::SerialExchange &e) {
                             served(e.wrongRate ? sim::ReplyFault::Silent : e.fault);
                         });
    }
    // The first reads, done once the system information is in.
    return waitUntil(
        [this] {
            return m_w->dispatcher().stack().top() == 0 &&
                   control(*m_w, QStringLiteral("cmdSetPara"))->isEnabled() &&
                   !control<QLineEdit>(*m_w, QStringLiteral("txtDIPrevent"))->text().isEmpty();
        },
        30000);
}

void SoakRun::switchFaults(bool on)
{
    sim::FaultOptions faults;
    if (on) {
        faults.dropProbability = 0.10;
        faults.corruptProbability = 0.05;
        faults.truncateProbability = 0.05;
        faults.wrongTrailerProbability = 0.02;
        faults.errorStatusProbability = 0.02;
        faults.wrongSequenceProbability = 0.02;
        faults.delayMs = kDelayMinMs;
        faults.delayMaxMs = kDelayMaxMs;
        faults.seed = m_options.seed;
    }
    m_controller.setFaults(faults);
}

// The dispatcher's ticks, replies and time-outs feed the watchdog and the
// figures.
void SoakRun::watch()
{
    Session &s = m_w->session();
    const auto tick = [this, &s] {
        m_watchdog.lastTick = nowMs();
        m_watchdog.allowedSilenceMs =
            kHangAfterMs + (s.Timer2->isActive() ? s.Timer2->remainingTime() : 0);
    };
    QObject::connect(s.Timer1, &QTimer::timeout, m_w.get(), tick);
    QObject::connect(&s, &Session::replyTaken, m_w.get(), [this, tick] {
        ++m_f.answered;
        // A damaged reply the tool could still take: handled as it is.
        if (m_lossPending) ++m_f.lostTaken;
        m_lossPending = false;
        tick();
    });
    // Connected after the session's own slot: the status is already written.
    QObject::connect(s.Timer2, &QTimer::timeout, m_w.get(), [this, tick] {
        ++m_f.timeouts;
        const QString status = m_w->Text2->text();
        if (status == kTimeOutText || status == kUpgradeTimeOutText) ++m_f.timeoutsShown;
        if (m_lossPending) ++m_f.lostTimedOut;
        m_lossPending = false;
        tick();
    });
}

void SoakRun::served(sim::ReplyFault fault)
{
    ++m_f.requests;
    if (fault != sim::ReplyFault::None) ++m_f.faults[fault];
    if (m_lossPending && qEnvironmentVariableIsSet("SOAK_TRACE"))
        std::printf("lost reply without time-out: %s, status %s\n", qPrintable(m_lossNote),
                    qPrintable(m_w->Text2->text()));
    m_lossPending = false; // a loss not timed out by now never will be
    if (!replyLost(fault)) return;
    // The request is out: the tool's Timer2 runs when it waits for the reply.
    if (m_w->session().Timer2->isActive()) {
        ++m_f.lostAwaited;
        m_lossPending = true;
        m_lossNote = QStringLiteral("fault %1 during %2").arg(int(fault)).arg(m_w->Text2->text());
    } else {
        ++m_f.lostUnawaited;
    }
}

// Waits until the queue is back to the idle read and no reply is awaited.
bool SoakRun::settle()
{
    const auto idle = [this] {
        const Session &s = m_w->session();
        return m_w->isEnabled() && m_w->dispatcher().stack().top() == 0 && !s.Timer2->isActive() &&
               m_w->dispatcher().upgradeFlag() == 0 && !s.Sleep_Timer->isActive();
    };
    // Reads the queue does not wait for may still be answered: the queue
    // must stay idle while their replies come in.
    QElapsedTimer clock;
    clock.start();
    bool done = false;
    while (!done && clock.elapsed() < kSettleLimitMs) {
        if (!waitUntil(idle, int(kSettleLimitMs - clock.elapsed()))) break;
        waitUntil([] { return false; }, kRepliesOnTheirWayMs);
        done = idle();
    }
    if (!done) ++m_f.stalls;
    return done;
}

// Clicks a button of a window on screen once it is enabled, as a user
// would wait for it; one that stays disabled is left and counted.
void SoakRun::click(QPushButton *button)
{
    if (!button->window()->isVisible()) return;
    if (waitUntil([button] { return button->isEnabled(); }, kButtonWaitMs))
        button->click();
    else {
        ++m_f.disabledButtons;
        if (qEnvironmentVariableIsSet("SOAK_TRACE"))
            std::printf("disabled: %s, status %s, devices %d\n", qPrintable(button->objectName()),
                        qPrintable(m_w->Text2->text()), m_w->cmbDevice->count());
    }
}

bool SoakRun::act(const std::function<void()> &action)
{
    if (nowMs() >= m_deadline) return false;
    const qint64 t0 = nowMs();
    action();
    settle();
    ++m_f.actions;
    if (qEnvironmentVariableIsSet("SOAK_TRACE"))
        std::printf("action %lld: %lld ms, status %s\n", static_cast<long long>(m_f.actions),
                    static_cast<long long>(nowMs() - t0), qPrintable(m_w->Text2->text()));
    return true;
}

void SoakRun::systemParameters(int n)
{
    act([&] { click(control<QPushButton>(*m_w, QStringLiteral("cmdGetSys"))); });
    // A write that ended without a time-out or a failure status must have
    // given the device what was typed.
    const int debounce = 10 + n % 90;
    const qint64 timeouts = m_f.timeouts;
    const qint64 refusals = m_f.faults[sim::ReplyFault::ErrorStatus];
    const bool done = act([&] {
        control<QLineEdit>(*m_w, QStringLiteral("txtDIPrevent"))
            ->setText(QString::number(debounce));
        click(control<QPushButton>(*m_w, QStringLiteral("cmdSetPara")));
    });
    if (done && m_f.timeouts == timeouts && m_f.faults[sim::ReplyFault::ErrorStatus] == refusals &&
        m_controller.state().system.diDebounce != debounce)
        ++m_f.writesLost;
}

void SoakRun::clock(int n)
{
    act([&] {
        control<QDateEdit>(*m_w, QStringLiteral("clkDate"))
            ->setDate(QDate(2024, 1, 1).addDays(n % 700));
        control<QTimeEdit>(*m_w, QStringLiteral("clkTime"))
            ->setTime(QTime(8, 0).addSecs(n * 61 % 36000));
        click(control<QPushButton>(*m_w, QStringLiteral("cmdWrclock")));
    });
}

void SoakRun::output(int n)
{
    act([&] { click(control<QPushButton>(*m_w, QStringLiteral("bt_DIQ_%1").arg(n % 4))); });
}

// Opens a parameter window, reads it, gives one control a new value and
// writes it back.
void SoakRun::parameterWindow(const ParameterWindow &p, int n)
{
    act([&] { click(p.opener()); });
    QWidget *w = p.window();
    if (!w) return;
    act([&] { click(control<QPushButton>(*w, QString::fromLatin1(p.read))); });
    act([&] {
        p.change(*w, n);
        click(control<QPushButton>(*w, QString::fromLatin1(p.write)));
    });
    w->hide();
}

// The slave window: its 16 reads, a write, and back to the main window.
void SoakRun::slaves(int n)
{
    DialogsFeature &d = *m_w->dialogsFeature;
    act([&] { click(d.panel()->btSlaveShow); });
    QWidget *w = d.slaveFeature()->dialog();
    if (w && w->isVisible()) {
        act([&] {
            control<QLineEdit>(*w, QStringLiteral("txtScanTime_0"))
                ->setText(QString::number(100 + n % 100));
            click(control<QPushButton>(*w, QStringLiteral("Command1")));
        });
        act([&] { click(control<QPushButton>(*w, QStringLiteral("Command2"))); });
    }
}

void SoakRun::image()
{
    act([&] { click(control<QPushButton>(*m_w, QStringLiteral("cmdSave"))); });
    act([&] { click(control<QPushButton>(*m_w, QStringLiteral("cmdRead"))); });
}

// A firmware image of a few packets.
void SoakRun::upgrade()
{
    const QString path = m_scratch + QStringLiteral("/soak-firmware.bin");
    if (!QFile::exists(path)) {
        QFile file(path);
        QByteArray image(4 * kUpgradePacketSize, '\0');
        for (qsizetype k = 0; k < image.size(); ++k)
            image[k] = char(k * 7 % 253);
        if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size()) return;
    }
    const int before = m_controller.state().firmware.completedTransfers;
    const bool tried = act([&] {
        m_w->upgradeFeature->panel()->txt_UpdataAddr->setText(path);
        click(m_w->upgradeFeature->panel()->bt_Updata);
    });
    if (!tried) return;
    ++m_f.upgradesTried;
    if (m_controller.state().firmware.completedTransfers > before) ++m_f.upgradesDone;
}

// The user's actions, each a step the loop takes in turn; a step's argument
// counts how often it has come.
std::vector<std::function<void(int)>> SoakRun::script()
{
    std::vector<std::function<void(int)>> steps{
        [this](int n) { systemParameters(n); },
        [this](int n) { clock(n); },
        [this](int n) { output(n); },
    };
    for (const ParameterWindow &p : parameterWindows(*m_w->dialogsFeature))
        if (!m_network || !p.serialOnly)
            steps.push_back([this, p](int n) { parameterWindow(p, n); });
    steps.push_back([this](int n) { slaves(n); });
    steps.push_back([this](int) { image(); });
    steps.push_back([this](int) { upgrade(); });
    return steps;
}

// Writes a window, reads it back and compares it with what it showed.
void SoakRun::checkRoundTrip(const QString &where, QWidget &window, QPushButton *read,
                             QPushButton *write)
{
    const auto written = snapshot(window);
    click(write);
    if (!settle()) m_f.mismatches << where + QStringLiteral(": the write did not finish");
    click(read);
    if (!settle()) m_f.mismatches << where + QStringLiteral(": the read did not finish");
    m_f.mismatches << differences(where, written, snapshot(window));
}

// With the faults off: every write once more, and read back.
void SoakRun::finalChecks()
{
    switchFaults(false);
    m_faultsOff = true;
    m_deadline = std::numeric_limits<qint64>::max();
    waitUntil([] { return false; }, kLastDelayedReplyMs); // replies held back by the faults
    settle();
    Form1 &w = *m_w;
    const auto button = [&w](QWidget &in, const char *name) {
        return control<QPushButton>(in, QString::fromLatin1(name));
    };

    // System parameters: the tab as written is the tab read back.
    click(button(w, "cmdGetSys"));
    settle();
    control<QLineEdit>(w, QStringLiteral("txtDIPrevent"))->setText(QString::number(kFinalValue));
    QWidget &systemTab = *control(w, QStringLiteral("mainDeviceFrame"))->parentWidget();
    checkRoundTrip(QStringLiteral("system parameters"), systemTab, button(w, "cmdGetSys"),
                   button(w, "cmdSetPara"));
    if (m_controller.state().system.diDebounce != kFinalValue)
        m_f.mismatches << QStringLiteral("device DI debounce %1, %2 written")
                              .arg(m_controller.state().system.diDebounce)
                              .arg(kFinalValue);

    // The clock runs on from the time written.
    const QDateTime set(QDate(2025, 6, 30), QTime(23, 59, 30), Qt::UTC);
    control<QDateEdit>(w, QStringLiteral("clkDate"))->setDate(set.date());
    control<QTimeEdit>(w, QStringLiteral("clkTime"))->setTime(set.time());
    QElapsedTimer since;
    since.start();
    click(button(w, "cmdWrclock"));
    settle();
    const qint64 ahead = set.secsTo(m_controller.clockReading());
    if (ahead < -1 || ahead > since.elapsed() / 1000 + 1)
        m_f.mismatches << QStringLiteral("device clock %1, %2 written")
                              .arg(m_controller.clockReading().toString(Qt::ISODate),
                                   set.toString(Qt::ISODate));

    // Outputs Q0.0 .. Q0.3 each switched once.
    auto expected = m_controller.state().dio.outputs;
    for (int k = 0; k < 4; ++k) {
        expected[std::size_t(k)] = !expected[std::size_t(k)];
        click(button(w, QStringLiteral("bt_DIQ_%1").arg(k).toLatin1().constData()));
        settle();
    }
    for (int k = 0; k < 4; ++k)
        if (m_controller.state().dio.outputs[std::size_t(k)] != expected[std::size_t(k)])
            m_f.mismatches << QStringLiteral("device output %1 is %2")
                                  .arg(k)
                                  .arg(m_controller.state().dio.outputs[std::size_t(k)]);

    // Every parameter window, read, changed, written and read back.
    for (const ParameterWindow &p : parameterWindows(*w.dialogsFeature)) {
        if (m_network && p.serialOnly) continue;
        click(p.opener());
        settle();
        QWidget *window = p.window();
        if (!window) {
            m_f.mismatches << p.name + QStringLiteral(": the window did not open");
            continue;
        }
        click(button(*window, p.read));
        settle();
        p.change(*window, kFinalValue);
        checkRoundTrip(p.name, *window, button(*window, p.read), button(*window, p.write));
        window->hide();
    }
}

int SoakRun::run()
{
    if (!start()) {
        std::printf("%s: the first reads did not finish (status: %s)\n", qPrintable(m_options.link),
                    m_w ? qPrintable(m_w->Text2->text()) : "");
        return kChecksFailed;
    }
    // One pass of the script without faults first: every window made, the
    // caches and allocator pools filled, before memory is measured.
    const std::vector<std::function<void(int)>> steps = script();
    m_deadline = std::numeric_limits<qint64>::max();
    for (const auto &step : steps)
        step(0);
    const Figures warmUp = std::exchange(m_f, Figures());
    m_f.stalls = warmUp.stalls;

    switchFaults(true);
    const qint64 began = nowMs();
    m_deadline = began + qint64(m_options.seconds) * 1000;
    // Resident memory from a tenth of the run on.
    const qint64 measureFrom = began + qint64(m_options.seconds) * 100;
    // A short run covers part of the script: the seed chooses where it begins.
    const std::size_t first = std::size_t(m_options.seed % steps.size());
    for (std::size_t k = first; nowMs() < m_deadline; ++k) {
        steps[k % steps.size()](int(k / steps.size()) + 1);
        if (nowMs() < m_deadline && (k + 1 - first) % steps.size() == 0) ++m_f.cycles;
        if (m_f.rssStartKiB == 0 && nowMs() >= measureFrom) m_f.rssStartKiB = residentKiB();
    }
    if (m_f.rssStartKiB == 0) m_f.rssStartKiB = residentKiB();
    m_f.rssEndKiB = residentKiB();
    finalChecks();
    report();

    const double growth = 100.0 * double(m_f.rssEndKiB - m_f.rssStartKiB) / double(m_f.rssStartKiB);
    const bool passed = m_f.mismatches.isEmpty() && m_f.stalls == 0 && m_f.writesLost == 0 &&
                        m_f.lostTimedOut + m_f.lostTaken == m_f.lostAwaited &&
                        m_f.timeoutsShown == m_f.timeouts && growth <= m_options.rssLimitPercent;
    return passed ? kPassed : kChecksFailed;
}

void SoakRun::report() const
{
    const Figures &f = m_f;
    const double growth = 100.0 * double(f.rssEndKiB - f.rssStartKiB) / double(f.rssStartKiB);
    const auto row = [](const char *what, const QString &value) {
        std::printf("  %-34s %s\n", what, qPrintable(value));
    };
    const auto fault = [&f](sim::ReplyFault kind) {
        const auto found = f.faults.find(kind);
        return found == f.faults.end() ? qint64(0) : found->second;
    };
    std::printf("== %s link, %d s, seed %llu\n", qPrintable(m_options.link), m_options.seconds,
                static_cast<unsigned long long>(m_options.seed));
    row("cycles / actions", QStringLiteral("%1 / %2").arg(f.cycles).arg(f.actions));
    row("requests sent", QString::number(f.requests));
    row("replies accepted", QString::number(f.answered));
    row("time-outs (shown as 通讯超时)",
        QStringLiteral("%1 (%2)").arg(f.timeouts).arg(f.timeoutsShown));
    row("faults: dropped/corrupt/truncated", QStringLiteral("%1 / %2 / %3")
                                                 .arg(fault(sim::ReplyFault::Dropped))
                                                 .arg(fault(sim::ReplyFault::Corrupted))
                                                 .arg(fault(sim::ReplyFault::Truncated)));
    row(m_network ? "faults: error status/wrong sequence" : "faults: wrong trailer/wrong rate",
        m_network ? QStringLiteral("%1 / %2")
                        .arg(fault(sim::ReplyFault::ErrorStatus))
                        .arg(fault(sim::ReplyFault::WrongSequence))
                  : QStringLiteral("%1 / %2")
                        .arg(fault(sim::ReplyFault::WrongTrailer))
                        .arg(fault(sim::ReplyFault::Silent)));
    row("lost replies awaited: timed out+taken",
        QStringLiteral("%1: %2+%3").arg(f.lostAwaited).arg(f.lostTimedOut).arg(f.lostTaken));
    row("lost replies not awaited", QString::number(f.lostUnawaited));
    row("stalled queues / disabled buttons",
        QStringLiteral("%1 / %2").arg(f.stalls).arg(f.disabledButtons));
    row("writes ended well, not held", QString::number(f.writesLost));
    row("upgrades done / tried",
        QStringLiteral("%1 / %2").arg(f.upgradesDone).arg(f.upgradesTried));
    qint64 boxes = 0;
    for (const auto &[text, count] : f.messages)
        boxes += count;
    row("message boxes / questions", QStringLiteral("%1 / %2").arg(boxes).arg(f.questions));
    row("resident memory start / end", QStringLiteral("%1 KiB / %2 KiB (%3%4 %, limit %5 %)")
                                           .arg(f.rssStartKiB)
                                           .arg(f.rssEndKiB)
                                           .arg(growth >= 0 ? QStringLiteral("+") : QString())
                                           .arg(growth, 0, 'f', 1)
                                           .arg(m_options.rssLimitPercent));
    row("device holds what was last written",
        f.mismatches.isEmpty() ? QStringLiteral("yes") : QStringLiteral("NO"));
    for (const QString &m : f.mismatches)
        std::printf("    %s\n", qPrintable(m));
    std::fflush(stdout);
}

// ---- Both links, each in a child process -------------------------------------

int runChild(const QStringList &arguments, const Options &options)
{
    QList<QByteArray> args;
    for (const QString &a : arguments)
        args << a.toLocal8Bit();
    args << "--link" << options.link.toLatin1() << "--seed" << QByteArray::number(options.seed);
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv.data(), environ) != 0) {
        std::printf("%s: the child did not start\n", qPrintable(options.link));
        return -1;
    }
    // The watchdog inside ends a hung child; this is for one that cannot.
    const qint64 limit = nowMs() + (qint64(options.seconds) + 600) * 1000;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (nowMs() > limit) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return kHung;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

int runBothLinks(const QStringList &arguments, Options options)
{
    int crashes = 0;
    int hangs = 0;
    int failures = 0;
    std::printf("link     crashes  hangs  verdict\n");
    QStringList lines;
    for (const char *link : {"serial", "network"}) {
        options.link = QString::fromLatin1(link);
        const int status = runChild(arguments, options);
        const bool crashed = status != kPassed && status != kChecksFailed && status != kHung;
        crashes += crashed;
        hangs += status == kHung;
        failures += status == kChecksFailed;
        lines << QStringLiteral("%1 %2  %3  %4")
                     .arg(options.link, -8)
                     .arg(crashed ? 1 : 0, 7)
                     .arg(status == kHung ? 1 : 0, 5)
                     .arg(status == kPassed         ? QStringLiteral("pass")
                          : status == kChecksFailed ? QStringLiteral("FAILED")
                          : status == kHung         ? QStringLiteral("HUNG")
                                            : QStringLiteral("CRASHED (status %1)").arg(status));
    }
    std::printf("== Summary\n");
    for (const QString &line : lines)
        std::printf("%s\n", qPrintable(line));
    return crashes + hangs + failures == 0 ? 0 : 1;
}

// The offscreen platform says, for every window shown, what it cannot do.
QtMessageHandler g_defaultHandler = nullptr;

void withoutPlatformNotes(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg && text.startsWith(u"This plugin does not support")) return;
    g_defaultHandler(type, context, text);
}

Options parseOptions(const QStringList &args)
{
    Options o;
    o.seed = quint64(QDateTime::currentMSecsSinceEpoch());
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        const QString &name = args[i];
        const QString &value = args[i + 1];
        if (name == u"--link")
            o.link = value;
        else if (name == u"--seconds")
            o.seconds = value.toInt();
        else if (name == u"--seed")
            o.seed = value.toULongLong();
        else if (name == u"--rss-limit")
            o.rssLimitPercent = value.toDouble();
    }
    return o;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const Options options = parseOptions(arguments);
    if ((arguments.size() - 1) % 2 != 0 || options.seconds <= 0 ||
        (!options.link.isEmpty() && options.link != u"serial" && options.link != u"network")) {
        std::fprintf(stderr,
                     "usage: %s [--seconds N] [--seed N] [--rss-limit PERCENT] "
                     "[--link serial|network]\n",
                     argv[0]);
        return 2;
    }
    if (options.link.isEmpty()) return runBothLinks(arguments, options);

    // Error logs, the image file and the firmware go to a scratch directory,
    // which is also the runtime directory Qt asks for when none is set.
    QTemporaryDir scratch;
    if (!scratch.isValid() || !QDir::setCurrent(scratch.path())) {
        std::printf("no scratch directory\n");
        return kChecksFailed;
    }
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(scratch.path()));
    g_defaultHandler = qInstallMessageHandler(withoutPlatformNotes);
    QApplication app(argc, argv);
    SoakRun run(options, scratch.path());
    return run.run();
}
