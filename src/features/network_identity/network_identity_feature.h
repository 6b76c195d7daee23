#pragma once
// The network identity section: the MAC address with its manual and automatic
// mode, its read and write, and the gateway and subnet mask the device reports.
#include "features/common/feature.h"
#include "features/network_identity/network_identity_panel.h"

#include <optional>

namespace kalmo {

class NetworkIdentityFeature : public Feature
{
    Q_OBJECT
public:
    NetworkIdentityFeature(const FeatureContext &context, QObject *parent);

    NetworkIdentityPanel *panel() const { return m_panel; }
    void onConnection(ConnectionEvent event) override;

    void ophandornot_Click(int index);
    void bt_MAC_Click();
    // "下载网关和子网掩码": the write is queued on either link; its builder
    // reads the eight boxes when it runs.
    void bt_NetGate_Click();

private:
    BuildOutcome buildMacWrite(BuildContext &context);
    BuildOutcome buildGatewayWrite(BuildContext &context);
    void DistributeMAC(const Reply &reply);
    void DistributeGateway(const Reply &reply);
    void systemBlockArriving();
    void systemInformationShowing();

    NetworkIdentityPanel *m_panel;
    // The address the write button collected. A MAC read reply that comes in
    // before the write goes out refreshes the boxes, not this.
    std::optional<QByteArray> m_macToWrite;
};

} // namespace kalmo
