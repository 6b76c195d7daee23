#pragma once
// What the parameter windows' features share: their reads and writes are
// queued only while a link is chosen, and a write waits for a read.
#include "features/common/feature.h"

namespace kalmo {

class DialogFeature : public Feature
{
    Q_OBJECT
public:
    using Feature::Feature;

protected:
    // Queues `code` while a link is chosen; nothing otherwise.
    void push(qint16 code);
    // Queues the write `code`, or says "请先读取参数" while the window holds
    // nothing read.
    void pushWrite(bool filled, qint16 code);
};

} // namespace kalmo
