#pragma once
// The forwarding windows' feature code: "转发" opens the forwarding table and
// reads it, "从设备转发映射表" opens the slave forwarding map and reads it;
// the reads and writes of both on both links.
#include "features/dialogs/dialog_feature.h"
#include "features/dialogs/dialog_window.h"
#include "features/dialogs/forwarding/forwarding_dialog.h"
#include "features/dialogs/forwarding/slave_map_dialog.h"
#include "protocol/forwarding_block.h"

namespace kalmo {

class ForwardingFeature : public DialogFeature
{
    Q_OBJECT
public:
    ForwardingFeature(const FeatureContext &context, QWidget *owner, QObject *parent);

    // "转发": queues the table's read and shows its window.
    void bt_Resend_Click();
    ForwardingDialog *dialog() const { return m_table.made(); }
    SlaveMapDialog *slaveDialog() const { return m_map.made(); }

    void bt_readResend_Click();
    // Refused with "请先读取参数" until a read has filled the window.
    void bt_writeResend_Click();
    // "从设备转发映射表": queues the map's read and shows its window.
    void bt_resendSlave_Click();
    void bt_readSlave_Click();
    void bt_writeSlave_Click();

private:
    void OnReadResend(const Reply &reply);
    void OnReadSlave(const Reply &reply);
    BuildOutcome WriteResend(BuildContext &context);
    BuildOutcome WriteSlave(BuildContext &context);
    static void put(BuildContext &context, const QByteArray &block);

    DialogWindow<ForwardingDialog> m_table;
    DialogWindow<SlaveMapDialog> m_map;
    // The table last read: what no control shows is written back from it.
    ForwardingTable m_read;
    bool m_tableFilled = false;
    bool m_mapFilled = false;
};

} // namespace kalmo
