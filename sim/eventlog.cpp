#include "sim/eventlog.h"

namespace relaybox::sim {

void EventLog::append(std::string line)
{
    {
        std::lock_guard lock(m_mutex);
        // The sink runs under the lock so that its output keeps the log's order.
        if (m_sink)
            m_sink(line);
        m_lines.push_back(std::move(line));
        if (m_lines.size() > kKeep) {
            m_lines.pop_front();
            ++m_forgotten;
        }
    }
    m_changed.notify_all();
}

std::size_t EventLog::size() const
{
    std::lock_guard lock(m_mutex);
    return m_forgotten + m_lines.size();
}

std::vector<std::string> EventLog::lines(std::size_t from) const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> result;
    for (std::size_t i = from > m_forgotten ? from - m_forgotten : 0; i < m_lines.size(); ++i)
        result.push_back(m_lines[i]);
    return result;
}

std::optional<std::string> EventLog::waitForLine(const Predicate &predicate,
                                                 std::chrono::milliseconds timeout,
                                                 std::size_t from, std::size_t *matched) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(m_mutex);
    std::size_t next = from;
    while (true) {
        if (next < m_forgotten)
            next = m_forgotten;
        for (; next < m_forgotten + m_lines.size(); ++next) {
            const std::string &line = m_lines[next - m_forgotten];
            if (predicate(line)) {
                if (matched)
                    *matched = next;
                return line;
            }
        }
        if (m_changed.wait_until(lock, deadline) == std::cv_status::timeout
            && next == m_forgotten + m_lines.size())
            return std::nullopt;
    }
}

} // namespace relaybox::sim
