#include "protocol/clock_block.h"

#include "protocol/command_codes.h"

#include "core/bytes.h"
#include "core/error_log.h"
#include "protocol/frames.h"

namespace kalmo {

namespace {

// Where the clock items lie in a reply.
struct ClockOffsets
{
    qsizetype year;    // 2 bytes; month, day, hour, minute, second follow
    qsizetype weekDay; // -1: not carried
};

constexpr ClockOffsets kSerialReply{3, 10};
constexpr ClockOffsets kSerialEcho{3, -1};
constexpr ClockOffsets kNetworkReply{12, 19};

ClockValue decodeClock(const QByteArray &reply, ClockOffsets at)
{
    ClockValue clock;
    clock.year = le16At(reply, at.year);
    clock.month = byteAt(reply, at.year + 2);
    clock.day = byteAt(reply, at.year + 3);
    clock.hour = byteAt(reply, at.year + 4);
    clock.minute = byteAt(reply, at.year + 5);
    clock.second = byteAt(reply, at.year + 6);
    if (at.weekDay >= 0) clock.weekDay = byteAt(reply, at.weekDay);
    return clock;
}

quint8 toByte(int value)
{
    if (value < 0 || value > 0xFF) throw ProcedureError(overflowText());
    return quint8(value);
}

void putWord(QByteArray &b, qsizetype at, int value)
{
    if (value < 0 || value > 0xFFFF) throw ProcedureError(overflowText());
    setLe16At(b, at, quint16(value));
}

int checkedWeekDay(const std::optional<int> &weekDay)
{
    if (!weekDay || *weekDay < 1 || *weekDay > 7) throw ProcedureError(overflowText());
    return *weekDay;
}

// Year, month, day, hour, minute, second from `at`, in the order every
// clock layout uses.
void putClock(QByteArray &b, qsizetype at, const ClockValue &clock)
{
    const quint8 items[] = {toByte(clock.month), toByte(clock.day), toByte(clock.hour),
                            toByte(clock.minute), toByte(clock.second)};
    putWord(b, at, clock.year);
    for (qsizetype i = 0; i < 5; ++i)
        setByteAt(b, at + 2 + i, items[i]);
}

} // namespace

const QStringList &weekDayListItems()
{
    static const QStringList items = {
        QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三"), QStringLiteral("四"),
        QStringLiteral("五"), QStringLiteral("六"), QStringLiteral("日"),
    };
    return items;
}

// ---- The clock ------------------------------------------------------------

std::optional<QDate> ClockValue::date() const
{
    const QDate d(year, month, day);
    if (!d.isValid() || year < 1 || year > 9999) return std::nullopt;
    return d;
}

std::optional<QTime> ClockValue::time() const
{
    const QTime t(hour, minute, second);
    if (!t.isValid()) return std::nullopt;
    return t;
}

int ClockValue::weekDayIndex() const
{
    return weekDay ? weekDayIndexFromDevice(*weekDay) : -1;
}

int weekDayIndexFromDevice(int weekDay)
{
    return weekDay >= 1 && weekDay <= 7 ? weekDay - 1 : -1;
}

int weekDayIndexFromDate(const QDate &date)
{
    // QDate counts 1 = Monday … 7 = Sunday, as the list does from index 0.
    return date.isValid() ? date.dayOfWeek() - 1 : -1;
}

ClockValue clockFromPickers(const QDate &date, const QTime &time, int weekDayIndex)
{
    ClockValue clock;
    clock.year = date.year();
    clock.month = date.month();
    clock.day = date.day();
    clock.hour = time.hour();
    clock.minute = time.minute();
    clock.second = time.second();
    const int index =
        weekDayIndex >= 0 && weekDayIndex <= 6 ? weekDayIndex : weekDayIndexFromDate(date);
    if (index >= 0) clock.weekDay = index + 1;
    return clock;
}

// ---- Decoding -------------------------------------------------------------

ClockValue decodeSerialClockReply(const QByteArray &reply)
{
    return decodeClock(reply, kSerialReply);
}

ClockValue decodeSerialClockEcho(const QByteArray &reply)
{
    return decodeClock(reply, kSerialEcho);
}

ClockValue decodeNetworkClockReply(const QByteArray &datagram)
{
    return decodeClock(datagram, kNetworkReply);
}

int decodeNetworkWeekDayReply(const QByteArray &datagram)
{
    return weekDayIndexFromDevice(le16At(datagram, kWeekDayReplyOffset));
}

// ---- Encoding -------------------------------------------------------------

QByteArray readClockFrame()
{
    return buildSerialFrame(kReadClockFunction);
}

QByteArray writeClockFrame(const ClockValue &clock)
{
    QByteArray payload(8, '\0');
    putClock(payload, 0, clock);
    setByteAt(payload, 7, quint8(checkedWeekDay(clock.weekDay)));
    return buildSerialFrame(kWriteClockFunction, payload);
}

QByteArray clockPayload(const ClockValue &clock)
{
    QByteArray payload(kClockPayloadLength, '\0');
    putClock(payload, 0, clock);
    return payload;
}

QByteArray weekDayPayload(int weekDay)
{
    QByteArray payload(kWeekDayPayloadLength, '\0');
    putWord(payload, 0, checkedWeekDay(weekDay));
    return payload;
}

std::span<const qint16> clockReadCommands(Link link)
{
    static constexpr qint16 kSerial[] = {serial_cmd::ReadClock};
    static constexpr qint16 kNetwork[] = {network_cmd::ReadClock, network_cmd::ReadWeekday};
    if (link == Link::Serial) return kSerial;
    if (link == Link::Network) return kNetwork;
    return {};
}

std::span<const qint16> clockWriteCommands(Link link)
{
    static constexpr qint16 kSerial[] = {serial_cmd::ReadClock, serial_cmd::WriteClock};
    static constexpr qint16 kNetwork[] = {network_cmd::ReadClock, network_cmd::ReadWeekday,
                                          network_cmd::WriteClock, network_cmd::WriteWeekday};
    if (link == Link::Serial) return kSerial;
    if (link == Link::Network) return kNetwork;
    return {};
}

} // namespace kalmo
