// Reply-to-update latency: the main window, offscreen, linked over a pseudo-terminal whose switch
// side this benchmark writes. One full status line at a time; from just after write() returned
// to the end of the UI update that drew it (a slot connected after the panels' own), and to the
// end of the repaint that followed. Both stamps come from one steady clock in one process.
#include <QEventLoop>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>

#include "bench/benchapplication.h"
#include "bench/benchwindow.h"
#include "bench/childprobe.h"
#include "bench/samples.h"
#include "bench/switchterminal.h"
#include "bench/tempfolder.h"
#include "figure.h"

namespace relaybox::bench {
namespace {

constexpr const char *kProbeKey = "probe-latency";
constexpr int kWarmUpLines = 300;
constexpr int kMeasuredLines = 10000;
constexpr int kShownBanks = 3;
constexpr std::chrono::seconds kUpdateTimeout { 2 };
constexpr std::chrono::milliseconds kPaintTimeout { 500 };
constexpr double kByteSeconds = 10.0 / 9600.0; // start, 8 data and stop bit at 9600 baud

// Every line changes what its panel shows: the bank's letters flip on each visit (the pattern
// steps by an odd number) and its current steps by 0.3 A.
std::string statusLine(int index)
{
    const int bank = 1 + index % kShownBanks;
    const unsigned pattern = unsigned(index / kShownBanks) * 37u + 11u;
    char switches[9] = {};
    for (int port = 0; port < 8; ++port)
        switches[port] = (pattern >> port) & 1u ? 'O' : 'C';
    char line[64];
    std::snprintf(line, sizeof line, "/S%02d GGGGGGGG %s %.1f\\", bank, switches,
                  (index % 200) / 10.0);
    return line;
}

// Hands the UI thread's time stamps of one line to the thread that wrote it.
class LineExchange
{
public:
    using Stamp = std::optional<SteadyClock::time_point>;

    void begin()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_updated.reset();
        m_painted.reset();
    }

    void updated(SteadyClock::time_point at)
    {
        {
            std::lock_guard lock(m_mutex);
            if (!m_open || m_updated)
                return;
            m_updated = at;
        }
        m_changed.notify_all();
    }

    void painted(SteadyClock::time_point at)
    {
        {
            std::lock_guard lock(m_mutex);
            if (!m_open || !m_updated || m_painted)
                return;
            m_painted = at;
        }
        m_changed.notify_all();
    }

    std::pair<Stamp, Stamp> wait()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, kUpdateTimeout, [&] { return m_updated.has_value(); });
        if (m_updated)
            m_changed.wait_for(lock, kPaintTimeout, [&] { return m_painted.has_value(); });
        m_open = false;
        return { m_updated, m_painted };
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
    Stamp m_updated;
    Stamp m_painted;
};

double microseconds(SteadyClock::duration span)
{
    return std::chrono::duration<double, std::micro>(span).count();
}

void latencyProbe()
{
    TempFolder folder;
    SwitchTerminal terminal;
    if (!folder.isValid() || !terminal.isValid() || !writeSettingsFile(folder.path(), false, 0)) {
        reportFailure("no temporary folder or pseudo-terminal");
        return;
    }
    LineExchange exchange; // outlives the application that stamps into it
    BenchApplication application;
    BenchWindow window(folder.path());
    window.form().show();
    application.watch(&window.form(), [&](SteadyClock::time_point at) { exchange.painted(at); });
    const auto send = [&](const std::string &bytes) {
        return terminal.send(bytes);
    };
    if (!window.linkTo(terminal.path(), kShownBanks, send, std::chrono::seconds(5))) {
        reportFailure("the window did not link to the pseudo-terminal");
        return;
    }
    runEvents(std::chrono::milliseconds(200));
    // Connected after the panels' own slot, so it runs when they have drawn the line.
    QObject::connect(&window.form().link(), &LinkController::panelRefresh, &window.form(),
                     [&](UpdateKind, int) { exchange.updated(SteadyClock::now()); });

    std::vector<double> updates;
    std::vector<double> repaints;
    int missedUpdates = 0;
    int missedRepaints = 0;
    QEventLoop loop;
    std::thread writer([&] {
        for (int index = 0; index < kWarmUpLines + kMeasuredLines && missedUpdates < 10; ++index) {
            terminal.drain(); // the host's polls and announcement
            exchange.begin();
            if (!terminal.send(statusLine(index))) {
                ++missedUpdates;
                continue;
            }
            const SteadyClock::time_point sent = SteadyClock::now();
            const auto [updated, painted] = exchange.wait();
            if (!updated) {
                ++missedUpdates;
                continue;
            }
            if (index < kWarmUpLines)
                continue;
            updates.push_back(microseconds(*updated - sent));
            if (painted)
                repaints.push_back(microseconds(*painted - sent));
            else
                ++missedRepaints;
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    writer.join();
    window.form().link().closeLink();

    if (missedUpdates > 0 || !window.dialogs().messages.isEmpty()) {
        reportFailure(std::to_string(missedUpdates) + " lines without an update; messages: "
                      + window.dialogs().messages.join(QStringLiteral(" / ")).toStdString());
        return;
    }
    const Summary update = summarize(updates);
    const Summary repaint = summarize(repaints);
    reportValue("lines", update.count);
    reportValue("updateP50", update.p50);
    reportValue("updateP99", update.p99);
    reportValue("updateMax", update.max);
    reportValue("repaintP50", repaint.p50);
    reportValue("repaintP99", repaint.p99);
    reportValue("missedRepaints", missedRepaints);
    reportValue("lineBytes", double(statusLine(0).size()));
}

std::string us(double value)
{
    return formatNumber(value, 0) + " us";
}

std::vector<Figure> replyLatency()
{
    const ProbeRun run = runProbe(kProbeKey, {}, std::chrono::minutes(10));
    if (!run.ok)
        return { { "Reply-to-update latency", "failed: " + run.failure, "< 1 ms at p99", false } };
    const double lineMs = run.value("lineBytes") * kByteSeconds * 1000.0;
    const std::string lines = formatNumber(run.value("lines"), 0);
    const double p99 = run.value("updateP99");
    std::string repaintNote;
    if (run.value("missedRepaints") > 0)
        repaintNote = " (" + formatNumber(run.value("missedRepaints"), 0) + " lines not repainted)";
    return {
        { "Reply-to-update latency, p50 (status line written to the terminal -> its UI update "
          "done; "
              + lines + " lines)",
          us(run.value("updateP50")), "-", true },
        { "Reply-to-update latency, p99 (max " + us(run.value("updateMax")) + ")", us(p99),
          "< 1 ms (the line itself takes " + formatNumber(lineMs, 0) + " ms at 9600 baud)",
          p99 < 1000.0 },
        { "  to the end of the repaint that followed, p50 / p99" + repaintNote,
          us(run.value("repaintP50")) + " / " + us(run.value("repaintP99")), "-", true },
    };
}

const Register registered { "latency", replyLatency };
const RegisterProbe probe { kProbeKey, latencyProbe };

} // namespace
} // namespace relaybox::bench
