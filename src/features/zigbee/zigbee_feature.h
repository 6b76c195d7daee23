#pragma once
// The Zigbee section: the Zigbee parameter block read into the panel and
// written back from it with the checks a device needs, the chain address and
// device number boxes, the advanced timing dialog, and the link test.
#include "features/common/feature.h"
#include "features/zigbee/zigbee_advance_param.h"
#include "features/zigbee/zigbee_panel.h"
#include "protocol/zigbee_block.h"

#include <memory>

namespace kalmo {

class ZigbeeFeature : public Feature
{
    Q_OBJECT
public:
    ZigbeeFeature(const FeatureContext &context, QObject *parent);
    ~ZigbeeFeature() override;

    ZigbeePanel *panel() const { return m_panel; }
    void onConnection(ConnectionEvent event) override;

    void Cmd_ReadzParam_Click();
    void Cmd_WritezParam_Click();
    void Cmd_TestZigbee_Click();
    void Cmd_Advance_Click();
    void Text_DNO_Change();
    void Text_ChainAddr_Change();

    // The advanced dialog, made when it is first needed.
    ZigbeeAdvanceParam &advanceDialog();

    ZigbeeRecord zigbeeRecord; // the Zigbee block, as read and as written

private:
    // A block from the device: kept and shown, or, with a value no control
    // can show, refused whole.
    void takeZigbeeBlock(const ZigbeeRecord &block);
    // The Zigbee controls from zigbeeRecord, then enabled.
    void DistributeZigbee();
    BuildOutcome buildZigbeeWrite(BuildContext &context) const;
    void enableControls(bool enabled);
    void tell(const QString &text) const;

    ZigbeePanel *m_panel;
    std::unique_ptr<ZigbeeAdvanceParam> m_advance; // a window of its own
};

} // namespace kalmo
