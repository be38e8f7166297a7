#include "sim/timertable.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace relaybox::sim {

namespace {

std::int64_t periodMs(char letter)
{
    switch (letter) {
    case 'D':
        return TimerTable::kDayMs;
    case 'W':
        return 7 * TimerTable::kDayMs;
    default:
        return 0;
    }
}

} // namespace

void TimerTable::set(char letter, int bank, int port, int selector, std::int64_t dueMs,
                     int bankCount)
{
    const Slot slot { true, letter, dueMs, bank, port };
    const int s = selector ? 1 : 0;
    if (bank == 0) {
        for (int b = 0; b < std::min(bankCount, kBanks); ++b)
            for (auto &ports : m_slots[b])
                ports[s] = slot;
    } else if (port == 0) {
        for (auto &ports : m_slots[bank - 1])
            ports[s] = slot;
    } else {
        m_slots[bank - 1][port - 1][s] = slot;
    }
}

void TimerTable::clear(int bank, int port, int selector)
{
    const int s = selector ? 1 : 0;
    for (int b = 0; b < kBanks; ++b) {
        if (bank != 0 && b != bank - 1)
            continue;
        for (int p = 0; p < kPorts; ++p)
            if (port == 0 || p == port - 1)
                m_slots[b][p][s] = {};
    }
}

void TimerTable::clearAll()
{
    m_slots = {};
}

void TimerTable::clearBanksFrom(int bankCount)
{
    for (int b = std::max(bankCount, 0); b < kBanks; ++b)
        m_slots[b] = {};
}

std::vector<TimerTable::Firing> TimerTable::fireDue(std::int64_t nowMs)
{
    std::vector<Firing> firings;
    // Key: origin bank, origin port, selector, letter, due.
    std::map<std::tuple<int, int, int, char, std::int64_t>, std::size_t> index;
    for (int b = 0; b < kBanks; ++b) {
        for (int p = 0; p < kPorts; ++p) {
            for (int s = 1; s >= 0; --s) {
                Slot &slot = m_slots[b][p][s];
                if (!slot.armed || slot.dueMs > nowMs)
                    continue;
                const auto key =
                    std::make_tuple(slot.originBank, slot.originPort, s, slot.letter, slot.dueMs);
                auto found = index.find(key);
                if (found == index.end()) {
                    found = index.emplace(key, firings.size()).first;
                    firings.push_back(
                        { slot.letter, slot.originBank, slot.originPort, s, slot.dueMs, {} });
                }
                firings[found->second].ports.emplace_back(b + 1, p + 1);

                const std::int64_t period = periodMs(slot.letter);
                if (period == 0) {
                    slot = {};
                } else {
                    const std::int64_t late = nowMs - slot.dueMs;
                    slot.dueMs += (late / period + 1) * period;
                }
            }
        }
    }
    return firings;
}

bool TimerTable::coversWhole(const Slot &slot, int selector, int bankCount) const
{
    const int first = slot.originBank == 0 ? 0 : slot.originBank - 1;
    const int last = slot.originBank == 0 ? std::min(bankCount, kBanks) - 1 : first;
    for (int b = first; b <= last; ++b)
        for (int p = 0; p < kPorts; ++p)
            if (!m_slots[b][p][selector].sameTimer(slot))
                return false;
    return true;
}

std::vector<TimerTable::Held> TimerTable::held(int bankCount) const
{
    std::vector<Held> result;
    std::array<std::array<std::array<bool, 2>, kPorts>, kBanks> reported {};
    for (int b = 0; b < kBanks; ++b) {
        for (int p = 0; p < kPorts; ++p) {
            for (int s = 1; s >= 0; --s) {
                const Slot &slot = m_slots[b][p][s];
                if (!slot.armed || reported[b][p][s])
                    continue;
                if (slot.originPort == 0 && coversWhole(slot, s, bankCount)) {
                    result.push_back({ slot.letter, slot.originBank, 0, s, slot.dueMs });
                    for (int ob = 0; ob < kBanks; ++ob)
                        for (int op = 0; op < kPorts; ++op)
                            if (m_slots[ob][op][s].sameTimer(slot))
                                reported[ob][op][s] = true;
                    continue;
                }
                result.push_back({ slot.letter, b + 1, p + 1, s, slot.dueMs });
                reported[b][p][s] = true;
            }
        }
    }
    return result;
}

std::optional<std::int64_t> TimerTable::nextDueMs() const
{
    std::optional<std::int64_t> next;
    for (const auto &bank : m_slots)
        for (const auto &port : bank)
            for (const Slot &slot : port)
                if (slot.armed && (!next || slot.dueMs < *next))
                    next = slot.dueMs;
    return next;
}

bool TimerTable::has(int bank, int port, int selector) const
{
    if (bank < 1 || bank > kBanks || port < 1 || port > kPorts)
        return false;
    return m_slots[bank - 1][port - 1][selector ? 1 : 0].armed;
}

} // namespace relaybox::sim
