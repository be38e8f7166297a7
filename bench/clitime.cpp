// relaybox-cli against the simulator paced at 9600 baud: the time from starting the tool to its
// exit, against the bytes its exchange puts on the line at 960 bytes a second.
#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "bench/childprobe.h"
#include "bench/figure.h"
#include "bench/simstart.h"
#include "bench/tempfolder.h"

extern char **environ;

namespace relaybox::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kLineBytesPerSecond = 960.0;
constexpr int kRuns = 5;
// "/uni\" down and "/xyz\" up.
constexpr int kIdentifyBytes = 10;
// "/S01 GGGGGGGG CCCCCCCC 0.0\": one bank's full status line at no load.
constexpr int kStatusLineBytes = 27;

// "/VER\" down and "/V01 1203\" up from each bank: asked before a frame names a bank above 1.
int versionExchangeBytes(int banks)
{
    return 5 + 10 * banks;
}

int statusAnswerBytes(int banks)
{
    return int(std::string("/M" + std::to_string(banks) + "\\").size()) + banks * kStatusLineBytes;
}

// Milliseconds from spawning relaybox-cli to its exit; negative when it did not exit with 0.
double runCli(std::vector<std::string> args)
{
    const std::string program = programDir() + "/relaybox-cli";
    args.insert(args.begin(), program);
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const auto start = Clock::now();
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

// The median of kRuns runs; the command switches back and forth so that every run switches.
double medianMs(const std::string &link, const std::vector<std::string> &command, bool alternate)
{
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        std::vector<std::string> args { "--port", link };
        args.insert(args.end(), command.begin(), command.end());
        if (alternate && run % 2 == 1)
            args[2] = args[2] == "on" ? "off" : "on";
        const double ms = runCli(args);
        if (ms < 0)
            return -1;
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

Figure figureFor(const std::string &what, double ms, int bytes)
{
    // Twice the exchange's own line time, plus the Identify exchange once.
    const double wireMs = 1000.0 * bytes / kLineBytesPerSecond;
    const double goalMs = 2 * wireMs + 1000.0 * kIdentifyBytes / kLineBytesPerSecond;
    Figure figure;
    figure.name = what + ", median of " + std::to_string(kRuns) + " (line: " + std::to_string(bytes)
        + " bytes = " + formatNumber(wireMs, 1) + " ms, plus the " + std::to_string(kIdentifyBytes)
        + "-byte Identify exchange)";
    figure.value = ms < 0 ? "failed" : formatNumber(ms, 1) + " ms";
    figure.goal = "<= " + formatNumber(goalMs, 1) + " ms (2 x line + Identify)";
    figure.met = ms >= 0 && ms <= goalMs;
    return figure;
}

std::vector<Figure> cliTimes()
{
    std::vector<Figure> figures;
    for (const int banks : { 1, 16 }) {
        TempFolder folder;
        SimProcess sim;
        const std::string link = startPacedSim(sim, folder.path(), banks);
        // The frame (6 bytes) and the Status poll (4) down; the answer up.
        const int switchBytes = 6 + 4 + statusAnswerBytes(banks);
        const std::string chain = std::to_string(banks) + (banks == 1 ? " bank" : " banks");
        const std::string versionNote = banks > 1 ? ", after the "
                + std::to_string(versionExchangeBytes(banks)) + "-byte Version exchange"
                                                  : "";
        figures.push_back(figureFor("relaybox-cli on " + std::to_string(banks) + " 8, confirmed, "
                                        + chain + ", paced" + versionNote,
                                    medianMs(link, { "on", std::to_string(banks), "8" }, true),
                                    switchBytes));
        if (banks == 16) {
            figures.push_back(
                figureFor("relaybox-cli on 0 0 (all banks), confirmed, " + chain + ", paced",
                          medianMs(link, { "on", "0", "0" }, true), switchBytes));
            figures.push_back(figureFor("relaybox-cli --json status, " + chain + ", paced",
                                        medianMs(link, { "--json", "status" }, false),
                                        4 + statusAnswerBytes(banks)));
        }
    }
    return figures;
}

const Register cli { "cli", cliTimes };

} // namespace
} // namespace relaybox::bench
