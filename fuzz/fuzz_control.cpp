// The control-parameter block over arbitrary bytes: refused exactly when it
// is short or a list byte lies outside its list, naming a field; every number
// fits its width, and writing every field back as read leaves the block
// unchanged.
#include "fuzz_support.h"
#include "protocol/control_block.h"

using namespace kalmo;
using fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView in(data, qsizetype(size));
    const std::optional<QString> fault = controlBlockFault(in);
    // Two-entry lists at 0, 1, 28, 29, 183 and 204; three entries at 205 and
    // in bits 0..1 of 206; bit 2 of 206 is a two-entry list of its own.
    const bool sound = size >= 242 && data[0] < 2 && data[1] < 2 && data[28] < 2 && data[29] < 2 &&
                       data[183] < 2 && data[204] < 2 && data[205] < 3 && (data[206] & 3) != 3;
    require(fault.has_value() == !sound);
    if (fault) {
        require(!fault->isEmpty());
        return 0;
    }

    const QByteArray block = in.first(kControlLength).toByteArray();
    QByteArray again = block;
    for (const ControlNumber &number : controlNumbers()) {
        const qint64 value = numberAt(block, number);
        require(numberFits(number, value));
        setNumberAt(again, number, value);
    }
    for (const ControlList &list : controlLists()) {
        const int index = listIndexAt(block, list);
        require(index >= 0 && index < list.items.size());
        setListIndexAt(again, list, index);
    }
    require(again == block);
    return 0;
}
