#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "link/bankinfo.h"

// Each bank's load current over the last 24 hours of one link, from the status replies the
// program receives anyway: one ring of samples per bank, its size fixed by the age limit and the
// closest spacing kept, so the memory it can take is known before the first sample.

namespace relaybox {

struct LoadSample
{
    std::int64_t msSinceEpoch = 0; // UTC
    float amperes = 0.0f;

    friend bool operator==(const LoadSample &, const LoadSample &) = default;
};

struct LoadHistoryLimits
{
    std::chrono::milliseconds maxAge { std::chrono::hours(24) };
    // A sample closer than this to the bank's previous one is dropped. The poll runs every
    // 5 s; this keeps a switch that reports faster from shortening the 24 hours.
    std::chrono::milliseconds minSpacing { std::chrono::seconds(4) };
};

class LoadHistory
{
public:
    explicit LoadHistory(LoadHistoryLimits limits = {});

    // Readings outside this range are no bank's load (the panel's two digits show 0 to 99.9 A)
    // and are left out, so that one absurd reading does not flatten the chart.
    static constexpr float kLowestAmperes = 0.0f;
    static constexpr float kAmperesBound = 100.0f; // excluded

    // A current reading of a bank (1 to 16); a bank beyond the count raises it.
    void add(int bank, std::int64_t msSinceEpoch, float amperes);

    // The link ended: what it gathered stays until the next link reports its bank count or
    // brings its first reading.
    void endLink() { m_linkEnded = true; }

    // The switch's bank count. A bank beyond it keeps its readings (a stray count or a chain
    // that shrinks for a moment must not wipe a day) until they age out.
    void setBankCount(int bankCount);
    int bankCount() const { return m_bankCount; }

    // Oldest first.
    std::vector<LoadSample> samples(int bank) const;
    std::size_t sampleCount(int bank) const;
    LoadSample sample(int bank, std::size_t index) const; // index below sampleCount(bank)

    // For readers that follow the history as it grows: the readings a bank has gained since the
    // history last started afresh, and a number that changes whenever it starts afresh or its
    // samples move (what a reader holds must then be read again).
    std::uint64_t appendedCount(int bank) const;
    std::uint64_t revision() const { return m_revision; }

    // Samples one bank can hold, and the bytes all 16 banks can take at most.
    std::size_t capacityPerBank() const { return m_capacity; }
    std::size_t maxBytes() const { return m_capacity * sizeof(Stored) * kMaxBanks; }

    // "time,bank,current" and a row per sample, oldest first (banks in order within a moment):
    // UTC time stamps to the millisecond, the current as the shortest text that reads back as
    // the same float.
    std::string toCsv() const;

    // Every sample goes; the bank count stays.
    void clear();

private:
    // 8 bytes a sample: milliseconds after the history's origin, and the reading.
    struct Stored
    {
        std::int32_t msAfterOrigin = 0;
        float amperes = 0.0f;
    };

    struct Ring
    {
        std::vector<Stored> cells; // grows to the capacity, then wraps
        std::size_t first = 0;
        std::size_t count = 0;
        std::uint64_t appended = 0;

        const Stored &at(std::size_t index) const { return cells[(first + index) % cells.size()]; }
        void dropFirst();
    };

    void moveOrigin(std::int64_t originMs);
    void dropOlderThan(std::int64_t offset);

    // Steps back of the clock up to this long drop the samples they bring; longer ones restart.
    static constexpr std::int64_t kClockSlipMs = 60'000;

    std::size_t m_capacity;
    LoadHistoryLimits m_limits;
    std::array<Ring, kMaxBanks> m_rings {};
    std::int64_t m_originMs = 0;
    std::int64_t m_newestMs = 0;
    bool m_hasOrigin = false;
    bool m_linkEnded = false;
    int m_bankCount = 0;
    std::uint64_t m_revision = 0;
};

// "2026-12-08T12:30:05.123Z"
std::string formatUtcMillis(std::int64_t msSinceEpoch);

} // namespace relaybox
