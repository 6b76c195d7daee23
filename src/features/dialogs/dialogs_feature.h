#pragma once
// The parameter dialogs: the panel of buttons that open them, and one
// feature per dialog, each in its own folder.
#include "features/common/feature.h"
#include "features/dialogs/can/can_feature.h"
#include "features/dialogs/control/control_feature.h"
#include "features/dialogs/forwarding/forwarding_feature.h"
#include "features/dialogs/parameter_dialogs_panel.h"
#include "features/dialogs/redundancy/redundancy_feature.h"
#include "features/dialogs/slaves/slave_feature.h"
#include "features/dialogs/sm/sm_feature.h"
#include "protocol/serial_replies.h"

#include <QPointer>

namespace kalmo {

class DialogsFeature : public Feature
{
    Q_OBJECT
public:
    DialogsFeature(const FeatureContext &context, QObject *parent);

    ParameterDialogsPanel *panel() const { return m_panel; }
    CanFeature *canFeature() const { return m_can; }
    SmFeature *smFeature() const { return m_sm; }
    RedundancyFeature *redundancyFeature() const { return m_redundancy; }
    ControlFeature *controlFeature() const { return m_control; }
    ForwardingFeature *forwardingFeature() const { return m_forwarding; }
    SlaveFeature *slaveFeature() const { return m_slave; }

    void onConnection(ConnectionEvent event) override;

    // The slave-device dialog, unloaded together with the main window.
    QPointer<QWidget> slaveInfoForm;

private:
    ParameterDialogsPanel *m_panel;
    CanFeature *m_can;
    SmFeature *m_sm;
    RedundancyFeature *m_redundancy;
    ControlFeature *m_control;
    ForwardingFeature *m_forwarding;
    SlaveFeature *m_slave;
};

} // namespace kalmo
