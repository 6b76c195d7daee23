#pragma once
// What every panel section has in common: the session it registers its
// builders and reply handlers with, the window's services it shows through,
// the requests sections make of each other, and the moments at which a
// section changes what it enables, shows and clears.
#include "protocol/dido_block.h"
#include "protocol/image_file.h"
#include "session/session.h"

#include <QDate>
#include <QDateTime>
#include <QMessageBox>
#include <QObject>
#include <QString>

#include <functional>
#include <vector>

namespace kalmo {

// A message box the window shows; tests replace Form1::showMessageBox to
// watch them.
struct MessageBoxRequest
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QString informativeText; // a second, smaller text under the first
    // The buttons of a question: Yes and No, or OK and Cancel.
    QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
};

// What the window does for its sections.
class WindowServices
{
public:
    virtual ~WindowServices() = default;
    virtual Link chosenLink() const = 0;
    // The PC's clock as the window shows it.
    virtual QDateTime now() const = 0;
    virtual void setStatus(const QString &text) = 0;
    virtual void showBox(const MessageBoxRequest &request) = 0;
    // A question with the request's buttons; answers whether Yes or OK was
    // chosen.
    virtual bool ask(const MessageBoxRequest &request) = 0;
    // A box that does not convert: the log line, "数据格式错误：" and the
    // box's label in the status box and a message box, and the focus on the
    // control.
    virtual void refuseField(const QString &control, const QString &label, const QString &logLabel,
                             const QString &description) = 0;
    // The user-edition restriction, applied after a section has enabled its
    // controls.
    virtual void ForCustomer() = 0;
    // The serial port opened again with other settings (throws
    // ProcedureError when it does not open), and communication started
    // again as "通讯" starts it.
    virtual void reopenSerialPort(const QString &settings) = 0;
    virtual void startCommunication() = 0;
};

// Moments of a connection at which sections change their controls.
enum class ConnectionEvent {
    SerialChosen,     // the serial link option chosen
    NetworkChosen,    // the network link option chosen
    SerialStarting,   // "通讯" on the serial link, before the port opens
    NetworkListening, // "通讯" on the network: listening for devices
    OpeningFailed,    // the port or the listener did not open
    PortFailed,       // the open port went away
    Stopped,          // "停止"
    DeviceChosen,     // a device chosen in the list: the panel is reset for it
    ChosenDeviceGone, // the chosen device went silent while others are listed
    LastDeviceGone,   // the only listed device went silent
    NoDeviceListed,   // nothing listed any more
};

// Something a section tells the others; every section that listens hears it,
// in the order they listened.
template <typename... Args> class Notice
{
public:
    void listen(std::function<void(Args...)> listener)
    {
        m_listeners.push_back(std::move(listener));
    }
    void operator()(Args... args) const
    {
        for (const auto &listener : m_listeners)
            listener(args...);
    }

private:
    std::vector<std::function<void(Args...)>> m_listeners;
};

// Requests one section makes of another; each is set by the section that
// owns it, and does nothing until then.
struct SectionRequests
{
    std::function<void()> readClock = [] {};                      // clock: cmdReclock_Click
    std::function<void()> writeMac = [] {};                       // network identity: bt_MAC_Click
    std::function<void(int deviceType)> setupPoints = [](int) {}; // clock: the DI/DQ grid
    std::function<QDate()> productionDate = [] { return QDate(); }; // system info
    std::function<QString()> seriesText = [] { return QString(); }; // system info
    // A system-parameter block is arriving: the sections that follow it
    // reset what the block will decide.
    Notice<> systemBlockArriving;
    // The device holds no user program: on the network it can be given one.
    Notice<Link> noUserProgram;
    // The system information is about to be shown, and has been shown;
    // `known` is false for a model the catalogue does not know.
    Notice<> systemInformationShowing;
    Notice<bool> systemInformationShown;
    // A DI/DO read has been decoded (also one that ended early).
    Notice<const DidoReading &> didoRead;
    // One value of a parameter image for the control a key names; the section
    // that owns the control shows it, or throws ProcedureError when the
    // control cannot take it.
    Notice<const ImageItemTarget &, const QString &> imageValue;
    // The panel's values for a parameter image, each section its own.
    Notice<ImageRecord &> collectImage;
    std::function<QString()> deviceTypeText = [] { return QString(); }; // system info
};

// What a section is given when it is built.
struct FeatureContext
{
    Session &session;
    WindowServices &window;
    SectionRequests &requests;
};

// A panel section: its widget, its feature code, and what it does at each
// moment of a connection.
class Feature : public QObject
{
    Q_OBJECT
public:
    Feature(const FeatureContext &context, QObject *parent) : QObject(parent), m_context(context) {}
    virtual void onConnection(ConnectionEvent event) { Q_UNUSED(event); }

protected:
    Session &session() const { return m_context.session; }
    WindowServices &window() const { return m_context.window; }
    SectionRequests &requests() const { return m_context.requests; }

private:
    FeatureContext m_context;
};

} // namespace kalmo
