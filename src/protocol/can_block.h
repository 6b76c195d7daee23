#pragma once
// The CAN settings block: the bit rate and the port role, one byte each, as
// indices into the dialog's two lists.
#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <optional>

namespace kalmo {

inline constexpr qsizetype kCanBlockLength = 2;

struct CanSettings
{
    quint8 baudIndex = 0; // canBaudNames()
    quint8 roleIndex = 0; // canRoleNames()
};

// The list entries in byte order: "20K" … "1M", and "从口", "主口".
const QStringList &canBaudNames();
const QStringList &canRoleNames();

QByteArray encodeCanSettings(const CanSettings &settings);

// A read reply's two data bytes. A byte outside its list gives nothing and
// names its field ("波特率" or "主从") in `badField`.
std::optional<CanSettings> decodeCanSettings(QByteArrayView data, QString *badField = nullptr);

// A detect reply's first data byte: 10 and above is a sound configuration.
inline bool canCheckPassed(quint8 firstByte)
{
    return firstByte >= 10;
}

} // namespace kalmo
