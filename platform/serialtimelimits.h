#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <optional>

#include "platform/serialport.h"

// The total time a read or write of a given length may take under SerialTimeouts.

namespace relaybox {

inline std::optional<std::chrono::milliseconds> totalLimit(int multiplierMs, int constantMs,
                                                           std::size_t size)
{
    if (multiplierMs <= 0 && constantMs <= 0)
        return std::nullopt;
    // A day is far beyond any frame; the cap keeps the product from overflowing.
    constexpr long long kCapMs = 24LL * 60 * 60 * 1000;
    const long long count = static_cast<long long>(std::min<std::size_t>(size, kCapMs));
    const long long total = std::max(0, multiplierMs) * count + std::max(0, constantMs);
    return std::chrono::milliseconds(std::min(total, kCapMs));
}

inline std::optional<std::chrono::milliseconds> readTotalLimit(const SerialTimeouts &timeouts,
                                                               std::size_t size)
{
    return totalLimit(timeouts.readTotalMultiplierMs, timeouts.readTotalConstantMs, size);
}

inline std::optional<std::chrono::milliseconds> writeTotalLimit(const SerialTimeouts &timeouts,
                                                                std::size_t size)
{
    return totalLimit(timeouts.writeTotalMultiplierMs, timeouts.writeTotalConstantMs, size);
}

} // namespace relaybox
