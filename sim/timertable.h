#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// The timers the switch holds: one power-on and one power-off timer per port, each due at a moment
// of the switch's own clock (milliseconds). An entry for a whole bank or for all banks is stored on
// every port it covers and remembers where it came from, so that it can be reported as it was set.

namespace relaybox::sim {

class TimerTable
{
public:
    static constexpr int kBanks = 16;
    static constexpr int kPorts = 8;
    static constexpr std::int64_t kDayMs = 86'400'000;

    // Bank and port as on the wire: bank 0 with port 0 is every port of banks 1..bankCount, port 0
    // the whole bank. selector 1 is the power-on timer, 0 the power-off timer.
    void set(char letter, int bank, int port, int selector, std::int64_t dueMs, int bankCount);
    void clear(int bank, int port, int selector);
    void clearAll();
    void clearBanksFrom(int bankCount); // banks that left the chain forget their timers

    // Timers that fired together: same kind, origin, selector and moment.
    struct Firing
    {
        char letter = 'T';
        int bank = 0; // as set on the wire
        int port = 0;
        int selector = 1;
        std::int64_t dueMs = 0;
        std::vector<std::pair<int, int>> ports; // (bank 1.., port 1..) to switch
    };
    // Fires every timer due at nowMs: "T" is gone afterwards, "D" and "W" move to their next
    // moment after nowMs (one firing, however far the clock jumped).
    std::vector<Firing> fireDue(std::int64_t nowMs);

    // The held timers as they would be reported: a bank-wide or all-banks entry once while every
    // port it covers still holds it, otherwise port by port.
    struct Held
    {
        char letter = 'T';
        int bank = 0;
        int port = 0;
        int selector = 1;
        std::int64_t dueMs = 0;
    };
    std::vector<Held> held(int bankCount) const;

    std::optional<std::int64_t> nextDueMs() const;
    bool has(int bank, int port, int selector) const; // bank 1.., port 1..

private:
    struct Slot
    {
        bool armed = false;
        char letter = 'T';
        std::int64_t dueMs = 0;
        int originBank = 0;
        int originPort = 0;
        bool sameTimer(const Slot &other) const
        {
            return armed && other.armed && letter == other.letter && dueMs == other.dueMs
                && originBank == other.originBank && originPort == other.originPort;
        }
    };
    using Selectors = std::array<Slot, 2>;
    std::array<std::array<Selectors, kPorts>, kBanks> m_slots {};

    bool coversWhole(const Slot &slot, int selector, int bankCount) const;
};

} // namespace relaybox::sim
