// The CAN settings block over arbitrary bytes: refused exactly when it is
// short or a byte lies outside its list (8 bit rates, 2 roles), naming that
// field; a sound block encodes back to its two bytes.
#include "fuzz_support.h"
#include "protocol/can_block.h"

using namespace kalmo;
using fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView in(data, qsizetype(size));
    QString field;
    const std::optional<CanSettings> settings = decodeCanSettings(in, &field);
    const bool baudOk = size >= 2 && data[0] < 8;
    require(settings.has_value() == (baudOk && data[1] < 2));
    if (!settings) {
        require(field == (baudOk ? QStringLiteral("主从") : QStringLiteral("波特率")));
        return 0;
    }
    require(field.isEmpty());
    require(settings->baudIndex < canBaudNames().size() &&
            settings->roleIndex < canRoleNames().size());
    require(encodeCanSettings(*settings) == in.first(2));
    return 0;
}
