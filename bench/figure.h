#pragma once

#include <functional>
#include <string>
#include <vector>

// One measured figure of the program, printed as a row of the benchmark table.

namespace relaybox::bench {

struct Figure
{
    std::string name;
    std::string value; // with its unit
    std::string goal;
    bool met = true;
};

struct Benchmark
{
    std::string key; // for selecting it on the command line
    std::function<std::vector<Figure>()> run;
};

std::vector<Benchmark> &registry();

// Registers a benchmark at start-up: static Register r { "key", function };
struct Register
{
    Register(std::string key, std::function<std::vector<Figure>()> run)
    {
        registry().push_back({ std::move(key), std::move(run) });
    }
};

std::string formatNumber(double value, int decimals);

} // namespace relaybox::bench
