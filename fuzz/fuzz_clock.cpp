// The clock replies over arbitrary bytes, as the serial read reply, the serial
// write echo, the network read reply and the network week-day reply: each
// refused exactly when too short, every value from its place, and a clock
// that fits its fields written and read back the same.
#include "fuzz_support.h"
#include "protocol/clock_block.h"

using namespace kalmo;
using fuzz::require;

namespace {

// The clock items at `at` (year low byte first, then month … second).
bool clockFrom(const ClockValue &c, const uint8_t *at)
{
    return c.year == int(fuzz::le16(at)) && c.month == at[2] && c.day == at[3] && c.hour == at[4] &&
           c.minute == at[5] && c.second == at[6];
}

void checkShown(const ClockValue &c)
{
    if (const auto date = c.date()) require(date->isValid() && date->year() == c.year);
    if (const auto time = c.time()) require(time->isValid() && time->hour() == c.hour);
    require(c.weekDayIndex() >= -1 && c.weekDayIndex() <= 6);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray reply = fuzz::rawBytes(data, size);

    ClockValue serial;
    const bool serialShort = fuzz::refusedShort([&] { serial = decodeSerialClockReply(reply); });
    require(serialShort == (size < 11));
    if (!serialShort) {
        require(clockFrom(serial, data + 3) && serial.weekDay == data[10]);
        checkShown(serial);
        if (serial.weekDayIndex() >= 0)
            require(decodeSerialClockReply(writeClockFrame(serial)) == serial);
    }

    ClockValue echo;
    const bool echoShort = fuzz::refusedShort([&] { echo = decodeSerialClockEcho(reply); });
    require(echoShort == (size < 10));
    if (!echoShort) require(clockFrom(echo, data + 3) && !echo.weekDay);

    ClockValue network;
    const bool networkShort = fuzz::refusedShort([&] { network = decodeNetworkClockReply(reply); });
    require(networkShort == (size < 20));
    if (!networkShort) {
        require(clockFrom(network, data + 12) && network.weekDay == data[19]);
        checkShown(network);
        QByteArray datagram = reply.left(20);
        datagram.replace(12, kClockPayloadLength, clockPayload(network));
        require(decodeNetworkClockReply(datagram) == network);
    }

    int weekDay = -2;
    const bool weekShort = fuzz::refusedShort([&] { weekDay = decodeNetworkWeekDayReply(reply); });
    require(weekShort == (size < 130));
    if (!weekShort) {
        const unsigned raw = fuzz::le16(data + 128);
        require(weekDay == (raw >= 1 && raw <= 7 ? int(raw) - 1 : -1));
        if (weekDay >= 0) {
            QByteArray datagram = reply.left(130);
            datagram.replace(128, 2, weekDayPayload(weekDay + 1));
            require(decodeNetworkWeekDayReply(datagram) == weekDay);
        }
    }
    return 0;
}
