#pragma once

#include <QObject>
#include <array>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "link/replyeffects.h"
#include "panel/bankpanel.h"
#include "panel/panellogic.h"
#include "panel/switchreadback.h"

class QLabel;

// Shows on the port buttons whether a switching command is on its way (an amber ring) or the
// switch did not follow it (a red ring, with a tooltip), for the banks the panels show.

namespace relaybox {

class LinkController;
class PanelArt;
class PanelStack;
class SharedState;

class SwitchReadbackMarks : public QObject
{
    Q_OBJECT

public:
    SwitchReadbackMarks(SharedState &state, const PanelArt &art, PanelStack &panels,
                        LinkController &link, QObject *parent = nullptr);

    // A switching frame of the operator's was written whole to the switch: its ports are the
    // operator's again.
    void frameWritten(const std::string &frame);
    // One of a script's, through the shared line: rung like the operator's.
    void clientFrameWritten(const std::string &frame);
    // A script switched these (bank, port) pairs; their tooltips say who and when until the
    // operator switches them or the link ends.
    void switchedByClient(const std::vector<std::pair<int, int>> &ports, const QString &origin);

    const SwitchReadback &readback() const { return m_readback; }

private:
    void onStatus(UpdateKind kind, int bank);
    void onButtonReleased(int tag, Qt::MouseButton button);
    void redraw();

    SharedState &m_state;
    const PanelArt &m_art;
    PanelStack &m_panels;
    SwitchReadback m_readback;
    std::map<std::pair<int, int>, QString> m_origins; // by (bank, port): "switched by ..."

    std::array<std::array<QLabel *, BankPanel::kPorts>, kVisiblePanels> m_rings {};
    struct Shown
    {
        int bank = 0;
        SwitchMark mark = SwitchMark::None;
        QString origin;
        bool operator==(const Shown &) const = default;
    };
    std::array<std::array<Shown, BankPanel::kPorts>, kVisiblePanels> m_shown {};
};

} // namespace relaybox
