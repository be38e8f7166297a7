#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// What the simulator observed, one line each, readable from any thread: tests wait for lines, the
// program copies each to its standard output as it comes.

namespace relaybox::sim {

class EventLog
{
public:
    using Sink = std::function<void(const std::string &)>;
    using Predicate = std::function<bool(const std::string &)>;
    static constexpr std::size_t kKeep = 100'000; // older lines are forgotten

    explicit EventLog(Sink sink = {})
        : m_sink(std::move(sink))
    { }

    void append(std::string line);

    // Lines are numbered from 0 in the order they came; size() is the next number.
    std::size_t size() const;
    std::vector<std::string> lines(std::size_t from = 0) const;

    // The first line numbered from `from` on that satisfies the predicate; waits up to timeout
    // for it. `matched`, if given, receives its number.
    std::optional<std::string> waitForLine(const Predicate &predicate,
                                           std::chrono::milliseconds timeout, std::size_t from = 0,
                                           std::size_t *matched = nullptr) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::deque<std::string> m_lines;
    std::size_t m_forgotten = 0;
    Sink m_sink;
};

} // namespace relaybox::sim
