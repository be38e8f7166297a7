// Start-up to the first painted main window, without a connection (Auto=0): a fresh process
// each run, timed from just before it was spawned to the end of the event that delivered the
// window's first paint. The process builds the application and the windows as the program entry
// does, offscreen.
#include <algorithm>
#include <optional>

#include "bench/benchapplication.h"
#include "bench/benchwindow.h"
#include "bench/childprobe.h"
#include "bench/tempfolder.h"
#include "figure.h"

namespace relaybox::bench {
namespace {

constexpr const char *kProbeKey = "probe-startup";
constexpr const char *kFolderVariable = "RELAYBOX_BENCH_FOLDER";
constexpr int kRuns = 5;
constexpr double kStartupGoalMs = 120.0;

void startupProbe()
{
    const SteadyClock::time_point entered = SteadyClock::now();
    std::optional<SteadyClock::time_point> painted;
    BenchApplication application;
    const SteadyClock::time_point applicationReady = SteadyClock::now();
    BenchWindow window(probeSetting(kFolderVariable));
    const SteadyClock::time_point built = SteadyClock::now();
    application.watch(&window.form(), [&](SteadyClock::time_point at) {
        if (!painted)
            painted = at;
    });
    window.form().show();
    if (!waitFor([&] { return painted.has_value(); }, std::chrono::seconds(30))) {
        reportFailure("the window was never painted");
        return;
    }
    if (!window.dialogs().messages.isEmpty()) {
        reportFailure("message at start-up: " + window.dialogs().messages.first().toStdString());
        return;
    }
    reportValue("enteredNs", stampNs(entered));
    reportValue("applicationNs", stampNs(applicationReady));
    reportValue("windowNs", stampNs(built));
    reportValue("paintedNs", stampNs(*painted));
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::vector<Figure> startupTime()
{
    std::vector<double> entered, application, window, painted;
    for (int run = 0; run < kRuns; ++run) {
        TempFolder folder;
        if (!folder.isValid() || !writeSettingsFile(folder.path(), false, 0))
            return { { "Start-up to first painted window", "no temporary folder", "-", false } };
        SteadyClock::time_point started;
        const ProbeRun probe = runProbe(kProbeKey, { { kFolderVariable, folder.path() } },
                                        std::chrono::minutes(1), &started);
        if (!probe.ok)
            return { { "Start-up to first painted window", "failed: " + probe.failure, "-",
                       false } };
        const double start = stampNs(started);
        const auto ms = [&](const char *name) {
            return (probe.value(name) - start) / 1e6;
        };
        entered.push_back(ms("enteredNs"));
        application.push_back(ms("applicationNs"));
        window.push_back(ms("windowNs"));
        painted.push_back(ms("paintedNs"));
    }
    const auto text = [](double ms) {
        return formatNumber(ms, 1) + " ms";
    };
    return {
        { "Start-up to first painted main window (fresh process, offscreen, Auto=0), median of "
              + std::to_string(kRuns),
          text(median(painted)), "< " + text(kStartupGoalMs), median(painted) < kStartupGoalMs },
        { "  reached: process running / QApplication / windows built / first paint",
          text(median(entered)) + " / " + text(median(application)) + " / " + text(median(window))
              + " / " + text(median(painted)),
          "-", true },
    };
}

const Register registered { "startup", startupTime };
const RegisterProbe probe { kProbeKey, startupProbe };

} // namespace
} // namespace relaybox::bench
