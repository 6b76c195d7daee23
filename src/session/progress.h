#pragma once
// The progress display of multi-step operations (RAM test, firmware upgrade):
// the bar's Max, Value and visibility and the percentage label beside it, as
// a plain model. The window mirrors it onto ProgressBar and lb_ProgProc and
// runs ProgressTimer.
#include <QString>

namespace kalmo {

struct ProgressState
{
    int maximum = 0;
    int value = 0;
    bool visible = false; // the bar and its label
    QString label;

    // StartProgress: Max = steps, Value = 1, shown with "0%". The caller
    // starts ProgressTimer when asked to.
    void start(int steps);
    // StepProgress: one step and the new percentage; once Value has reached
    // Max, "100%" and Value = Max.
    void step();
    // ProgressTimer_Timer: one step while Max > Value; otherwise Value = Max,
    // the bar and label are hidden and the answer is true: stop ProgressTimer.
    bool timerTick();
    void hide() { visible = false; }
    bool full() const { return maximum <= value; }
};

// The label for a step to `value` of `maximum`: the percentage rounded to one
// decimal, written as a number (a leading space, no trailing ".0") and "%":
// 2 of 9 gives " 22.2%", 9 of 9 gives " 100%".
QString progressPercentText(int value, int maximum);

} // namespace kalmo
