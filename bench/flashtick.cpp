// The cost of one flash tick: the main window, offscreen, linked over a pseudo-terminal to a
// three-bank switch that this benchmark plays, every one of the 24 shown ports with enabled
// committed timers in all four modes; the tick handler alone, and with the repaint it causes.
#include <QLabel>
#include <QTimer>
#include <algorithm>
#include <ctime>

#include "bench/benchapplication.h"
#include "bench/benchwindow.h"
#include "bench/childprobe.h"
#include "bench/samples.h"
#include "bench/switchterminal.h"
#include "bench/tempfolder.h"
#include "figure.h"
#include "tests/common/sharedstateaccess.h"

namespace relaybox::bench {
namespace {

constexpr const char *kProbeKey = "probe-flash";
constexpr int kWarmUpTicks = 100;
constexpr int kMeasuredTicks = 2000;
constexpr int kShownBanks = 3;
constexpr double kTicksPerSecond = 2.0; // every 500 ms

// Timers that are all still running: "After" delays of hours, times of day, daily and weekly
// times one to eight hours ahead; odd ports also have an off timer, so both are compared.
void commitRunningTimers(SharedState &state, const LocalTime &now)
{
    testing::locked(state, [&](StateValues &values) {
        for (int bank = 0; bank < kShownBanks; ++bank) {
            for (int port = 0; port < kPortsPerBank; ++port) {
                for (const bool powerOn : { true, false }) {
                    if (!powerOn && port % 2 == 0)
                        continue;
                    ScheduleEntry &entry = values.schedules.committed(powerOn)[bank][port];
                    entry.enabled = 1;
                    entry.scope = PortScope;
                    entry.mode = (bank * kPortsPerBank + port + (powerOn ? 0 : 1)) % 4;
                    entry.hour = entry.mode == ModeAfter ? 1 + port : (now.hour + 1 + port) % 24;
                    entry.minute = entry.mode == ModeAfter ? 30 : now.minute;
                    entry.day = entry.mode == ModeEveryWeek ? now.weekday % 7 + 1 : 0;
                    entry.appliedDate = appliedDateText(now);
                    entry.appliedWeekday = now.weekday;
                    entry.appliedHour = now.hour;
                    entry.appliedMinute = now.minute;
                    entry.appliedSecond = now.second;
                }
            }
        }
    });
}

int portsCountingDown(TForm1 &form)
{
    int counting = 0;
    for (int panel = 1; panel <= kShownBanks; ++panel) {
        for (int port = 1; port <= kPortsPerBank; ++port) {
            const auto *label =
                form.findChild<QLabel *>(QStringLiteral("lblShowTime%1%2").arg(panel).arg(port));
            if (label && label->isVisible() && !label->text().trimmed().isEmpty()
                && label->text() != QStringLiteral(" 0: 0"))
                ++counting;
        }
    }
    return counting;
}

double milliseconds(SteadyClock::duration span)
{
    return std::chrono::duration<double, std::milli>(span).count();
}

// CPU time of this thread: the tick's own cost, without the time other programs on the shared
// cores took from it.
double threadCpuMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

void flashProbe()
{
    TempFolder folder;
    SwitchTerminal terminal;
    if (!folder.isValid() || !terminal.isValid() || !writeSettingsFile(folder.path(), false, 0)) {
        reportFailure("no temporary folder or pseudo-terminal");
        return;
    }
    BenchApplication application;
    BenchWindow window(folder.path());
    TForm1 &form = window.form();
    form.show();
    const auto send = [&](const std::string &bytes) {
        return terminal.send(bytes);
    };
    if (!window.linkTo(terminal.path(), kShownBanks, send, std::chrono::seconds(5))) {
        reportFailure("the window did not link to the pseudo-terminal");
        return;
    }
    // The ticks are driven here, one after another, not by the timer.
    form.tmFlash1().stop();
    terminal.send("/S01 GGGGGGGG OCOCOCOC 1.2\\/S02 GGGGGGGG COCOCOCO 5.5\\"
                  "/S03 GGGGGGGG OOCCOOCC 12.5\\");
    runEvents(std::chrono::milliseconds(300));
    const SystemClock clock;
    commitRunningTimers(window.state(), clock.now());

    std::vector<double> handler;
    std::vector<double> handlerCpu;
    std::vector<double> withRepaint;
    std::vector<double> withRepaintCpu;
    for (int tick = 0; tick < kWarmUpTicks + kMeasuredTicks; ++tick) {
        terminal.drain();
        const double cpuStart = threadCpuMilliseconds();
        const SteadyClock::time_point start = SteadyClock::now();
        form.tmFlash1Timer();
        const SteadyClock::time_point handled = SteadyClock::now();
        const double cpuHandled = threadCpuMilliseconds();
        // The repaint is an update request posted to the window: delivered here.
        QCoreApplication::processEvents();
        const SteadyClock::time_point repainted = SteadyClock::now();
        const double cpuRepainted = threadCpuMilliseconds();
        if (tick >= kWarmUpTicks) {
            handler.push_back(milliseconds(handled - start));
            handlerCpu.push_back(cpuHandled - cpuStart);
            withRepaint.push_back(milliseconds(repainted - start));
            withRepaintCpu.push_back(cpuRepainted - cpuStart);
        }
    }
    const int counting = portsCountingDown(form);
    form.link().closeLink();
    if (counting != kShownBanks * kPortsPerBank) {
        reportFailure("only " + std::to_string(counting) + " of 24 ports count down");
        return;
    }
    const Summary tick = summarize(handler);
    const Summary tickCpu = summarize(handlerCpu);
    const Summary painted = summarize(withRepaint);
    const Summary paintedCpu = summarize(withRepaintCpu);
    const auto over2ms =
        std::count_if(handler.begin(), handler.end(), [](double ms) { return ms >= 2.0; });
    reportValue("ticks", tick.count);
    reportValue("ticksOver2ms", double(over2ms));
    reportValue("tickMean", tick.mean);
    reportValue("tickP99", tick.p99);
    reportValue("tickMax", tick.max);
    reportValue("tickCpuMean", tickCpu.mean);
    reportValue("tickCpuMax", tickCpu.max);
    reportValue("paintedMean", painted.mean);
    reportValue("paintedP99", painted.p99);
    reportValue("paintedMax", painted.max);
    reportValue("paintedCpuMean", paintedCpu.mean);
    reportValue("paintedCpuP99", paintedCpu.p99);
    reportValue("paintedCpuMax", paintedCpu.max);
}

std::string ms(double value)
{
    return formatNumber(value, 3) + " ms";
}

std::vector<Figure> flashTick()
{
    const ProbeRun run = runProbe(kProbeKey, {}, std::chrono::minutes(5));
    if (!run.ok)
        return { { "Flash tick", "failed: " + run.failure, "< 2 ms per tick", false } };
    const auto three = [&](const char *mean, const char *p99, const char *max) {
        return ms(run.value(mean)) + " / " + ms(run.value(p99)) + " / " + ms(run.value(max));
    };
    const double cpuPercent = run.value("paintedCpuMean") * kTicksPerSecond / 1000.0 * 100.0;
    return {
        { "Flash tick (tmFlash1Timer), 3 banks, 24 ports counting down, "
              + formatNumber(run.value("ticks"), 0) + " ticks, wall: mean / p99 / max ("
              + formatNumber(run.value("ticksOver2ms"), 0) + " over 2 ms)",
          three("tickMean", "tickP99", "tickMax"), "< 2 ms per tick", run.value("tickP99") < 2.0 },
        { "  the tick's own CPU time (thread clock, without preemption): mean / max",
          ms(run.value("tickCpuMean")) + " / " + ms(run.value("tickCpuMax")), "< 2 ms per tick",
          run.value("tickCpuMax") < 2.0 },
        { "  tick with the repaint it causes, CPU time: mean / p99 / max",
          three("paintedCpuMean", "paintedCpuP99", "paintedCpuMax"), "< 2 ms per tick",
          run.value("paintedCpuP99") < 2.0 },
        { "  tick with the repaint it causes, wall (shared cores): mean / p99 / max",
          three("paintedMean", "paintedP99", "paintedMax"), "-", true },
        { "Idle CPU of flashing alone, computed: CPU time of a tick with its repaint x 2 a second",
          formatNumber(cpuPercent, 3) + " % of one core", "< 0.3 %", cpuPercent < 0.3 },
    };
}

const Register registered { "flash", flashTick };
const RegisterProbe probe { kProbeKey, flashProbe };

} // namespace
} // namespace relaybox::bench
