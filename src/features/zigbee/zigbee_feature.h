#pragma once
// The Zigbee section: the Zigbee parameter block the device reports, the
// device number box, and the link test.
#include "features/common/feature.h"
#include "features/zigbee/zigbee_panel.h"
#include "protocol/zigbee_block.h"

namespace kalmo {

class ZigbeeFeature : public Feature
{
    Q_OBJECT
public:
    ZigbeeFeature(const FeatureContext &context, QObject *parent);

    ZigbeePanel *panel() const { return m_panel; }
    void onConnection(ConnectionEvent event) override;

    void Text_DNO_Change();

    ZigbeeRecord zigbeeRecord; // the Zigbee block, shown by DistributeZigbee

private:
    // The Zigbee controls from zigbeeRecord; they come with the Zigbee
    // parameters.
    void DistributeZigbee() {}

    ZigbeePanel *m_panel;
};

} // namespace kalmo
