#pragma once
// The command stack: pending command codes, last in first out. Entry 0 holds
// the idle command, which runs whenever nothing else is pending and is never
// popped.
#include "protocol/command_codes.h"
#include <QtGlobal>

#include <array>
#include <span>

namespace kalmo {

// Idle commands: DI/DO reads.
inline constexpr qint16 kSerialIdleCommand = serial_cmd::ReadDido;
inline constexpr qint16 kNetworkIdleCommand = network_cmd::ReadDido;

class CommandStack
{
public:
    static constexpr int kLastIndex = 10000;

    // top + 1, then stores the code there; nothing while held. Beyond index 10000 it throws
    // ProcedureError("下标越界"): the code is lost and the stack is unchanged.
    void push(qint16 code);
    // One entry down; entry 0 stays.
    void pop();
    // The code the dispatcher runs next.
    qint16 current() const { return m_entries[m_top]; }
    int top() const { return m_top; }
    // Entry at an index 0..10000 (ProcedureError("下标越界") outside).
    qint16 entry(int index) const;
    bool idle() const { return m_top == 0; }

    void setIdle(qint16 code) { m_entries[0] = code; }
    // Drops every pending code; the idle command stays.
    void clear() { m_top = 0; }
    // Entry 0 = idle, entries 1.. = codes in push order (the last runs first).
    void load(qint16 idle, std::span<const qint16> codes);
    // Replaces every pending code by these, in push order; the idle command stays.
    void replacePending(std::span<const qint16> codes);

    // Held while a firmware transfer owns the stack: push, load and
    // replacePending change nothing, so no other command reaches a device in
    // its loader. clear() and pop() still work.
    void hold(bool held) { m_held = held; }
    bool held() const { return m_held; }

    // Communicate button, serial link: 13 idle, then 82, 37, 75, 18, 15, 1, 57.
    void loadSerialStart();
    // Device choice, network link: 9 idle, then 25, 75, 9, 12, 63, 1, 101, 176.
    void loadNetworkStart();

private:
    std::array<qint16, kLastIndex + 1> m_entries{};
    int m_top = 0;
    bool m_held = false;
};

} // namespace kalmo
