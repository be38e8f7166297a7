// Runs the benchmarks named on the command line (all when none) and prints one table.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/utsname.h>
#include <thread>

#include "figure.h"

namespace relaybox::bench {

std::vector<Benchmark> &registry()
{
    static std::vector<Benchmark> benchmarks;
    return benchmarks;
}

std::string formatNumber(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

} // namespace relaybox::bench

namespace {

std::string cpuModel()
{
    std::FILE *file = std::fopen("/proc/cpuinfo", "r");
    if (!file)
        return "unknown CPU";
    char line[512];
    std::string model = "unknown CPU";
    while (std::fgets(line, sizeof line, file)) {
        if (std::strncmp(line, "model name", 10) == 0) {
            const char *colon = std::strchr(line, ':');
            if (colon) {
                model = colon + 2;
                model.erase(model.find_last_not_of("\r\n") + 1);
            }
            break;
        }
    }
    std::fclose(file);
    return model;
}

} // namespace

int main(int argc, char **argv)
{
    using namespace relaybox::bench;
    utsname host {};
    uname(&host);
    std::printf("Machine: %s, %u hardware threads, %s %s\n\n", cpuModel().c_str(),
                std::thread::hardware_concurrency(), host.sysname, host.release);
    std::printf("| Figure | Measured | Goal | Met |\n|---|---|---|---|\n");
    bool allMet = true;
    for (const Benchmark &benchmark : registry()) {
        bool wanted = argc < 2;
        for (int i = 1; i < argc; ++i)
            wanted = wanted || benchmark.key == argv[i];
        if (!wanted)
            continue;
        for (const Figure &figure : benchmark.run()) {
            std::printf("| %s | %s | %s | %s |\n", figure.name.c_str(), figure.value.c_str(),
                        figure.goal.c_str(), figure.met ? "yes" : "NO");
            std::fflush(stdout);
            allMet = allMet && figure.met;
        }
    }
    return allMet ? 0 : 1;
}
