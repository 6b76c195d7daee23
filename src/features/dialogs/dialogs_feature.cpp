#include "features/dialogs/dialogs_feature.h"

namespace kalmo {

DialogsFeature::DialogsFeature(const FeatureContext &context, QObject *parent)
    : Feature(context, parent), m_panel(new ParameterDialogsPanel),
      m_can(new CanFeature(context, m_panel, this)), m_sm(new SmFeature(context, m_panel, this)),
      m_redundancy(new RedundancyFeature(context, m_panel, this)),
      m_control(new ControlFeature(context, m_panel, this)),
      m_forwarding(new ForwardingFeature(context, m_panel, this)),
      m_slave(new SlaveFeature(context, m_panel, slaveInfoForm, this))
{
    connect(m_panel->bt_Ctrl, &QPushButton::clicked, m_control, &ControlFeature::bt_Ctrl_Click);
    connect(m_panel->bt_Rongyu, &QPushButton::clicked, m_redundancy,
            &RedundancyFeature::bt_Rongyu_Click);
    connect(m_panel->bt_SM, &QPushButton::clicked, m_sm, &SmFeature::bt_SM_Click);
    connect(m_panel->bt_Resend, &QPushButton::clicked, m_forwarding,
            &ForwardingFeature::bt_Resend_Click);
    connect(m_panel->Command2, &QPushButton::clicked, m_can, &CanFeature::Command2_Click);
    connect(m_panel->btSlaveShow, &QPushButton::clicked, m_slave, &SlaveFeature::btSlaveShow_Click);
}

void DialogsFeature::onConnection(ConnectionEvent event)
{
    m_can->onConnection(event);
}

} // namespace kalmo
