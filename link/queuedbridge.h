#pragma once

#include <QObject>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "link/uibridge.h"

// The synchronized call over Qt's event queue: the worker posts the update to the UI thread's
// object and waits until it has run. Closing the bridge releases a waiting worker at once and
// drops updates still in the queue, so that the UI thread never waits for a worker that waits
// for the UI thread.

namespace relaybox {

class QueuedBridge final : public UiBridge
{
public:
    using Handler = std::function<void(const ReplyEffects &)>;

    QueuedBridge(QObject *uiContext, Handler handler);

    bool deliver(const ReplyEffects &effects) override;

    void open(); // a link starts
    void close(); // the link ends

private:
    void run(const ReplyEffects &effects, std::uint64_t generation, std::uint64_t ticket);

    QObject *m_context;
    Handler m_handler;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_open = false;
    std::uint64_t m_generation = 0; // one per link; updates of an earlier link are dropped
    std::uint64_t m_posted = 0;
    std::uint64_t m_completed = 0;
};

} // namespace relaybox
