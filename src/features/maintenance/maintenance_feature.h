#pragma once
// The maintenance section: the extended RAM test and its lamps, the light
// board, stopping and clearing the controller, saving and restoring
// parameters, and Profibus on or off.
#include "features/common/feature.h"
#include "features/maintenance/maintenance_panel.h"

namespace kalmo {

class MaintenanceFeature : public Feature
{
    Q_OBJECT
public:
    MaintenanceFeature(const FeatureContext &context, QObject *parent);

    MaintenancePanel *panel() const { return m_panel; }
    void onConnection(ConnectionEvent event) override;

private:
    void DistributeRAMTest(const Reply &reply);
    void enableDeviceCommands(bool enabled);
    void clearLamps();

    MaintenancePanel *m_panel;
};

} // namespace kalmo
