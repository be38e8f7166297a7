#pragma once

#include <QObject>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

#include "link/uibridge.h"

// The synchronized call over Qt's event queue: the worker leaves the update with the bridge,
// which lives in the UI thread, and waits until it has run there. Closing the bridge releases a
// waiting worker at once and drops an update not yet run, so that the UI thread never waits for
// a worker that waits for the UI thread.

namespace relaybox {

class QueuedBridge final : public QObject, public UiBridge
{
    Q_OBJECT

public:
    using Handler = std::function<void(const ReplyEffects &)>;

    explicit QueuedBridge(Handler handler);

    bool deliver(const ReplyEffects &effects) override;

    void open(); // a link starts
    void close(); // the link ends

private:
    // Runs in the UI thread. Only our own mutex hands the update over, so that the hand-over is
    // visible to the thread checker rather than hidden in the event queue.
    Q_INVOKABLE void runPending();

    struct Pending
    {
        ReplyEffects effects;
        std::uint64_t generation = 0;
        std::uint64_t ticket = 0;
    };

    Handler m_handler;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_open = false;
    std::uint64_t m_generation = 0; // one per link; updates of an earlier link are dropped
    std::uint64_t m_posted = 0;
    std::uint64_t m_completed = 0;
    std::optional<Pending> m_pending; // the worker waits, so there is at most one
};

} // namespace relaybox
