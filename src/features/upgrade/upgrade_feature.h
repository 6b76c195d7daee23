#pragma once
// The firmware upgrade section: the upgrade button the dispatcher enables and
// disables, and each acknowledged block on both links.
#include "features/common/feature.h"
#include "features/upgrade/upgrade_panel.h"

namespace kalmo {

class UpgradeFeature : public Feature
{
    Q_OBJECT
public:
    UpgradeFeature(const FeatureContext &context, QObject *parent);

    UpgradePanel *panel() const { return m_panel; }

private:
    void serialBlockAcknowledged();
    void networkBlockAcknowledged();
    void enableUpgrade();

    UpgradePanel *m_panel;
};

} // namespace kalmo
