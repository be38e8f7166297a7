#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "link/replyeffects.h"
#include "panel/loadhistory.h"

class QAction;
class QMenu;
class QWidget;

// Tools > "Load History": records each bank's current from the status replies of the link and
// opens the window that draws it. The window is built on first use, so start-up does not pay
// for the chart.

namespace relaybox {

class LinkController;
class LoadHistoryWindow;
class OperatorDialogs;
class SharedState;

class LoadHistoryTool : public QObject
{
    Q_OBJECT

public:
    using UtcClock = std::function<std::int64_t()>; // milliseconds since 1970 UTC

    LoadHistoryTool(SharedState &state, LinkController &link, QMenu *tools,
                    OperatorDialogs &dialogs, QWidget *windowParent, UtcClock clock = {},
                    LoadHistoryLimits limits = {});

    void mlLoadHistoryClick();

    const LoadHistory &history() const { return m_history; }
    LoadHistory &history() { return m_history; }
    QAction *menuItem() const { return m_menuItem; }
    LoadHistoryWindow *window() const { return m_window; } // null until first opened

private:
    void onStatus(UpdateKind kind, int bank);
    void refreshSoon();
    bool windowOnScreen() const;

    // At most one redraw a second, and one for all sixteen banks of a poll (their replies take
    // about half a second on the line). Nothing is redrawn while the window is closed; opening it
    // brings it up to date.
    static constexpr std::chrono::milliseconds kRedrawDelay { 1000 };

    SharedState &m_state;
    OperatorDialogs &m_dialogs;
    QWidget *m_windowParent;
    UtcClock m_clock;
    LoadHistory m_history;
    QAction *m_menuItem;
    LoadHistoryWindow *m_window = nullptr;
    QTimer m_redraw;
};

} // namespace relaybox
