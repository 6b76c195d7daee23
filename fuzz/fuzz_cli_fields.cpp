// The fields kalmo-cli takes from --set and from a --from JSON file: arbitrary
// text as "name=value" lines, or as a JSON object when it starts with "{".
// Each change is checked alone; the accepted ones go onto a panel read from a
// sound device. Invariant: changes that pass their own check never make the
// parameter write refuse, and the write image keeps its length.
#include "cli/device_fields.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdint>
#include <cstdlib>

using namespace kalmo;
using namespace kalmo::cli;

namespace {

// A KVRQ101 as a read shows it.
const DeviceState &readDevice()
{
    static const DeviceState state = [] {
        DeviceState s;
        s.record.DeviceType = 8;
        s.record.SerialNumber = 1;
        s.record.IpAddress = {192, 168, 1, 20};
        s.record.Port1Line = 0x03;
        s.record.Port1Protocol = 0x01;
        s.record.Port2Line = 0x03;
        s.record.Port2Protocol = 0x01;
        s.record.ProductionYear = 2015;
        s.record.ProductionMonth = 12;
        s.record.ProductionDay = 9;
        s.record.Port2Role = 1;
        SysParamPanelItems items;
        items.BootVersion = 0x21;
        items.NoUserProgram = 0;
        items.Rs485_2MaxErrors = 3;
        items.Rs485_2CommInterval = 100;
        items.Rs485_2WaitTime = 500;
        items.FlashFlags = 0;
        showSysParam(s.panel, s.record, items, Link::Serial);
        s.panel.hardwareNumber = QStringLiteral("200000000000000");
        s.panel.pdTag = QStringLiteral("KVRQ101 泵站");
        s.mac = std::array<quint8, 6>{0, 0xFE, 0x0F, 0x0C, 0x09, 0x01};
        s.gatewayAndMask = std::array<quint8, 8>{192, 168, 1, 1, 255, 255, 255, 0};
        s.sysParamRead = true;
        return s;
    }();
    return state;
}

QList<FieldChange> changesOf(const QString &text)
{
    QList<FieldChange> changes;
    if (text.startsWith(u'{')) {
        const QJsonObject object = QJsonDocument::fromJson(text.toUtf8()).object();
        for (auto it = object.begin(); it != object.end(); ++it)
            changes.append({it.key(), it.value().toVariant().toString(), true});
        return changes;
    }
    for (const QString &line : text.split(u'\n')) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0) changes.append({line.left(eq).trimmed(), line.mid(eq + 1)});
    }
    return changes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<FieldChange> accepted;
    for (const FieldChange &change : changesOf(text))
        if (!checkChange(change)) accepted.append(change);

    const DeviceState &state = readDevice();
    SystemPanel panel = state.panel;
    applyChanges(accepted, state, panel);
    const auto prepared = prepareSysParamWrite(panel, state.record);
    if (!std::holds_alternative<SysParamWrite>(prepared)) std::abort();
    const SysParamWrite &write = std::get<SysParamWrite>(prepared);
    if (sysParamWriteImage(write.record, write.rs485_2).size() != kSysParamImageLength)
        std::abort();
    return 0;
}
