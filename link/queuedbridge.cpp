#include "queuedbridge.h"

namespace relaybox {

QueuedBridge::QueuedBridge(Handler handler)
    : m_handler(std::move(handler))
{ }

bool QueuedBridge::deliver(const ReplyEffects &effects)
{
    std::unique_lock lock(m_mutex);
    if (!m_open)
        return false;
    const std::uint64_t generation = m_generation;
    const std::uint64_t ticket = ++m_posted;
    m_pending = Pending { effects, generation, ticket };
    QMetaObject::invokeMethod(this, "runPending", Qt::QueuedConnection);
    m_done.wait(lock, [&] { return m_completed >= ticket || m_generation != generation; });
    return m_generation == generation;
}

void QueuedBridge::runPending()
{
    Pending pending;
    {
        std::lock_guard lock(m_mutex);
        if (!m_pending || m_pending->generation != m_generation)
            return;
        pending = *m_pending;
        m_pending.reset();
    }
    m_handler(pending.effects);
    {
        std::lock_guard lock(m_mutex);
        if (pending.generation == m_generation)
            m_completed = pending.ticket;
    }
    m_done.notify_all();
}

void QueuedBridge::open()
{
    std::lock_guard lock(m_mutex);
    m_open = true;
    ++m_generation;
    m_posted = 0;
    m_completed = 0;
    m_pending.reset();
}

void QueuedBridge::close()
{
    {
        std::lock_guard lock(m_mutex);
        m_open = false;
        ++m_generation;
        m_pending.reset();
    }
    m_done.notify_all();
}

} // namespace relaybox
