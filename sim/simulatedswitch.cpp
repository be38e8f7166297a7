#include "sim/simulatedswitch.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <future>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

#include "sim/controlcommand.h"

namespace relaybox::sim {

namespace {

constexpr auto kReadPause = std::chrono::milliseconds(20); // after a failed read of the master
constexpr auto kIdlePoll = std::chrono::milliseconds(1000);

} // namespace

std::unique_ptr<SimulatedSwitch> SimulatedSwitch::start(SimOptions options, std::string &error,
                                                        EventLog::Sink sink)
{
    std::unique_ptr<SimulatedSwitch> device(new SimulatedSwitch(options, std::move(sink)));
    if (pipe(device->m_wake) != 0) {
        error = "cannot make a pipe";
        return nullptr;
    }
    for (const int fd : device->m_wake) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    if (!options.linkPath.empty())
        device->m_link.emplace(options.linkPath);
    if (!device->plug(error))
        return nullptr;
    device->m_log.append("LINK " + device->path());
    device->m_thread = std::thread(&SimulatedSwitch::run, device.get());
    return device;
}

SimulatedSwitch::SimulatedSwitch(SimOptions options, EventLog::Sink sink)
    : m_start(Clock::now())
    , m_log(std::move(sink))
    , m_model(options.device)
    , m_outPacer(options.pace)
    , m_inPacer(options.pace)
{ }

SimulatedSwitch::~SimulatedSwitch()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        const char byte = 0;
        [[maybe_unused]] const auto written = write(m_wake[1], &byte, 1);
        m_thread.join();
    }
    m_pty.close();
    m_link.reset();
    for (const int fd : m_wake)
        if (fd >= 0)
            close(fd);
}

std::string SimulatedSwitch::path() const
{
    if (m_link)
        return m_link->path();
    return terminalPath();
}

std::string SimulatedSwitch::terminalPath() const
{
    std::lock_guard lock(m_mutex);
    return m_terminalPath;
}

// ---- requests from other threads -------------------------------------------------------------

bool SimulatedSwitch::post(std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopped)
            return false;
        m_tasks.push_back(std::move(task));
    }
    const char byte = 0;
    [[maybe_unused]] const auto written = write(m_wake[1], &byte, 1);
    return true;
}

