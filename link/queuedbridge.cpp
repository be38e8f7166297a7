#include "queuedbridge.h"

namespace relaybox {

QueuedBridge::QueuedBridge(QObject *uiContext, Handler handler)
    : m_context(uiContext)
    , m_handler(std::move(handler))
{
}

bool QueuedBridge::deliver(const ReplyEffects &effects)
{
    std::unique_lock lock(m_mutex);
    if (!m_open)
        return false;
    const std::uint64_t generation = m_generation;
    const std::uint64_t ticket = ++m_posted;
    QMetaObject::invokeMethod(
            m_context, [this, effects, generation, ticket] { run(effects, generation, ticket); },
            Qt::QueuedConnection);
    m_done.wait(lock, [&] { return m_completed >= ticket || m_generation != generation; });
    return m_generation == generation;
}

void QueuedBridge::run(const ReplyEffects &effects, std::uint64_t generation,
                       std::uint64_t ticket)
{
    {
        std::lock_guard lock(m_mutex);
        if (generation != m_generation)
            return;
    }
    m_handler(effects);
    {
        std::lock_guard lock(m_mutex);
        if (generation == m_generation)
            m_completed = ticket;
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
}

void QueuedBridge::close()
{
    {
        std::lock_guard lock(m_mutex);
        m_open = false;
        ++m_generation;
    }
    m_done.notify_all();
}

} // namespace relaybox
