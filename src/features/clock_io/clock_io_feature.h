#pragma once
// The clock and I/O section: reading and setting the device's clock, the
// DI/DQ point grid with its decode, switching outputs and the repaint after a
// DO write, and the high-speed I/O boxes.
#include "features/clock_io/clock_io_panel.h"
#include "features/common/feature.h"
#include "protocol/clock_block.h"
#include "protocol/dido_block.h"

namespace kalmo {

class ClockIoFeature : public Feature
{
    Q_OBJECT
public:
    ClockIoFeature(const FeatureContext &context, QObject *parent);

    ClockIoPanel *panel() const { return m_panel; }
    void onConnection(ConnectionEvent event) override;

    void cmdReclock_Click();
    void cmdWrclock_Click();
    void cmdTimeInit_Click();
    void clkDate_Change();
    void bt_DIQ_Click(int index);
    void Text5_Change(int index); // the output frequency boxes 2 and 3

    PointStates pointStates{}; // DI/DQ point states behind bt_DIQ

private:
    BuildOutcome buildClockWrite(BuildContext &context);
    BuildOutcome buildWeekdayWrite(BuildContext &context);
    BuildOutcome buildDoWrite(BuildContext &context);
    void DistributeDIDO(const Reply &reply);
    void RepaintPointButtons();
    DidoGroup pointLayoutGroup() const;
    void paintPointButton(int button, int state);
    void showClock(const ClockValue &clock, bool withWeekday);
    void enableClock();

    ClockIoPanel *m_panel;
    // Outputs switched by a click whose write has not gone out yet: a read
    // reply that comes in meanwhile does not switch them back. -1 for none.
    std::array<qint8, kPointStateCount> m_switchedPoints;
};

} // namespace kalmo
