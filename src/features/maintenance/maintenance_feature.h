#pragma once
// The maintenance section: the extended RAM test and its lamps, the light
// board, stopping and clearing the controller, saving and restoring
// parameters, the high-speed inputs and outputs with the output frequencies,
// Profibus on or off, and the character time that follows an RS485 port's
// baud rate.
#include "features/common/feature.h"
#include "features/maintenance/maintenance_panel.h"
#include "protocol/maintenance_block.h"

#include <array>

class QComboBox;
class QLineEdit;

namespace kalmo {

// Controls of neighbouring frames that maintenance commands act on: the
// high-speed I/O frame beside the clock and the RS485 port frames of the
// system information. The window hands them over when it wires its sections.
struct NeighbourControls
{
    std::array<QCheckBox *, kHighSpeedBoxCount> Check_InAndOut{};
    std::array<QLineEdit *, 2> outputFrequency{}; // Text5 2 (Q0.0) and 3 (Q0.1)
    QPushButton *Cmd_WritePre = nullptr;
    std::array<QComboBox *, 2> Combo9{}; // baud rate of each RS485 port
    std::array<QLineEdit *, 2> txt_RSDataTime{};
};

class MaintenanceFeature : public Feature
{
    Q_OBJECT
public:
    MaintenanceFeature(const FeatureContext &context, QObject *parent);

    MaintenancePanel *panel() const { return m_panel; }
    void attach(const NeighbourControls &controls);
    void onConnection(ConnectionEvent event) override;

    void bt_CheckRAM_Click();
    void cmdCheckLight_Click();
    void cmdStopCheck_Click();
    void cmdClearCode_Click();
    void Command_STORE_Click();
    void Command_Resume_Click();
    void Cmd_DefaultParam_Click();
    void Cmd_ResumeParam_Click();
    void Check_InAndOut_Click(int index);
    void Cmd_WritePre_Click();
    void btRProfibus_Click();
    void ckProfibus_MouseUp();
    void Combo9_Click(int port);

private:
    void registerBuilders();
    BuildOutcome buildHighSpeedIo(BuildContext &context) const;
    BuildOutcome buildOutputFrequency(BuildContext &context) const;
    quint8 selectionByte() const;
    // Pushes the code of the chosen link; a link without one gets nothing.
    void pushFor(const char *label, qint16 serialCode, qint16 networkCode);
    void push(const char *label, qint16 code);
    void switchLightBoard(const char *label, bool on);
    void DistributeRAMTest(const Reply &reply);
    void enableDeviceCommands(bool enabled);
    void enableHighSpeedIo(bool enabled);
    void clearLamps();

    MaintenancePanel *m_panel;
    NeighbourControls m_neighbours;
};

} // namespace kalmo
