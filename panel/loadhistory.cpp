#include "loadhistory.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>

namespace relaybox {

namespace {

// Without a spacing (tests), a sample a second bounds the ring.
std::size_t capacityFor(const LoadHistoryLimits &limits)
{
    const auto spacing =
        std::max<std::chrono::milliseconds>(limits.minSpacing, std::chrono::seconds(1));
    return std::size_t(std::max<std::int64_t>(limits.maxAge / spacing, 0)) + 1;
}

} // namespace

LoadHistory::LoadHistory(LoadHistoryLimits limits)
    : m_capacity(capacityFor(limits))
    , m_limits(limits)
{ }

void LoadHistory::Ring::dropFirst()
{
    first = (first + 1) % cells.size();
    --count;
}

void LoadHistory::add(int bank, std::int64_t msSinceEpoch, float amperes)
{
    if (!isBankNumber(bank) || !(amperes >= kLowestAmperes && amperes < kAmperesBound))
        return;
    // A clock set back by more than a slip would put new samples before old ones: start afresh.
    if (m_linkEnded || (m_hasOrigin && msSinceEpoch < m_newestMs - kClockSlipMs))
        clear();
    if (!m_hasOrigin) {
        m_originMs = msSinceEpoch;
        m_newestMs = msSinceEpoch;
        m_hasOrigin = true;
    }
    // The offsets are 32 bits (24.8 days): a longer link moves the origin up to the last day.
    if (msSinceEpoch - m_originMs > std::numeric_limits<std::int32_t>::max())
        moveOrigin(msSinceEpoch - m_limits.maxAge.count());
    const std::int64_t offset = msSinceEpoch - m_originMs;
    if (offset < 0)
        return; // a slip back before the first sample
    m_newestMs = std::max(m_newestMs, msSinceEpoch);
    m_bankCount = std::max(m_bankCount, bank);

    Ring &ring = m_rings[bank - 1];
    if (ring.cells.empty())
        ring.cells.resize(m_capacity);
    if (ring.count > 0) {
        const std::int64_t last = ring.at(ring.count - 1).msAfterOrigin;
        if (offset < last || offset - last < m_limits.minSpacing.count())
            return;
    }
    dropOlderThan(offset - m_limits.maxAge.count());
    if (ring.count == ring.cells.size())
        ring.dropFirst();
    ring.cells[(ring.first + ring.count) % ring.cells.size()] =
        Stored { std::int32_t(offset), amperes };
    ++ring.count;
    ++ring.appended;
}

// Every bank ages, also one that has left the chain and reports nothing.
void LoadHistory::dropOlderThan(std::int64_t offset)
{
    for (Ring &ring : m_rings)
        while (ring.count > 0 && ring.at(0).msAfterOrigin < offset)
            ring.dropFirst();
}

void LoadHistory::moveOrigin(std::int64_t originMs)
{
    const std::int64_t shift = originMs - m_originMs;
    for (Ring &ring : m_rings) {
        while (ring.count > 0 && ring.at(0).msAfterOrigin < shift)
            ring.dropFirst();
        for (std::size_t i = 0; i < ring.count; ++i)
            ring.cells[(ring.first + i) % ring.cells.size()].msAfterOrigin -= std::int32_t(shift);
    }
    m_originMs = originMs;
    ++m_revision;
}

void LoadHistory::setBankCount(int bankCount)
{
    if (m_linkEnded)
        clear();
    m_bankCount = std::clamp(bankCount, 0, kMaxBanks);
}

std::vector<LoadSample> LoadHistory::samples(int bank) const
{
    std::vector<LoadSample> out;
    if (!isBankNumber(bank))
        return out;
    const Ring &ring = m_rings[bank - 1];
    out.reserve(ring.count);
    for (std::size_t i = 0; i < ring.count; ++i)
        out.push_back({ m_originMs + ring.at(i).msAfterOrigin, ring.at(i).amperes });
    return out;
}

std::size_t LoadHistory::sampleCount(int bank) const
{
    return isBankNumber(bank) ? m_rings[bank - 1].count : 0;
}

LoadSample LoadHistory::sample(int bank, std::size_t index) const
{
    const Stored &stored = m_rings[bank - 1].at(index);
    return { m_originMs + stored.msAfterOrigin, stored.amperes };
}

std::uint64_t LoadHistory::appendedCount(int bank) const
{
    return isBankNumber(bank) ? m_rings[bank - 1].appended : 0;
}

void LoadHistory::clear()
{
    for (Ring &ring : m_rings)
        ring = Ring {};
    m_hasOrigin = false;
    m_linkEnded = false;
    ++m_revision;
}

std::string formatUtcMillis(std::int64_t msSinceEpoch)
{
    using namespace std::chrono;
    const sys_time<milliseconds> time { milliseconds(msSinceEpoch) };
    const sys_days day = floor<days>(time);
    const year_month_day date(day);
    const hh_mm_ss clock(time - day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(clock.hours().count()),
                  int(clock.minutes().count()), int(clock.seconds().count()),
                  int(clock.subseconds().count()));
    return text;
}

std::string LoadHistory::toCsv() const
{
    struct Row
    {
        std::int32_t ms;
        int bank;
        float amperes;
    };
    std::vector<Row> rows;
    for (int bank = 1; bank <= kMaxBanks; ++bank) {
        const Ring &ring = m_rings[bank - 1];
        for (std::size_t i = 0; i < ring.count; ++i)
            rows.push_back({ ring.at(i).msAfterOrigin, bank, ring.at(i).amperes });
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Row &a, const Row &b) { return a.ms < b.ms; });

    std::string csv = "time,bank,current\n";
    csv.reserve(csv.size() + rows.size() * 36);
    for (const Row &row : rows) {
        csv += formatUtcMillis(m_originMs + row.ms);
        csv += ',';
        csv += std::to_string(row.bank);
        csv += ',';
        char number[32];
        const auto end = std::to_chars(number, number + sizeof number, row.amperes).ptr;
        csv.append(number, end);
        csv += '\n';
    }
    return csv;
}

} // namespace relaybox
