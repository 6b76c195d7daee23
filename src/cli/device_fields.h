#pragma once
// The system information as named fields: each field's value as text, read
// from what a device read filled in, and the fields that can be written,
// checked one by one before anything is sent and then put into the panel's
// values, where the parameter write checks them as a whole.
#include "cli/device_link.h"

#include <QList>
#include <QString>

#include <optional>

namespace kalmo::cli {

struct FieldInfo
{
    const char *name;
    bool writable;
};

// Every field, in the order `read` prints them.
std::span<const FieldInfo> deviceFields();
const FieldInfo *findField(const QString &name);

// The value of a field after a read ("" where the device gave none).
QString fieldValue(const DeviceState &state, const QString &name);

// One change asked for.
struct FieldChange
{
    QString name;
    QString value;
    bool fromFile = false; // --from: applied only where it differs from the read
};

// What the changes add to the parameter write besides the panel's values.
struct ExtraWrites
{
    std::optional<std::array<quint8, 6>> mac;            // manual MAC address
    std::optional<std::array<quint8, 8>> gatewayAndMask; // gateway, then subnet mask
};

// Checks a change alone: a known, writable field with a value of its form
// and range. Returns the error in plain words, or nothing.
std::optional<QString> checkChange(const FieldChange &change);

// Puts checked changes into the panel's values, in order (a change from a
// file only where it differs from the read). Gateway and mask start from the
// read.
ExtraWrites applyChanges(const QList<FieldChange> &changes, const DeviceState &state,
                         SystemPanel &panel);

} // namespace kalmo::cli
