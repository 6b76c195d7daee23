#include "features/zigbee/zigbee_feature.h"

#include "features/common/number_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace kalmo {

ZigbeeFeature::ZigbeeFeature(const FeatureContext &context, QObject *parent)
    : Feature(context, parent), m_panel(new ZigbeePanel)
{
    connect(m_panel->Text_DNO, &QLineEdit::textChanged, this, &ZigbeeFeature::Text_DNO_Change);

    const auto zigbeeBlock = [this](const Reply &r) {
        zigbeeRecord = splitZigbeeBlock(r.bytes, r.profile.dataOffset);
        DistributeZigbee();
    };
    session().handle(SerialReplyAction::Zigbee, zigbeeBlock);
    session().handle(NetworkReplyAction::Zigbee, zigbeeBlock);
    session().handle(SerialReplyAction::ZigbeeTest,
                     [this](const Reply &r) { window().setStatus(zigbeeTestText(r.data(0))); });
}

void ZigbeeFeature::onConnection(ConnectionEvent event)
{
    ZigbeePanel &p = *m_panel;
    switch (event) {
    case ConnectionEvent::SerialChosen:
        p.Cmd_TestZigbee->show();
        break;
    case ConnectionEvent::NetworkChosen:
        p.Cmd_TestZigbee->hide();
        break;
    case ConnectionEvent::Stopped:
        for (QWidget *w :
             std::initializer_list<QWidget *>{p.Combo_zlogic, p.Combo_Nettype, p.Text_DNO})
            w->setEnabled(false);
        for (QLineEdit *box : p.txt_AC)
            box->setEnabled(false);
        for (QLineEdit *box : p.txt_EXPAN)
            box->setEnabled(false);
        for (QCheckBox *box : p.Check1)
            box->setEnabled(false);
        for (QWidget *w :
             std::initializer_list<QWidget *>{p.Zigbee_Enable, p.Cmd_ReadzParam, p.Cmd_WritezParam,
                                              p.Cmd_TestZigbee, p.Cmd_Advance})
            w->setEnabled(false);
        break;
    default:
        break;
    }
}

void ZigbeeFeature::Text_DNO_Change()
{
    normaliseNumberBox(m_panel->Text_DNO, [](const QString &text) {
        if (text.isEmpty()) return text;
        return QString::number(integerValue(text) & 0xFFFF);
    });
}

} // namespace kalmo
