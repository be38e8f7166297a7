#pragma once

#include <vector>

// Summaries of measured times.

namespace relaybox::bench {

struct Summary
{
    int count = 0;
    double mean = 0;
    double p50 = 0;
    double p99 = 0;
    double max = 0;
};

// Percentiles by the nearest rank; all zero for no samples.
Summary summarize(std::vector<double> samples);

} // namespace relaybox::bench
