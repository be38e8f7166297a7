#include "switchreadbackmarks.h"

#include <QLabel>
#include <QScrollBar>

#include "link/linkcontroller.h"
#include "link/reply.h"
#include "panel/panelstack.h"
#include "resources/panelart.h"

namespace relaybox {

SwitchReadbackMarks::SwitchReadbackMarks(SharedState &state, const PanelArt &art,
                                         PanelStack &panels, LinkController &link, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_art(art)
    , m_panels(panels)
{
    for (int panel = 1; panel <= kVisiblePanels; ++panel) {
        for (int port = 1; port <= BankPanel::kPorts; ++port) {
            PictureControl *button = panels.panel(panel)->button(port);
            // Over the button, letting its clicks through; hidden while there is no mark.
            auto *ring = new QLabel(button);
            ring->setObjectName(QStringLiteral("imButtonRing%1%2").arg(panel).arg(port));
            ring->setGeometry(button->rect());
            ring->setScaledContents(true);
            ring->setAttribute(Qt::WA_TransparentForMouseEvents);
            ring->hide();
            m_rings[panel - 1][port - 1] = ring;
            connect(button, &PictureControl::released, this,
                    &SwitchReadbackMarks::onButtonReleased);
        }
    }
    connect(&link, &LinkController::panelRefresh, this, &SwitchReadbackMarks::onStatus);
    connect(&link, &LinkController::bankCountChanged, this, [this](int, int newCount) {
        m_readback.setBankCount(newCount);
        redraw();
    });
    connect(&link, &LinkController::linkResetRequested, this, [this] {
        m_readback.clear();
        m_origins.clear();
        redraw();
    });
    connect(panels.scrollBar(), &QScrollBar::valueChanged, this, &SwitchReadbackMarks::redraw);
}

void SwitchReadbackMarks::frameWritten(const std::string &frame)
{
    for (const auto &port : m_readback.frameWritten(frame))
        m_origins.erase(port);
    redraw();
}

void SwitchReadbackMarks::clientFrameWritten(const std::string &frame)
{
    m_readback.frameWritten(frame);
    redraw();
}

void SwitchReadbackMarks::switchedByClient(const std::vector<std::pair<int, int>> &ports,
                                           const QString &origin)
{
    for (const auto &port : ports)
        m_origins[port] = origin;
    redraw();
}

void SwitchReadbackMarks::onStatus(UpdateKind update, int bank)
{
    if (update != UpdateKind::PortLetters && update != UpdateKind::FullStatus)
        return;
    // A two-word status carries either letters word; only the switch letters count. The worker
    // waits while its update runs, so the last line is the one that asked for it.
    if (update == UpdateKind::PortLetters && !parseReply(m_state.lastLine()).switchLetters)
        return;
    if (!isBankNumber(bank))
        return;
    m_readback.statusArrived(bank, m_state.bank(bank).switchLetters);
    redraw();
}

void SwitchReadbackMarks::onButtonReleased(int tag, Qt::MouseButton button)
{
    if (button != Qt::LeftButton)
        return;
    const PanelPort where = panelPortOfTag(tag);
    m_readback.acknowledge(bankOfPanel(m_panels.scrollPosition(), where.panel), where.port);
    redraw();
}

void SwitchReadbackMarks::redraw()
{
    const bool linked = m_state.linkUp();
    const int position = m_panels.scrollPosition();
    for (int panel = 1; panel <= kVisiblePanels; ++panel) {
        const int bank = bankOfPanel(position, panel);
        for (int port = 1; port <= BankPanel::kPorts; ++port) {
            const SwitchMark mark = linked ? m_readback.mark(bank, port) : SwitchMark::None;
            const auto origin = m_origins.find({ bank, port });
            const Shown now { bank, mark, origin == m_origins.end() ? QString() : origin->second };
            Shown &shown = m_shown[panel - 1][port - 1];
            if (shown == now)
                continue;
            shown = now;
            QLabel *ring = m_rings[panel - 1][port - 1];
            if (mark != SwitchMark::None)
                ring->setPixmap(m_art.portButtonRing(mark == SwitchMark::Unconfirmed ? 1 : 0));
            ring->setVisible(mark != SwitchMark::None);
            QStringList tip;
            if (mark == SwitchMark::Unconfirmed)
                tip << QStringLiteral("Bank %1 Port %2 did not switch").arg(bank).arg(port);
            if (!now.origin.isEmpty())
                tip << now.origin;
            m_panels.panel(panel)->button(port)->setToolTip(tip.join(u'\n'));
        }
    }
}

} // namespace relaybox
