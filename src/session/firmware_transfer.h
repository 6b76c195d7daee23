#pragma once
// The firmware transfer on a session, for any front end: the builders of its
// three requests on both links, the acknowledgements that send the next
// packet at once, and the end of the transfer. What a front end shows at the
// end goes through its hooks.
#include "protocol/upgrade_package.h"
#include "session/session.h"

#include <functional>

namespace kalmo {

// The last packet acknowledged.
inline const QString kUpgradeDoneText = QStringLiteral("升级下位机成功");
inline const QString kUpgradeSucceededMessage = QStringLiteral("升级成功！");

// The firmware file at `path` cut into packets: a file too large to be sent
// is refused before it is read, one that cannot be read whole as unreadable.
// `image` (when given) receives the bytes read.
UpgradePackage readFirmwareFile(const QString &path, QByteArray *image = nullptr);

class FirmwareTransfer
{
public:
    // Registers the builders and acknowledgement handlers with the session,
    // which must outlive the transfer.
    explicit FirmwareTransfer(Session &session);

    // The session's packet table (session.upgrade) sent on the link: start,
    // size, then every packet. The stack is held until the transfer ends.
    void start(Link link);
    // A transfer holds the stack.
    bool running() const;

    // Serial: the transfer has ended and the port is back at 9600 (or failed
    // to reopen, which `portError` was told first): the window starts a new
    // connection here.
    std::function<void()> serialFinished = [] {};
    // Network: the device has taken the last packet.
    std::function<void()> networkFinished = [] {};
    // The port did not reopen at 9600 after the transfer; the error is logged.
    std::function<void(const QString &)> portError = [](const QString &) {};
    // The transfer has ended either way and the upgrade button may come back.
    std::function<void()> ended = [] {};

private:
    void registerBuilders();
    void serialBlockAcknowledged();
    void networkBlockAcknowledged();
    void finish();

    Session &m_session;
};

} // namespace kalmo
