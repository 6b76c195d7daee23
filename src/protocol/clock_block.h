#pragma once
// The controller's real-time clock: the read replies of both links, the
// serial write frame, the network write payloads of the clock and of its
// separate week-day block, and the week-day list index. All values binary,
// low byte first. Pure functions and plain structs: no widgets, ports,
// sockets or timers.
#include "protocol/command_tables.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QtGlobal>

#include <optional>
#include <span>

namespace kalmo {

// ---- Requests and blocks --------------------------------------------------

inline constexpr quint8 kReadClockFunction = 19;
inline constexpr quint8 kWriteClockFunction = 20;
inline constexpr qsizetype kClockReplyLength = 15;      // replies to 19 and 20
inline constexpr qsizetype kWriteClockFrameLength = 15; // echoed by the reply
inline constexpr qint32 kClockBlockAddress = 10003;
inline constexpr qint32 kClockReadBlockType = 5;
inline constexpr qint32 kClockWriteBlockType = 9;
inline constexpr qsizetype kClockPayloadLength = 7;
// The week day has a block of its own on the network.
inline constexpr qint32 kWeekDayBlockAddress = 107;
inline constexpr qint32 kWeekDayReadItemCount = 0;
inline constexpr qint32 kWeekDayWriteBlockType = 59;
inline constexpr qsizetype kWeekDayReplyOffset = 128;
inline constexpr qsizetype kWeekDayPayloadLength = 2;

inline constexpr char kWriteClockLabel[] = "WriteClock_S(Form1)";

// Combo_WeekDay's items, Monday first: "一" … "日".
const QStringList &weekDayListItems();

// ---- The clock ------------------------------------------------------------

// One clock reading or setting, as the device counts: month 1..12, day 1..31,
// week day 1..7 with 1 = Monday. Values are kept as they travel, so a reply
// with an impossible date is seen as such instead of being corrected.
struct ClockValue
{
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    std::optional<int> weekDay; // absent where the block carries none

    // For the pickers: nullopt when the values are no valid date / time of
    // day (month 13, 31 February, hour 24, …); the picker is then left as
    // it is rather than set to a corrected or partial value.
    std::optional<QDate> date() const;
    std::optional<QTime> time() const;
    // For Combo_WeekDay: weekDay − 1, or -1 (no selection) when the week day
    // is absent or outside 1..7.
    int weekDayIndex() const;

    friend bool operator==(const ClockValue &, const ClockValue &) = default;
};

// Combo_WeekDay index of a device week-day value 1..7; -1 (no selection)
// for any other value.
int weekDayIndexFromDevice(int weekDay);
// Combo_WeekDay index of a date: Monday 0 … Saturday 5, Sunday 6; -1 for an
// invalid date.
int weekDayIndexFromDate(const QDate &date);

// The clock the set button writes: date and time from the pickers, the week
// day from the list (index + 1). With no selection in the list the week day
// of the date is written, so the device never receives week day 0.
ClockValue clockFromPickers(const QDate &date, const QTime &time, int weekDayIndex);

// The commands the clock buttons queue, in push order (the last runs first):
// the read (on the network the week day, then the clock), and the write
// followed by the read back.
std::span<const qint16> clockReadCommands(Link link);
std::span<const qint16> clockWriteCommands(Link link);

// ---- Decoding -------------------------------------------------------------
// A reply too short for the clock throws ProcedureError("下标越界") before
// anything is returned: the clock is shown whole or not at all.

// Serial reply to function 19: year 3..4, month 5, day 6, hour 7, minute 8,
// second 9, week day 10.
ClockValue decodeSerialClockReply(const QByteArray &reply);
// Serial echo of function 20: as function 19 without the week day.
ClockValue decodeSerialClockEcho(const QByteArray &reply);
// Network reply to block 10003 type 5: year 12..13, then month … week day
// at 14..19.
ClockValue decodeNetworkClockReply(const QByteArray &datagram);
// Network reply to block 107 item count 0: Combo_WeekDay index of the
// 16-bit week day at 128..129 (-1 for a value outside 1..7).
int decodeNetworkWeekDayReply(const QByteArray &datagram);

// ---- Encoding -------------------------------------------------------------
// A value that does not fit its field (year above 65535, a byte above 255, a
// week day outside 1..7 where one is sent) throws ProcedureError("溢出") and
// nothing is built.

// The 7-byte serial read request, function 19.
QByteArray readClockFrame();
// The complete 15-byte serial write request, function 20: the clock at
// 3..10 in the order of the read reply, week day included.
QByteArray writeClockFrame(const ClockValue &clock);
// The 7-byte payload of block 10003 type 9: year 0..1, month 2, day 3,
// hour 4, minute 5, second 6 (the week day goes separately).
QByteArray clockPayload(const ClockValue &clock);
// The 2-byte payload of block 107 type 59: the week day 1..7, 16 bits.
QByteArray weekDayPayload(int weekDay);

} // namespace kalmo
