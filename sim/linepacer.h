#pragma once

#include <chrono>
#include <cstddef>
#include <optional>

// The 9600-baud line's pace for one direction: a byte has passed once its ten bits have, so byte
// k of a run passes at start + (k + 1) x 1.0417 ms. When the thread wakes late, the bytes whose
// slots have passed go together (a few at most), so the rate never exceeds the line's. Disabled,
// every byte may pass at once.

namespace relaybox::sim {

class LinePacer
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::nanoseconds kByteTime { 1'041'667 };

    explicit LinePacer(bool enabled = false)
        : m_enabled(enabled)
    { }

    bool enabled() const { return m_enabled; }

    // Bytes join a queue that was empty: the line is idle, the first is through one byte time
    // from now.
    void wake(Clock::time_point now)
    {
        if (m_next < now + kByteTime)
            m_next = now + kByteTime;
    }
    std::size_t allowance(Clock::time_point now, std::size_t waiting) const
    {
        if (!m_enabled)
            return waiting;
        const Clock::time_point from = caughtUp(now);
        if (now < from)
            return 0;
        const auto open = std::size_t((now - from) / kByteTime) + 1;
        return open < waiting ? open : waiting;
    }
    void passed(Clock::time_point now, std::size_t bytes)
    {
        m_next = caughtUp(now) + bytes * kByteTime;
    }
    // When the next byte may pass, if it cannot now.
    std::optional<Clock::time_point> nextSlot(Clock::time_point now) const
    {
        if (!m_enabled || now >= m_next)
            return std::nullopt;
        return m_next;
    }

private:
    // A thread that woke late may catch up a few slots, never more: no burst after a stall.
    static constexpr int kCatchUp = 4;
    Clock::time_point caughtUp(Clock::time_point now) const
    {
        const Clock::time_point earliest = now - kCatchUp * kByteTime;
        return m_next < earliest ? earliest : m_next;
    }

    bool m_enabled;
    Clock::time_point m_next {};
};

} // namespace relaybox::sim
