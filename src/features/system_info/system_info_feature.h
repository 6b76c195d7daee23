#pragma once
// The system information section: the system parameter record shown and
// written back, the read and write buttons, the serial-number box with its
// model lookup, the series box, the identity tags, and the whole-area dump.
#include "features/common/feature.h"
#include "features/system_info/system_info_panel.h"
#include "protocol/device_catalogue.h"
#include "protocol/dido_block.h"
#include "protocol/sys_param_block.h"
#include "protocol/system_panel.h"

#include <QStringList>

#include <functional>
#include <optional>

namespace kalmo {

// One entry of the version range table read by the system information display.
struct RangeBounds
{
    qint32 upper = 0;
    qint32 lower = 0;
};

class SystemInfoFeature : public Feature
{
    Q_OBJECT
public:
    SystemInfoFeature(const FeatureContext &context, QObject *parent);

    SystemInfoPanel *panel() const { return m_panel; }
    void onConnection(ConnectionEvent event) override;
    // A device chosen in the network list: its address and the PD tag it
    // announced.
    void showChosenDevice(const QStringList &address, const QString &pdTag);

    // The RS485_2 boxes as a new panel shows them.
    void showDefaultRs485_2Settings();
    void ShowSysInfo();
    void DistributeSysParam(); // the network reply to block 10003 type 1
    void DistributePDTagandDeviceID();
    void cmdGetSys_Click();
    void cmdSetPara_Click();
    void lblNUM_Change();
    void txtSeries_Change();

    // The version range table, filled at start-up.
    std::array<RangeBounds, 4> rangeTable{};
    bool rangeTableValid = false;
    // The firmware-version check, armed by the communicate button and run
    // at most once per press by the system information display.
    VersionCheck versionCheck;

private:
    // The panel's values as the write collects them.
    SystemPanel panelValues() const;
    void showSysParamReply(Link link, const std::function<void(SysParamPanelItems &)> &decode);
    void showTags(const QByteArray &reply);
    BuildOutcome buildTagWrite(BuildContext &context);
    BuildOutcome buildSetSysInfo(BuildContext &context);
    void appendDump(const QByteArray &reply);
    void showDidoItems(const DidoReading &reading);
    void showImageValue(const ImageItemTarget &target, const QString &value);
    void collectImage(ImageRecord &record) const;
    void checkFirmwareVersion();
    void clearDeviceBoxes();
    void setPortLists(bool enabled, bool cleared);
    void setProductionPickers(const QDate &date, bool enabled);
    static void enableAll(bool enabled, std::initializer_list<QWidget *> widgets);

    SystemInfoPanel *m_panel;
    // What the write button collected. A read reply that comes in before the
    // write goes out refreshes the panel and the session's record, not this.
    std::optional<SysParamRecord> m_recordToWrite;
};

} // namespace kalmo
