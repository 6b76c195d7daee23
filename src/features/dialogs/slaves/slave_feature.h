#pragma once
// The slave-device window's feature code: " 查看从设备信息" reads the 16
// slave records, one request each, into their rows; rows the user edits are
// pending and "写入" writes each of them once; "退出" and the reads' time-out
// empty the window and give the main window back.
#include "features/common/feature.h"
#include "features/dialogs/dialog_window.h"
#include "features/dialogs/slaves/slave_info_dialog.h"
#include "protocol/slave_record.h"

#include <QPointer>

#include <array>
#include <bitset>
#include <optional>

namespace kalmo {

inline const QString kSlaveReadFailedText = QStringLiteral("读取从设备信息失败");
inline const QString kSlaveReadFailedTitle = QStringLiteral("系统提示");
// CheckTimer: how long the reads may wait for the next reply.
inline constexpr int kSlaveReplyWaitMs = 5000;

class SlaveFeature : public Feature
{
    Q_OBJECT
public:
    // `form` is kept pointing at the window, so that the main window closes it.
    SlaveFeature(const FeatureContext &context, QWidget *owner, QPointer<QWidget> &form,
                 QObject *parent);
    ~SlaveFeature() override;

    SlaveInfoDialog *dialog() const { return m_dialog.made(); }
    const std::array<bool, kSlaveCount> &pending() const { return m_pending; }

    // Queues the 16 reads, shows the window and holds it and the main window
    // disabled until every record has come or CheckTimer expires.
    void btSlaveShow_Click();
    // "写入": one write per pending row, in row order.
    void Command1_Click();
    // "退出".
    void Command2_Click() { exitAction(true); }
    // No reply for 5 s while reading.
    void CheckTimer_Timer();

private:
    void DistributeSlaveInfo(const Reply &reply);
    BuildOutcome WriteSlaveInfo(BuildContext &context);
    void fillRow(int row, const SlaveRecord &record);
    void emptyRows();
    void rowEdited(int row);
    void setPending(int row, bool pending);
    bool anyPending() const;
    // Empties and hides the window, stops CheckTimer, drops the slave
    // commands still queued and enables both windows.
    void exitAction(bool showMainWindow);
    void dropQueuedSlaveCommands();
    QWidget *mainWindow() const { return m_owner->window(); }

    QWidget *m_owner;
    QPointer<QWidget> &m_form;
    DialogWindow<SlaveInfoDialog> m_dialog;
    // The records as last read or written: the write keeps what the lists
    // cannot show from them.
    std::array<std::optional<SlaveRecord>, kSlaveCount> m_records{};
    std::array<bool, kSlaveCount> m_pending{};
    std::bitset<kSlaveCount> m_arrived;
    bool m_reading = false;
    bool m_filling = false; // rows changed by the program, not by the user
};

} // namespace kalmo
