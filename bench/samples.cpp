#include "samples.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace relaybox::bench {
namespace {

double nearestRank(const std::vector<double> &sorted, double percent)
{
    const auto rank = std::size_t(std::ceil(percent / 100.0 * double(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

} // namespace

Summary summarize(std::vector<double> samples)
{
    Summary summary;
    if (samples.empty())
        return summary;
    std::sort(samples.begin(), samples.end());
    summary.count = int(samples.size());
    summary.mean = std::accumulate(samples.begin(), samples.end(), 0.0) / double(samples.size());
    summary.p50 = nearestRank(samples, 50);
    summary.p99 = nearestRank(samples, 99);
    summary.max = samples.back();
    return summary;
}

} // namespace relaybox::bench
