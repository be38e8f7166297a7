// The program at rest on a real X display (Xvfb with openbox), linked to a 16-bank relaybox-sim
// whose currents drift from poll to poll: a fresh relaybox-bench process on that display builds
// the main window as the program does and connects through the detection dialog. It then reads
// its own CPU time from /proc (every thread, and the UI thread alone) over a minute in each state
// an operator leaves it in: fresh; after the Load History window was opened and closed; with a
// full day of history (filled in process, as 24 h of polls would); with the window open on that
// day; and with it minimised. Last, the cost of one refresh of the open window with a full day:
// a poll's 16 new readings, the window's refresh and the layout and repaint it causes, as
// UI-thread CPU time.
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <set>
#include <unistd.h>

#include "bench/benchapplication.h"
#include "bench/benchwindow.h"
#include "bench/childprobe.h"
#include "bench/samples.h"
#include "bench/simstart.h"
#include "bench/tempfolder.h"
#include "bench/xdisplay.h"
#include "figure.h"
#include "link/tform3.h"
#include "panel/loadhistorytool.h"
#include "panel/loadhistorywindow.h"
#include "platform/localportsources.h"
#include "platform/wallclock.h"

namespace relaybox::bench {
namespace {

constexpr const char *kProbeKey = "probe-display";
constexpr const char *kFolderVariable = "RELAYBOX_BENCH_FOLDER";
constexpr const char *kSecondsVariable = "RELAYBOX_BENCH_SECONDS";
constexpr const char *kServerVariable = "RELAYBOX_BENCH_XSERVER";
constexpr int kBanks = 16;
constexpr int kIdleSeconds = 60;
constexpr int kRefreshRuns = 20; // 0.5 s each, within the link's 20 s watchdog
constexpr std::int64_t kDayMs = 24 * 3600 * 1000;
constexpr std::int64_t kFillSpacingMs = 4000; // the closest spacing the history keeps

double threadCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Runs the program's event loop for `seconds` and reports the CPU share of the whole process,
// of its UI thread and of the X server in that time, under `name`.
void measureIdle(const std::string &name, int seconds, pid_t server)
{
    const pid_t self = getpid();
    const double processStart = processCpuNs(self);
    const double uiStart = taskCpuNs(self, self);
    const double serverStart = server > 0 ? processCpuNs(server) : -1;
    const SteadyClock::time_point start = SteadyClock::now();
    runEvents(std::chrono::seconds(seconds));
    const double wallNs =
        std::chrono::duration<double, std::nano>(SteadyClock::now() - start).count();
    reportValue(name + "Process", (processCpuNs(self) - processStart) / wallNs * 100.0);
    reportValue(name + "Ui", (taskCpuNs(self, self) - uiStart) / wallNs * 100.0);
    if (server > 0)
        reportValue(name + "Server", (processCpuNs(server) - serverStart) / wallNs * 100.0);
}

void pressDetectionOkWhenReady(QTimer &timer)
{
    QObject::connect(&timer, &QTimer::timeout, [] {
        auto *dialog = qobject_cast<TForm3 *>(QApplication::activeModalWidget());
        auto *ok = dialog ? dialog->findChild<QPushButton *>(QStringLiteral("BitBtn1")) : nullptr;
        if (ok && ok->isEnabled())
            ok->click();
    });
    timer.start(20);
}

void displayProbe()
{
    const int seconds = std::max(1, std::atoi(probeSetting(kSecondsVariable).c_str()));
    const pid_t server = pid_t(std::atoi(probeSetting(kServerVariable).c_str()));
    BenchApplication application;
    QTimer presser;
    pressDetectionOkWhenReady(presser);
    BenchWindow window(probeSetting(kFolderVariable));
    presser.stop();
    TForm1 &form = window.form();
    form.show();
    if (!form.link().isPortOpen()) {
        reportFailure("not connected after the detection dialog");
        return;
    }
    std::set<int> reported;
    QObject::connect(&form.link(), &LinkController::panelRefresh, &form,
                     [&](UpdateKind, int bank) { reported.insert(bank); });
    if (!waitFor(
            [&] { return window.shownBankCount() == kBanks && int(reported.size()) == kBanks; },
            std::chrono::seconds(30))) {
        reportFailure("the 16 banks were not reported");
        return;
    }
    runEvents(std::chrono::seconds(2));
    measureIdle("fresh", seconds, server);

    LoadHistoryTool &tool = form.loadHistory();
    tool.mlLoadHistoryClick();
    runEvents(std::chrono::seconds(2));
    tool.window()->close();
    runEvents(std::chrono::seconds(1));
    measureIdle("closed", seconds, server);

    // A day of readings up to ten seconds ago; the polls go on appending after it.
    LoadHistory &history = tool.history();
    const std::int64_t end = utcMillisNow() - 10'000;
    for (std::int64_t at = end - kDayMs; at <= end; at += kFillSpacingMs)
        for (int bank = 1; bank <= kBanks; ++bank)
            history.add(bank, at, float(bank) + float((at / kFillSpacingMs) % 37) / 10.0f);
    reportValue("samples", double(history.sampleCount(1)));
    runEvents(std::chrono::seconds(1));
    measureIdle("day", seconds, server);

    tool.mlLoadHistoryClick();
    runEvents(std::chrono::seconds(2));
    measureIdle("open", seconds, server);
    tool.window()->showMinimized();
    runEvents(std::chrono::seconds(2));
    measureIdle("minimised", seconds, server);
    tool.window()->showNormal();
    runEvents(std::chrono::seconds(2));

    // A poll's readings a little after the newest, then the window's refresh and all the work
    // it causes (layout, repaint) in the half second after it. Polls and flashing stop for
    // these few seconds (less than the link's watchdog allows), so nothing else runs.
    form.link().tmQuery().stop();
    form.tmFlash1().stop();
    runEvents(std::chrono::seconds(1));
    const auto cpuOfHalfSecond = [](const std::function<void()> &work) {
        const double before = threadCpuMs();
        work();
        runEvents(std::chrono::milliseconds(500));
        return threadCpuMs() - before;
    };
    reportValue("quietHalfSecondMs", cpuOfHalfSecond([] {}));
    std::vector<double> costs;
    std::int64_t at = utcMillisNow() + 60'000;
    for (int run = 0; run < kRefreshRuns; ++run, at += 5000) {
        costs.push_back(cpuOfHalfSecond([&] {
            for (int bank = 1; bank <= kBanks; ++bank)
                history.add(bank, at, float(bank) + float(run % 7) / 10.0f);
            tool.window()->refresh();
        }));
    }
    std::sort(costs.begin(), costs.end());
    reportValue("refreshMedianMs", costs[costs.size() / 2]);
    reportValue("refreshMaxMs", costs.back());
    form.link().closeLink();
}

struct DisplayRun
{
    ProbeRun probe;
    std::string failure;
};

DisplayRun runDisplay(int seconds)
{
    DisplayRun run;
    XDisplay display;
    TempFolder folder;
    if (!display.isValid() || !folder.isValid()) {
        run.failure = display.isValid() ? "no temporary folder" : display.failure();
        return run;
    }
    const std::string portsFolder = folder.path() + "/ports";
    SimProcess sim;
    const std::string link = startSim(
        sim,
        { "--banks", std::to_string(kBanks), "--drift", "--link", portsFolder + "/relaybox-sim" },
        folder.path() + "/sim.log");
    const HostPortTable ports = linuxHostPorts({}, {}, portsDirectoryEntries(portsFolder));
    int comPort = 0;
    for (int slot = 1; slot <= ports.count(); ++slot)
        if (ports.path(slot) == link)
            comPort = slot;
    if (link.empty() || comPort == 0) {
        run.failure = "relaybox-sim did not start";
        return run;
    }
    writeSettingsFile(folder.path(), true, comPort);
    run.probe = runProbe(kProbeKey,
                         { { kFolderVariable, folder.path() },
                           { kSecondsVariable, std::to_string(seconds) },
                           { kServerVariable, std::to_string(display.serverPid()) },
                           { "QT_QPA_PLATFORM", "xcb" },
                           { "DISPLAY", display.name() } },
                         std::chrono::seconds(5 * seconds + 180));
    if (!run.probe.ok)
        run.failure = run.probe.failure;
    return run;
}

std::string percent(double value)
{
    return formatNumber(value, 3) + " %";
}

std::vector<Figure> displayIdle()
{
    const char *goal = "< 0.3 % of a core";
    const DisplayRun run = runDisplay(kIdleSeconds);
    if (!run.failure.empty())
        return { { "Idle CPU on a real X display", "failed: " + run.failure, goal, false } };
    const ProbeRun &probe = run.probe;
    std::vector<Figure> figures;
    const auto state = [&](const std::string &key, const std::string &what, double limit,
                           const std::string &goalText) {
        const double process = probe.value(key + "Process");
        figures.push_back({ "Idle CPU on a real X display (Xvfb + openbox), linked to 16 drifting "
                            "banks, "
                                + what + ", 60 s, from /proc: process (UI thread; X server)",
                            percent(process) + " (" + percent(probe.value(key + "Ui")) + "; "
                                + percent(probe.value(key + "Server")) + ")",
                            goalText, process < limit });
    };
    state("fresh", "fresh", 0.3, goal);
    state("closed", "after Load History was opened and closed", 0.3, goal);
    state("day",
          "with a full day of history (" + formatNumber(probe.value("samples"), 0)
              + " samples a bank), window closed",
          0.3, goal);
    state("open", "with a full day, Load History open", 0.5, "< 0.5 % of a core");
    state("minimised", "with a full day, Load History minimised", 0.3, goal);
    const double refresh = probe.value("refreshMedianMs");
    figures.push_back(
        { "Load History refresh with a full day, 16 banks: a poll's readings, the "
          "refresh and the layout and repaint it causes, UI-thread CPU, median / max of "
              + std::to_string(kRefreshRuns) + " (quiet half second: "
              + formatNumber(probe.value("quietHalfSecondMs"), 2) + " ms)",
          formatNumber(refresh, 2) + " ms / " + formatNumber(probe.value("refreshMaxMs"), 2)
              + " ms",
          "< 5 ms", refresh < 5.0 });
    return figures;
}

const Register figures { "display", displayIdle };
const RegisterProbe probe { kProbeKey, displayProbe };

} // namespace
} // namespace relaybox::bench