void SimulatedSwitch::runTasks()
{
    while (true) {
        std::function<void()> task;
        {
            std::lock_guard lock(m_mutex);
            if (m_tasks.empty())
                return;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}

std::string SimulatedSwitch::command(std::string_view line)
{
    std::promise<std::string> answer;
    auto future = answer.get_future();
    const bool posted = post([this, text = std::string(line), &answer] {
        const auto now = Clock::now();
        if (m_quit) {
            answer.set_value("ERROR the simulator has quit");
            return;
        }
        ControlResult result = ControlCommand::run(text, m_model, elapsed(now));
        takeModelOutput(now);
        for (const std::string &note : result.events)
            event(now, note);
        switch (result.action) {
        case ControlResult::Action::None:
            break;
        case ControlResult::Action::Hangup:
            unplug();
            break;
        case ControlResult::Action::Replug: {
            unplug();
            std::string error;
            if (plug(error))
                event(now, "REPLUG " + terminalPath());
            else
                result.reply = "ERROR replug failed: " + error;
            break;
        }
        case ControlResult::Action::Quit: {
            m_quit = true;
            std::lock_guard lock(m_mutex);
            m_stopping = true;
            break;
        }
        }
        m_log.append(result.reply);
        answer.set_value(result.reply);
    });
    if (!posted)
        return "ERROR the simulator has stopped";
    return future.get();
}

std::string SimulatedSwitch::advanceClock(std::chrono::seconds by)
{
    return command("advance " + std::to_string(by.count()));
}

void SimulatedSwitch::inspect(const std::function<void(const DeviceModel &, Millis)> &look)
{
    std::promise<void> done;
    const bool posted = post([&] {
        look(m_model, elapsed(Clock::now()));
        done.set_value();
    });
    if (!posted) {
        // The serving thread has ended and no longer touches the model.
        look(m_model, elapsed(Clock::now()));
        return;
    }
    done.get_future().get();
}

// ---- the terminal ----------------------------------------------------------------------------

bool SimulatedSwitch::plug(std::string &error)
{
    if (!m_pty.open(error))
        return false;
    if (m_link && !m_link->point(m_pty.terminalPath(), error)) {
        m_pty.close();
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_terminalPath = m_pty.terminalPath();
    return true;
}

void SimulatedSwitch::unplug()
{
    if (!m_pty.isOpen())
        return;
    m_pty.close();
    if (m_link)
        m_link->remove();
    m_out.clear();
    m_in.clear();
    {
        std::lock_guard lock(m_mutex);
        m_terminalPath.clear();
    }
    event(Clock::now(), "HANGUP");
}

Millis SimulatedSwitch::elapsed(Clock::time_point at) const
{
    return std::chrono::duration_cast<Millis>(at - m_start);
}

void SimulatedSwitch::event(Clock::time_point at, const std::string &text)
{
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(at - m_start).count();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%lld.%06lld ", static_cast<long long>(micros / 1'000'000),
                  static_cast<long long>(micros % 1'000'000));
    m_log.append(stamp + text);
}

void SimulatedSwitch::takeModelOutput(Clock::time_point now)
{
    DeviceOutput output = m_model.takeOutput();
    for (const std::string &text : output.events)
        event(now, text);
    // An unplugged cable carries nothing.
    if (m_pty.isOpen() && !output.bytes.empty()) {
        if (m_out.empty())
            m_outPacer.wake(now);
        const std::size_t room = kMaxPending - std::min(kMaxPending, m_out.size());
        if (output.bytes.size() > room) {
            if (!m_overflowReported)
                event(now, "TX OVERFLOW the host reads nothing; dropping replies");
            m_overflowReported = true;
            output.bytes.resize(room);
        }
        m_out += output.bytes;
    }
    if (output.hangup)
        unplug();
}

void SimulatedSwitch::feedModel(Clock::time_point now)
{
    const std::size_t count = m_inPacer.allowance(now, m_in.size());
    std::size_t taken = 0;
    while (taken < count && m_pty.isOpen()) {
        m_model.receive(static_cast<std::uint8_t>(m_in[taken++]), elapsed(now));
        takeModelOutput(now);
    }
    if (!m_pty.isOpen())
        return; // unplugged meanwhile: m_in is already gone
    m_in.erase(0, taken);
    m_inPacer.passed(now, taken);
}

void SimulatedSwitch::writeOut(Clock::time_point now)
{
    if (!m_pty.isOpen() || m_out.empty())
        return;
    const std::size_t count = m_outPacer.allowance(now, m_out.size());
    if (count == 0)
        return;
    const ssize_t written = write(m_pty.masterFd(), m_out.data(), count);
    if (written > 0) {
        m_out.erase(0, std::size_t(written));
        m_outPacer.passed(now, std::size_t(written));
        m_overflowReported = false;
    }
}

void SimulatedSwitch::readIn(Clock::time_point now)
{
    char buffer[4096];
    const std::size_t room = std::min(sizeof buffer, kMaxPending - m_in.size());
    const ssize_t count = read(m_pty.masterFd(), buffer, room);
    if (count > 0) {
        if (m_in.empty())
            m_inPacer.wake(now);
        m_in.append(buffer, std::size_t(count));
    } else if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
        m_readPausedUntil = now + kReadPause;
    }
}

timespec SimulatedSwitch::pollTimeout(Clock::time_point now) const
{
    Clock::time_point wake = now + kIdlePoll;
    const auto earliest = [&wake](Clock::time_point at) {
        if (at < wake)
            wake = at;
    };
    if (const auto deadline = m_model.nextDeadline())
        earliest(m_start + *deadline);
    if (!m_in.empty() && !m_inPacer.nextSlot(now))
        earliest(now);
    // A paced byte's slot is reached by sleeping until shortly before it and spinning the rest.
    if (const auto slot = nextPacedSlot(now))
        earliest(*slot - kSpinLead);
    if (m_readPausedUntil > now)
        earliest(m_readPausedUntil);
    if (wake <= now)
        return {};
    const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(wake - now);
    return { time_t(wait.count() / 1'000'000'000), long(wait.count() % 1'000'000'000) };
}

std::optional<SimulatedSwitch::Clock::time_point>
SimulatedSwitch::nextPacedSlot(Clock::time_point now) const
{
    std::optional<Clock::time_point> next;
    if (!m_in.empty())
        next = m_inPacer.nextSlot(now);
    if (!m_out.empty()) {
        if (const auto slot = m_outPacer.nextSlot(now); slot && (!next || *slot < *next))
            next = slot;
    }
    return next;
}

void SimulatedSwitch::run()
{
    // A paced line is only as exact as the thread's wake-ups: ask for no timer slack.
    if (m_outPacer.enabled())
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    while (true) {
        runTasks();
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping)
                break;
        }
        auto now = Clock::now();
        feedModel(now);
        m_model.tick(elapsed(now));
        takeModelOutput(now);
        writeOut(now);

        pollfd fds[2] = { { m_wake[0], POLLIN, 0 }, { -1, 0, 0 } };
        if (m_pty.isOpen() && now >= m_readPausedUntil) {
            fds[1].fd = m_pty.masterFd();
            if (m_in.size() < kMaxPending)
                fds[1].events |= POLLIN;
            if (!m_out.empty() && !m_outPacer.nextSlot(now))
                fds[1].events |= POLLOUT;
        }
        const timespec timeout = pollTimeout(now);
        const int ready = ppoll(fds, 2, &timeout, nullptr);
        if (ready <= 0) {
            // This machine's wake-ups come late by tens of microseconds, three times a firmware
            // byte; spinning the last stretch keeps the paced line at its own speed.
            if (const auto slot = nextPacedSlot(Clock::now());
                slot && *slot - Clock::now() <= kSpinLead)
                while (Clock::now() < *slot) { }
            continue;
        }
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (read(m_wake[0], drain, sizeof drain) > 0) { }
        }
        now = Clock::now();
        if (fds[1].fd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
            readIn(now);
    }
    // Requests that came while stopping are still answered, then the terminal goes.
    while (true) {
        runTasks();
        std::lock_guard lock(m_mutex);
        if (m_tasks.empty()) {
            m_stopped = true;
            break;
        }
    }
    m_pty.close();
    if (m_link)
        m_link->remove();
}

} // namespace relaybox::sim
