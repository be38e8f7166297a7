#include "loadhistorytool.h"

#include <QMenu>

#include "link/linkcontroller.h"
#include "link/reply.h"
#include "panel/loadhistorywindow.h"
#include "platform/wallclock.h"

namespace relaybox {

LoadHistoryTool::LoadHistoryTool(SharedState &state, LinkController &link, QMenu *tools,
                                 OperatorDialogs &dialogs, QWidget *windowParent, UtcClock clock,
                                 LoadHistoryLimits limits)
    : QObject(windowParent)
    , m_state(state)
    , m_dialogs(dialogs)
    , m_windowParent(windowParent)
    , m_clock(clock ? std::move(clock) : UtcClock(utcMillisNow))
    , m_history(limits)
    , m_menuItem(tools->addAction(QStringLiteral("Load History")))
{
    m_menuItem->setObjectName(QStringLiteral("mlLoadHistory"));
    connect(m_menuItem, &QAction::triggered, this, &LoadHistoryTool::mlLoadHistoryClick);
    m_redraw.setSingleShot(true);
    m_redraw.setInterval(kRedrawDelay);
    connect(&m_redraw, &QTimer::timeout, this, [this] {
        if (windowOnScreen())
            m_window->refresh();
    });
    connect(&link, &LinkController::panelRefresh, this, &LoadHistoryTool::onStatus);
    connect(&link, &LinkController::bankCountChanged, this, [this](int, int newCount) {
        m_history.setBankCount(newCount);
        refreshSoon();
    });
    // The ended link's history stays on view until the next link reports.
    connect(&link, &LinkController::linkResetRequested, this, [this] { m_history.endLink(); });
}

void LoadHistoryTool::onStatus(UpdateKind kind, int bank)
{
    if (kind != UpdateKind::Current && kind != UpdateKind::FullStatus)
        return;
    if (!isBankNumber(bank))
        return;
    // A reading that did not parse left the old value in place: it is not a new sample. The
    // worker waits while its update runs, so the last line is the one that asked for it.
    if (!parseReply(m_state.lastLine()).current)
        return;
    m_history.add(bank, m_clock(), m_state.bank(bank).current);
    refreshSoon();
}

void LoadHistoryTool::refreshSoon()
{
    if (windowOnScreen() && !m_redraw.isActive())
        m_redraw.start();
}

// Closed or minimised, the window does no work; it catches up when it is shown again.
bool LoadHistoryTool::windowOnScreen() const
{
    return m_window && m_window->isVisible() && !m_window->isMinimized();
}

void LoadHistoryTool::mlLoadHistoryClick()
{
    if (!m_window)
        m_window = new LoadHistoryWindow(m_history, m_dialogs, m_windowParent);
    m_window->refresh();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

} // namespace relaybox
