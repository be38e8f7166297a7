// Resident memory with a full day of load history: a fresh process builds the main window as the
// program does, draws 16 banks, then fills the history with 24 hours of 5 s polls for every bank,
// opens the Load History window on it and notes its resident memory before and after.
#include <QScrollBar>
#include <chrono>

#include "bench/benchapplication.h"
#include "bench/benchwindow.h"
#include "bench/childprobe.h"
#include "bench/tempfolder.h"
#include "figure.h"
#include "panel/loadhistorytool.h"
#include "panel/loadhistorywindow.h"
#include "platform/wallclock.h"

namespace relaybox::bench {
namespace {

constexpr const char *kProbeKey = "probe-history";
constexpr const char *kFolderVariable = "RELAYBOX_BENCH_FOLDER";
constexpr int kBanks = 16;
constexpr std::int64_t kPollMs = 5000;
constexpr std::int64_t kDayMs = 24 * 3600 * 1000;

void historyProbe()
{
    BenchApplication application;
    BenchWindow window(probeSetting(kFolderVariable));
    TForm1 &form = window.form();
    form.show();
    runEvents(std::chrono::milliseconds(300));
    reportValue("rssEmptyKb", residentKilobytes());

    LoadHistory &history = form.loadHistory().history();
    history.setBankCount(kBanks);
    const std::int64_t end = utcMillisNow();
    for (std::int64_t at = end - kDayMs; at <= end; at += kPollMs)
        for (int bank = 1; bank <= kBanks; ++bank)
            history.add(bank, at + bank, float(bank) + float(at % 7000) / 1000.0f);
    reportValue("samples", double(history.sampleCount(1)));
    reportValue("rssFilledKb", residentKilobytes());

    const SteadyClock::time_point opening = SteadyClock::now();
    form.loadHistory().mlLoadHistoryClick();
    reportValue("openMs",
                std::chrono::duration<double, std::milli>(SteadyClock::now() - opening).count());
    runEvents(std::chrono::milliseconds(500));
    if (!form.loadHistory().window() || form.loadHistory().window()->seriesCount() != kBanks) {
        reportFailure("the Load History window does not show 16 lines");
        return;
    }
    reportValue("rssWindowKb", residentKilobytes());
    reportValue("boundKb", double(history.maxBytes()) / 1024.0);
}

std::string megabytes(double kilobytes)
{
    return formatNumber(kilobytes / 1024.0, 1) + " MB";
}

std::vector<Figure> historyMemory()
{
    TempFolder folder;
    if (!folder.isValid() || !writeSettingsFile(folder.path(), false, 0))
        return { { "Resident memory with 24 h of load history", "no temporary folder", "-",
                   false } };
    const ProbeRun run =
        runProbe(kProbeKey, { { kFolderVariable, folder.path() } }, std::chrono::minutes(2));
    if (!run.ok)
        return { { "Resident memory with 24 h of load history", "failed: " + run.failure, "-",
                   false } };
    return {
        { "Resident memory (VmRSS) with 24 h of load history for 16 banks ("
              + formatNumber(run.value("samples"), 0) + " samples a bank), Load History open",
          megabytes(run.value("rssWindowKb")), "- (reported; no goal set)", true },
        { "  before the history / with it, window closed; the history's own bound",
          megabytes(run.value("rssEmptyKb")) + " / " + megabytes(run.value("rssFilledKb")) + "; "
              + megabytes(run.value("boundKb")),
          "-", true },
        { "  opening the Load History window on a full day (built on first use), to its first "
          "paint excluded",
          formatNumber(run.value("openMs"), 1) + " ms", "-", true },
    };
}

const Register figures { "history", historyMemory };
const RegisterProbe probe { kProbeKey, historyProbe };

} // namespace
} // namespace relaybox::bench
