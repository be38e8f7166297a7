#pragma once

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <time.h>

#include "sim/devicemodel.h"
#include "sim/eventlog.h"
#include "sim/linepacer.h"
#include "sim/linkpath.h"
#include "sim/ptyendpoint.h"

// The switch behind a pseudo-terminal, served by its own thread: the relaybox-sim program and
// the end-to-end tests use it alike. Everything here may be called from any thread.

namespace relaybox::sim {

struct SimOptions
{
    DeviceSettings device;
    std::string linkPath; // empty: no link; path() is then the terminal itself
    bool pace = false; // the 9600-baud line's speed in both directions
};

class SimulatedSwitch
{
public:
    // Opens the terminal, makes the link and starts serving. Empty, with a message in error,
    // when the terminal or the link cannot be made.
    static std::unique_ptr<SimulatedSwitch> start(SimOptions options, std::string &error,
                                                  EventLog::Sink sink = {});
    ~SimulatedSwitch(); // stops serving, closes the terminal, removes the link

    std::string path() const; // what the host opens: the link, or the terminal without one
    std::string terminalPath() const; // the current /dev/pts/N; empty while hung up

    // Runs one control command (as on relaybox-sim's standard input) and returns its answer,
    // "OK <command>" or "ERROR <why>", once it has taken effect.
    std::string command(std::string_view line);
    bool quitRequested() const { return m_quit; }

    // Moves the switch's clock forward; timers that come due fire before this returns.
    std::string advanceClock(std::chrono::seconds by);

    // Runs `look` on the serving thread with the device model and the current time.
    void inspect(const std::function<void(const DeviceModel &, Millis)> &look);

    EventLog &log() { return m_log; }
    std::optional<std::string> waitForLine(const EventLog::Predicate &predicate,
                                           std::chrono::milliseconds timeout,
                                           std::size_t from = 0) const
    {
        return m_log.waitForLine(predicate, timeout, from);
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kMaxPending = 1 << 20; // unsent bytes kept, each direction

    SimulatedSwitch(SimOptions options, EventLog::Sink sink);
    bool plug(std::string &error);
    void unplug();
    void run();
    bool post(std::function<void()> task); // false once the serving thread has ended
    void runTasks();
    void event(Clock::time_point at, const std::string &text);
    Millis elapsed(Clock::time_point at) const;
    void takeModelOutput(Clock::time_point now);
    void feedModel(Clock::time_point now);
    void writeOut(Clock::time_point now);
    void readIn(Clock::time_point now);
    // How long the serving thread may sleep; to the nanosecond, so that the line pace holds.
    timespec pollTimeout(Clock::time_point now) const;
    std::optional<Clock::time_point> nextPacedSlot(Clock::time_point now) const;
    static constexpr std::chrono::microseconds kSpinLead { 200 };

    const Clock::time_point m_start;
    EventLog m_log;
    DeviceModel m_model;
    PtyEndpoint m_pty;
    std::optional<LinkPath> m_link;
    LinePacer m_outPacer;
    LinePacer m_inPacer;
    std::string m_out; // to the host
    std::string m_in; // from the host, not yet given to the model
    bool m_overflowReported = false;
    Clock::time_point m_readPausedUntil {};

    mutable std::mutex m_mutex; // guards what follows
    std::deque<std::function<void()>> m_tasks;
    std::string m_terminalPath;
    bool m_stopping = false;
    bool m_stopped = false;

    std::atomic<bool> m_quit = false;
    int m_wake[2] = { -1, -1 }; // a byte here wakes the serving thread
    std::thread m_thread;
};

} // namespace relaybox::sim
