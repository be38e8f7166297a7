// relaybox-cli through the manager that holds the line and shares it: a fresh relaybox-bench
// process builds the main window with Share=1 and links it to a 16-bank relaybox-sim paced at
// 9600 baud; relaybox-cli (a separate process, as a script starts it) switches bank 16 port 8 on
// and off through the window's endpoint. The time from starting the tool to its exit, against
// the bytes the switch itself needs: the frame and its Status poll down, the 16 banks' answer up.
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <fstream>

#include "bench/benchapplication.h"
#include "bench/benchwindow.h"
#include "bench/childprobe.h"
#include "bench/simstart.h"
#include "bench/tempfolder.h"
#include "figure.h"
#include "sharing/linesharing.h"

namespace relaybox::bench {
namespace {

constexpr const char *kProbeKey = "probe-sharedline";
constexpr const char *kFolderVariable = "RELAYBOX_BENCH_FOLDER";
constexpr const char *kLinkVariable = "RELAYBOX_BENCH_LINK";
constexpr int kBanks = 16;
constexpr int kRuns = 9;
constexpr double kLineBytesPerSecond = 960.0;
// "/O168\" and "/C\" down; "/M16\" and 16 status lines of 27 bytes up.
constexpr int kSwitchBytes = 6 + 3 + 5 + kBanks * 27;

void sharedLineProbe()
{
    const std::string folder = probeSetting(kFolderVariable);
    const std::string link = probeSetting(kLinkVariable);
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(folder + "/runtime"));
    QStandardPaths::setTestModeEnabled(true); // the audit file outside the user's data
    BenchApplication application;
    BenchWindow window(folder);
    TForm1 &form = window.form();
    if (!form.link().startLink(link)
        || !waitFor([&] { return window.shownBankCount() == kBanks; }, std::chrono::seconds(20))
        || !form.lineSharing().serving()) {
        reportFailure("not linked and sharing: " + form.lineSharing().status().toStdString());
        return;
    }
    runEvents(std::chrono::seconds(1)); // the first status answers are in
    for (int run = 0; run < kRuns; ++run) {
        QProcess cli;
        const auto start = SteadyClock::now();
        cli.start(QString::fromStdString(programDir() + "/relaybox-cli"),
                  { QStringLiteral("--port"), QString::fromStdString(link),
                    run % 2 ? QStringLiteral("off") : QStringLiteral("on"), QStringLiteral("16"),
                    QStringLiteral("8") });
        // The window answers the tool: its events run while the tool waits.
        if (!waitFor([&] { return cli.state() == QProcess::NotRunning; }, std::chrono::seconds(15))
            || cli.exitCode() != 0) {
            reportFailure("relaybox-cli failed: " + cli.readAllStandardError().toStdString());
            return;
        }
        reportValue("run" + std::to_string(run),
                    std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count());
    }
    form.link().closeLink();
}

std::vector<Figure> sharedLineTime()
{
    const std::string name = "relaybox-cli on/off 16 8 through the sharing manager, 16 banks, "
                             "paced, median of "
        + std::to_string(kRuns);
    TempFolder folder;
    SimProcess sim;
    const std::string link = startPacedSim(sim, folder.path(), kBanks);
    if (link.empty())
        return { { name, "failed: relaybox-sim did not start", "-", false } };
    writeSettingsFile(folder.path(), false, 0);
    std::ofstream(folder.path() + "/define.ini", std::ios::app) << "\nShare=1";
    const ProbeRun run =
        runProbe(kProbeKey, { { kFolderVariable, folder.path() }, { kLinkVariable, link } },
                 std::chrono::seconds(240));
    if (!run.ok)
        return { { name, "failed: " + run.failure, "-", false } };
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i)
        times.push_back(run.value("run" + std::to_string(i)));
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    const double wireMs = 1000.0 * kSwitchBytes / kLineBytesPerSecond;
    // As for relayboxd, plus the tool's own start and its look at the switch list.
    const double goalMs = 1.2 * wireMs;
    return { { name + " (line: frame, Status poll and answer, " + std::to_string(kSwitchBytes)
                   + " bytes = " + formatNumber(wireMs, 1) + " ms)",
               formatNumber(median, 1) + " ms = " + formatNumber(median / wireMs, 2) + " x line",
               "<= 1.2 x line (" + formatNumber(goalMs, 1) + " ms)", median <= goalMs },
             { "  slowest of those (a call that met a periodic poll waits for its answer)",
               formatNumber(times.back(), 1) + " ms", "-", true } };
}

const Register figure { "sharedline", sharedLineTime };
const RegisterProbe probe { kProbeKey, sharedLineProbe };

} // namespace
} // namespace relaybox::bench
