// The program at rest while linked to a 16-bank switch: relaybox-sim runs as a separate process
// with its link in a temporary folder; a fresh relaybox-bench process builds the main window as
// the program does, with Auto=1 and ComPort at the simulator's port, so it connects through the
// detection dialog (whose OK button a timer presses, as nothing can click an offscreen window
// from outside). Once all 16 banks were reported, laid out and paged through, it notes its
// resident memory, then measures its own CPU time (every thread) over 30 s of polling every 5 s
// with flashing on.
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <cstdlib>
#include <optional>
#include <set>
#include <sys/resource.h>

#include "bench/benchapplication.h"
#include "bench/benchwindow.h"
#include "bench/childprobe.h"
#include "bench/simstart.h"
#include "bench/tempfolder.h"
#include "figure.h"
#include "link/tform3.h"
#include "panel/panelstack.h"
#include "platform/localportsources.h"

namespace relaybox::bench {
namespace {

constexpr const char *kProbeKey = "probe-linked";
constexpr const char *kFolderVariable = "RELAYBOX_BENCH_FOLDER";
constexpr const char *kSecondsVariable = "RELAYBOX_BENCH_SECONDS";
constexpr int kBanks = 16;
constexpr int kIdleSeconds = 30;

double processCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) {
        return double(t.tv_sec) + t.tv_usec / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Presses OK in the detection dialog once its search has ended.
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

void linkedProbe()
{
    const int seconds = std::atoi(probeSetting(kSecondsVariable).c_str());
    BenchApplication application;
    QTimer presser;
    pressDetectionOkWhenReady(presser);
    BenchWindow window(probeSetting(kFolderVariable));
    presser.stop();
    TForm1 &form = window.form();
    form.show();
    if (!form.link().isPortOpen()) {
        reportFailure("not connected after the detection dialog: "
                      + window.dialogs().messages.join(QStringLiteral(" / ")).toStdString());
        return;
    }

    std::set<int> reportedBanks;
    int refreshes = 0;
    QObject::connect(&form.link(), &LinkController::panelRefresh, &form, [&](UpdateKind, int bank) {
        reportedBanks.insert(bank);
        ++refreshes;
    });
    const auto allReported = [&] {
        return window.shownBankCount() == kBanks && int(reportedBanks.size()) == kBanks;
    };
    if (!waitFor(allReported, std::chrono::seconds(20))) {
        reportFailure("the 16 banks were not reported");
        return;
    }
    // Every bank drawn once: page to the end and back.
    QScrollBar *scrollBar = form.panels().scrollBar();
    for (int position = scrollBar->minimum(); position <= scrollBar->maximum(); ++position) {
        scrollBar->setValue(position);
        runEvents(std::chrono::milliseconds(20));
    }
    scrollBar->setValue(scrollBar->minimum());
    runEvents(std::chrono::milliseconds(500));
    reportValue("rssLaidOutKb", residentKilobytes());

    if (seconds > 0) {
        int polls = 0;
        int ticks = 0;
        QObject::connect(&form.link().tmQuery(), &QTimer::timeout, [&] { ++polls; });
        QObject::connect(&form.tmFlash1(), &QTimer::timeout, [&] { ++ticks; });
        refreshes = 0;
        const double cpuStart = processCpuSeconds();
        const SteadyClock::time_point start = SteadyClock::now();
        runEvents(std::chrono::seconds(seconds));
        const double cpu = processCpuSeconds() - cpuStart;
        const double wall = std::chrono::duration<double>(SteadyClock::now() - start).count();
        reportValue("cpuPercent", cpu / wall * 100.0);
        reportValue("cpuMs", cpu * 1000.0);
        reportValue("wallSeconds", wall);
        reportValue("polls", polls);
        reportValue("ticks", ticks);
        reportValue("refreshes", refreshes);
        reportValue("rssAfterKb", residentKilobytes());
    }
    reportValue("rssPeakKb", residentKilobytes("VmHWM:"));
    if (!form.link().isPortOpen() || !window.dialogs().messages.isEmpty()) {
        reportFailure("the link ended: "
                      + window.dialogs().messages.join(QStringLiteral(" / ")).toStdString());
        return;
    }
    form.link().closeLink();
}

struct LinkedRun
{
    ProbeRun probe;
    int seconds = 0;
    int pollsAnswered = 0; // status polls in the simulator's output
};

LinkedRun runLinked(int seconds)
{
    LinkedRun run;
    run.seconds = seconds;
    TempFolder folder;
    if (!folder.isValid()) {
        run.probe.failure = "no temporary folder";
        return run;
    }
    const std::string portsFolder = folder.path() + "/ports";
    SimProcess sim;
    const std::string link = startSim(
        sim, { "--banks", std::to_string(kBanks), "--link", portsFolder + "/relaybox-sim" },
        folder.path() + "/sim.log");
    // ComPort is the simulator's index in the port table the window will build.
    const HostPortTable ports =
        linuxHostPorts({}, readActiveConsoles(), portsDirectoryEntries(portsFolder));
    int comPort = 0;
    for (int slot = 1; slot <= ports.count(); ++slot) {
        if (ports.path(slot) == link)
            comPort = slot;
    }
    if (link.empty() || comPort == 0) {
        run.probe.failure = "relaybox-sim did not start";
        return run;
    }
    writeSettingsFile(folder.path(), true, comPort);
    run.probe = runProbe(
        kProbeKey,
        { { kFolderVariable, folder.path() }, { kSecondsVariable, std::to_string(seconds) } },
        std::chrono::seconds(seconds + 90));
    run.pollsAnswered = int(sim.frames().count(QStringLiteral("/C\\")));
    return run;
}

// The run of the idle figure serves the memory figure as well.
std::optional<LinkedRun> &lastRun()
{
    static std::optional<LinkedRun> run;
    return run;
}

std::string megabytes(double kilobytes)
{
    return formatNumber(kilobytes / 1024.0, 1) + " MB";
}

std::vector<Figure> idleCpu()
{
    lastRun() = runLinked(kIdleSeconds);
    const LinkedRun &run = *lastRun();
    if (!run.probe.ok)
        return { { "Idle CPU linked to a 16-bank simulator", "failed: " + run.probe.failure,
                   "< 0.3 %", false } };
    const double percent = run.probe.value("cpuPercent");
    return {
        { "Idle CPU linked to a 16-bank simulator (separate process), 30 s of polling every 5 s "
          "with flashing on",
          formatNumber(percent, 3) + " % of one core", "< 0.3 %", percent < 0.3 },
        { "  in those " + formatNumber(run.probe.value("wallSeconds"), 1) + " s",
          formatNumber(run.probe.value("cpuMs"), 1) + " ms CPU, "
              + formatNumber(run.probe.value("polls"), 0) + " polls, "
              + formatNumber(run.probe.value("refreshes"), 0) + " status updates, "
              + formatNumber(run.probe.value("ticks"), 0) + " flash ticks ("
              + std::to_string(run.pollsAnswered) + " polls in the simulator's log)",
          "-", true },
    };
}

std::vector<Figure> residentMemory()
{
    if (!lastRun() || !lastRun()->probe.ok)
        lastRun() = runLinked(0);
    const LinkedRun &run = *lastRun();
    if (!run.probe.ok)
        return { { "Resident memory linked to 16 banks", "failed: " + run.probe.failure, "-",
                   false } };
    std::vector<Figure> figures {
        { "Resident memory (VmRSS) after laying out and drawing 16 banks",
          megabytes(run.probe.value("rssLaidOutKb")), "- (reported; no goal set)", true },
    };
    if (run.seconds > 0)
        figures.push_back(
            { "  after the " + std::to_string(run.seconds) + " s linked; peak (VmHWM)",
              megabytes(run.probe.value("rssAfterKb")) + "; "
                  + megabytes(run.probe.value("rssPeakKb")),
              "-", true });
    return figures;
}

const Register idle { "idlecpu", idleCpu };
const Register memory { "memory", residentMemory };
const RegisterProbe probe { kProbeKey, linkedProbe };

} // namespace
} // namespace relaybox::bench
