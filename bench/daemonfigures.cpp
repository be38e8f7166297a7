// relayboxd against simulated switches paced at 9600 baud, as separate processes: a switch
// confirmed through the daemon against the line's own time, status requests answered from the
// cached state, and the daemon at rest with four 16-bank switches.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <httplib.h>
#include <memory>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "bench/childprobe.h"
#include "bench/figure.h"
#include "bench/samples.h"
#include "bench/simstart.h"
#include "bench/tempfolder.h"

extern char **environ;

namespace relaybox::bench {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr double kLineBytesPerSecond = 960.0;
constexpr int kPort = 18423;
constexpr int kSwitchRuns = 9;
// "/S01 GGGGGGGG CCCCCCCC 0.0\": one bank's full status line at no load.
constexpr int kStatusLineBytes = 27;

// relayboxd as a child process with its configuration in the folder; SIGTERM ends it.
class DaemonProcess
{
public:
    DaemonProcess(const std::string &folder, const std::vector<std::string> &links, int pollSeconds)
    {
        const std::string config = folder + "/relayboxd.conf";
        std::ofstream out(config);
        out << "[daemon]\nlisten = 127.0.0.1:" << kPort << "\npoll = " << pollSeconds
            << "\naudit = " << folder << "/audit.jsonl\n";
        for (std::size_t i = 0; i < links.size(); ++i)
            out << "[switch s" << i + 1 << "]\nport = " << links[i] << "\n";
        out.close();
        std::string path = programDir() + "/relayboxd";
        std::vector<std::string> args { path, "--config", config };
        std::vector<char *> argv;
        for (std::string &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (folder + "/daemon.log").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawn(&m_pid, path.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~DaemonProcess()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    DaemonProcess(const DaemonProcess &) = delete;
    DaemonProcess &operator=(const DaemonProcess &) = delete;

    pid_t pid() const { return m_pid; }

    // Until every switch is linked, at most 30 s.
    bool waitLinked(httplib::Client &client, std::size_t switches) const
    {
        const auto end = Clock::now() + 30s;
        while (Clock::now() < end) {
            const auto answer = client.Get("/api/v1/switches");
            if (answer && answer->status == 200) {
                std::size_t up = 0;
                for (std::size_t at = 0;
                     (at = answer->body.find("\"link\":\"up\"", at)) != std::string::npos; ++at)
                    ++up;
                if (up == switches)
                    return true;
            }
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

    // CPU seconds of the threads alive now, to the nanosecond (the scheduler's own account;
    // /proc/PID/stat counts 10 ms ticks). For a stretch in which no thread ends.
    double liveThreadsCpuSeconds() const
    {
        double ns = 0;
        const std::string tasks = "/proc/" + std::to_string(m_pid) + "/task";
        for (const auto &task : std::filesystem::directory_iterator(tasks)) {
            std::ifstream schedstat(task.path() / "schedstat");
            double running = 0;
            if (schedstat >> running)
                ns += running;
        }
        return ns / 1e9;
    }

    // User and system CPU seconds of the process, ended threads included, in 10 ms ticks.
    double processCpuSeconds() const
    {
        std::ifstream stat("/proc/" + std::to_string(m_pid) + "/stat");
        const std::string text((std::istreambuf_iterator<char>(stat)), {});
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::string field;
        double ticks = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i >= 14)
                ticks += std::stod(field);
        }
        return ticks / double(sysconf(_SC_CLK_TCK));
    }

    // A /proc/PID/status value in MB ("VmRSS", "VmHWM").
    double statusMb(const std::string &key) const
    {
        std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.compare(0, key.size() + 1, key + ":") == 0)
                return std::stod(line.substr(key.size() + 1)) / 1024.0;
        }
        return -1;
    }

private:
    pid_t m_pid = -1;
};

std::unique_ptr<httplib::Client> client()
{
    auto http = std::make_unique<httplib::Client>("127.0.0.1", kPort);
    http->set_read_timeout(30, 0);
    http->set_keep_alive(true);
    http->set_tcp_nodelay(true);
    return http;
}

// The one-minute load average: on a shared machine the wall times follow it.
double loadAverage()
{
    double load = -1;
    std::ifstream("/proc/loadavg") >> load;
    return load;
}

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::vector<Figure> switchAndStatusFigures()
{
    constexpr int kBanks = 16;
    TempFolder folder;
    SimProcess sim;
    const std::string link = startPacedSim(sim, folder.path(), kBanks);
    DaemonProcess daemon(folder.path(), { link }, 5);
    auto http = client();
    if (!daemon.waitLinked(*http, 1))
        return { { "relayboxd with a 16-bank switch", "failed: not linked", "-", false } };

    // Bank 16's port 8 comes last in the status answer: its confirmation needs all of it.
    const int lineBytes = 6 + 3 + 5 + kBanks * kStatusLineBytes;
    const double wireMs = 1000.0 * lineBytes / kLineBytesPerSecond;
    std::vector<double> times;
    for (int run = 0; run < kSwitchRuns; ++run) {
        const std::string path =
            std::string("/api/v1/switches/s1/banks/16/ports/8/") + (run % 2 ? "off" : "on");
        const auto start = Clock::now();
        const auto answer = http->Post(path.c_str());
        if (!answer || answer->status != 200)
            return { { "relayboxd switch", "failed", "-", false } };
        times.push_back(msSince(start));
        std::this_thread::sleep_for(300ms);
    }
    const Summary switched = summarize(times);
    std::vector<Figure> figures;
    figures.push_back({ "relayboxd: on/off 16 8 over HTTP, confirmed, 16 banks, paced, median of "
                            + std::to_string(kSwitchRuns) + " (line: frame, Status poll and "
                            + "answer, " + std::to_string(lineBytes) + " bytes = "
                            + formatNumber(wireMs, 1) + " ms; no Identify per request)",
                        formatNumber(switched.p50, 1)
                            + " ms = " + formatNumber(switched.p50 / wireMs, 2) + " x line",
                        "<= 1.2 x line (" + formatNumber(1.2 * wireMs, 1) + " ms)",
                        switched.p50 <= 1.2 * wireMs });
    figures.push_back({ "  slowest of those (a request that met a periodic poll waits for its "
                        "answer)",
                        formatNumber(switched.max, 1) + " ms", "-", true });

    // Status from the cached state while the switch is polled: one client with keep-alive,
    // requests sent on a fixed schedule of 500 a second for 10 s.
    constexpr int kRequests = 5000;
    constexpr auto kInterval = 2ms;
    std::vector<double> latencies;
    int failed = 0;
    const double cpuBefore = daemon.processCpuSeconds();
    const auto begin = Clock::now();
    for (int i = 0; i < kRequests; ++i) {
        const auto due = begin + i * kInterval;
        std::this_thread::sleep_until(due);
        const auto answer = http->Get("/api/v1/switches/s1");
        if (!answer || answer->status != 200)
            ++failed;
        latencies.push_back(msSince(due));
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    const double cpuUs = (daemon.processCpuSeconds() - cpuBefore) * 1e6 / kRequests;
    const Summary status = summarize(latencies);
    figures.push_back({ "relayboxd: GET /api/v1/switches/NAME (16 banks) at 500 requests/s for "
                        "10 s, one keep-alive client, the switch polled every 5 s: p99",
                        formatNumber(status.p99, 2) + " ms", "< 2 ms",
                        failed == 0 && status.p99 < 2.0 });
    figures.push_back({ "  p50 / max; requests failed; achieved rate; load average meanwhile",
                        formatNumber(status.p50, 2) + " ms / " + formatNumber(status.max, 2)
                            + " ms; " + std::to_string(failed) + "; "
                            + formatNumber(kRequests / seconds, 0) + " /s; "
                            + formatNumber(loadAverage(), 1),
                        "-", true });
    figures.push_back({ "  relayboxd's own CPU time per status request (all its threads)",
                        formatNumber(cpuUs, 0) + " us", "-", true });
    return figures;
}

std::vector<Figure> idleFigures()
{
    constexpr int kSwitches = 4;
    constexpr auto kMeasure = 30s;
    TempFolder folder;
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::vector<std::string> links;
    for (int i = 0; i < kSwitches; ++i) {
        const std::string name = "sim" + std::to_string(i);
        sims.push_back(std::make_unique<SimProcess>());
        links.push_back(startPacedSim(*sims.back(), folder.path(), 16, name));
    }
    DaemonProcess daemon(folder.path(), links, 5);
    auto http = client();
    if (!daemon.waitLinked(*http, kSwitches))
        return { { "relayboxd idle with 4 switches", "failed: not linked", "-", false } };
    http.reset(); // no connection held open while it rests
    const double cpuBefore = daemon.liveThreadsCpuSeconds();
    std::this_thread::sleep_for(kMeasure);
    const double cpu = daemon.liveThreadsCpuSeconds() - cpuBefore;
    const double percent = 100.0 * cpu / std::chrono::duration<double>(kMeasure).count();
    int polls = 0;
    for (const auto &sim : sims)
        polls += int(sim->frames().count(QStringLiteral("/C\\")));
    const double rss = daemon.statusMb("VmRSS");
    return {
        { "relayboxd at rest: 4 switches of 16 banks (paced), polled every 5 s, CPU over 30 s",
          formatNumber(percent, 3) + " % of one core", "< 0.2 %", percent < 0.2 },
        { "  CPU time in those 30 s; polls the switches received since the start",
          formatNumber(cpu * 1000, 0) + " ms; " + std::to_string(polls), "-", true },
        { "relayboxd resident memory (VmRSS) with those 4 switches; peak (VmHWM)",
          formatNumber(rss, 1) + " MB; " + formatNumber(daemon.statusMb("VmHWM"), 1) + " MB",
          "< 15 MB", rss > 0 && rss < 15 },
    };
}

std::vector<Figure> daemonFigures()
{
    std::vector<Figure> figures = switchAndStatusFigures();
    for (Figure &figure : idleFigures())
        figures.push_back(std::move(figure));
    return figures;
}

const Register daemon { "daemon", daemonFigures };

} // namespace
} // namespace relaybox::bench
