#include "session/command_stack.h"

#include "core/error_log.h"

#include <algorithm>

namespace kalmo {

void CommandStack::push(qint16 code)
{
    if (m_held) return;
    if (m_top >= kLastIndex) throw ProcedureError(subscriptOutOfRangeText());
    m_entries[++m_top] = code;
}

void CommandStack::pop()
{
    if (m_top > 0) --m_top;
}

qint16 CommandStack::entry(int index) const
{
    if (index < 0 || index > kLastIndex) throw ProcedureError(subscriptOutOfRangeText());
    return m_entries[index];
}

void CommandStack::load(qint16 idle, std::span<const qint16> codes)
{
    if (m_held) return;
    replacePending(codes);
    m_entries[0] = idle;
}

void CommandStack::replacePending(std::span<const qint16> codes)
{
    if (m_held) return;
    if (codes.size() > std::size_t(kLastIndex)) throw ProcedureError(subscriptOutOfRangeText());
    std::copy(codes.begin(), codes.end(), m_entries.begin() + 1);
    m_top = int(codes.size());
}

void CommandStack::loadSerialStart()
{
    using namespace serial_cmd;
    static constexpr qint16 kFirstReads[] = {ReadProfibus, ReadMac,        ReadGateway, ReadClock,
                                             ReadTags,     ReadSystemInfo, ReadZigbee};
    load(kSerialIdleCommand, kFirstReads);
}

void CommandStack::loadNetworkStart()
{
    using namespace network_cmd;
    static constexpr qint16 kFirstReads[] = {ReadMac,   ReadGateway, ReadDido,
                                             ReadClock, ReadWeekday, ReadSystemParameters,
                                             ReadTags,  ReadZigbee};
    load(kNetworkIdleCommand, kFirstReads);
}

} // namespace kalmo
