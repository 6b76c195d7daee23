#include "serial_functions.h"

#include <algorithm>

namespace kalmo::sim {

namespace {

// A forwarding write carries the count, a 6-byte reserve and 0..20 entries
// of 24 bytes.
QList<int> forwardingWriteLengths()
{
    QList<int> lengths;
    for (int n = 0; n <= 20; ++n)
        lengths.append(15 + 24 * n);
    return lengths;
}

QList<SerialFunction> makeTable()
{
    return {
        {1, "read system parameters", {7}, 111},
        {4, "write system parameters", {91}, 91},
        {13, "read DI/DO", {7}, kReplyByModel},
        {14, "write DO", {13}, 13},
        {19, "read clock", {7}, 15},
        {20, "write clock", {15}, 15},
        {21, "read device ID and PD tag", {7}, 71},
        {22, "write device ID and PD tag", {71}, 71},
        {32, "read slave device", {9}, 19},
        {33, "write slave device", {19}, 19},
        {36, "write MAC address", {13}, 13},
        {37, "read MAC address", {7}, 13},
        {40, "test extended RAM", {7}, 8},
        {43, "stop and clear the user program", {7}, 7},
        {44, "light-board check", {8}, 8},
        {45, "upgrade start", {7}, 7},
        {46, "upgrade size", {9}, 9},
        {47, "upgrade packet", {519}, 7},
        {52, "restore factory defaults", {7}, 7},
        {55, "save parameters", {7}, 7},
        {56, "restore parameters", {7, 10}, 7},
        {57, "read Zigbee parameters", {7}, 41},
        {58, "write high-speed I/O flags", {11, 13}, kReplyAsRequest},
        {59, "write output frequencies", {11}, 11},
        {64, "write Zigbee parameters", {41}, 41},
        {65, "Zigbee link test", {7}, 9},
        {66, "read slave forwarding map", {7}, 71},
        {67, "write slave forwarding map", {71}, 7},
        {68, "read forwarding table", {7}, 495},
        {69, "write forwarding table", forwardingWriteLengths(), 7},
        {70, "read redundancy", {7}, 215},
        {71, "write redundancy", {215}, 7},
        {73, "read SM area", {7}, 519},
        {74, "write SM area", {519}, 7},
        {75, "read control parameters", {7}, 249},
        {76, "write control parameters", {249}, 7},
        {77, "read gateway", {7}, 15},
        {78, "write gateway", {15}, 7},
        {79, "read Profibus state", {7}, 8},
        {80, "write Profibus state", {8}, 8},
        {87, "write CAN settings", {9}, 9},
        {88, "CAN check", {7}, 8},
        {89, "read CAN settings", {7}, 9},
    };
}

} // namespace

const QList<SerialFunction> &serialFunctions()
{
    static const QList<SerialFunction> table = makeTable();
    return table;
}

const SerialFunction *findSerialFunction(quint8 number)
{
    const auto &table = serialFunctions();
    const auto it = std::find_if(table.begin(), table.end(),
                                 [number](const SerialFunction &f) { return f.number == number; });
    return it == table.end() ? nullptr : &*it;
}

} // namespace kalmo::sim
