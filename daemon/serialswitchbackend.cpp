#include "daemon/serialswitchbackend.h"

#include "cli/portchoice.h"
#include "daemon/gatheringport.h"
#include "platform/localportsources.h"

namespace relaybox::daemon {

namespace {

using Clock = std::chrono::steady_clock;

std::string openProblem(OpenError error)
{
    switch (error) {
    case OpenError::NoSuchPort:
        return "no such port";
    case OpenError::PermissionDenied:
        return "permission denied (the relaybox user must be in the dialout group)";
    case OpenError::InUse:
        return "in use by another program";
    case OpenError::NotASerialPort:
        return "not a serial port";
    default:
        return "the system refused it";
    }
}

} // namespace

SerialSwitchBackend::SerialSwitchBackend(std::string name, std::string port, Timing timing, Log log)
    : m_name(std::move(name))
    , m_port(std::move(port))
    , m_timing(timing)
    , m_log(std::move(log))
{ }

SerialSwitchBackend::~SerialSwitchBackend()
{
    stop();
}

void SerialSwitchBackend::start()
{
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
}

void SerialSwitchBackend::stop()
{
    {
        const std::lock_guard lock(m_wakeMutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

bool SerialSwitchBackend::sendFrame(const std::string &frame)
{
    const std::lock_guard lock(m_lineMutex);
    return m_link && m_link->send(frame);
}

void SerialSwitchBackend::pollNow()
{
    {
        const std::lock_guard lock(m_wakeMutex);
        m_pollRequested = true;
    }
    m_wake.notify_all();
}

service::SwitchState SerialSwitchBackend::state() const
{
    const std::lock_guard lock(m_stateMutex);
    return m_state;
}

bool SerialSwitchBackend::linkUp() const
{
    const std::lock_guard lock(m_stateMutex);
    return m_state.linkUp;
}

void SerialSwitchBackend::problem(const std::string &text)
{
    if (text != m_lastProblem)
        m_log("switch " + m_name + ": " + text);
    m_lastProblem = text;
}

void SerialSwitchBackend::run()
{
    auto nextPoll = Clock::now();
    for (;;) {
        std::unique_lock lock(m_wakeMutex);
        if (m_stopping)
            break;
        if (!linkUp()) {
            lock.unlock();
            if (connect()) {
                nextPoll = Clock::now() + m_timing.poll;
                continue;
            }
            lock.lock();
            m_wake.wait_for(lock, m_timing.reopen, [&] { return m_stopping; });
            continue;
        }
        m_wake.wait_until(lock, nextPoll, [&] { return m_stopping || m_pollRequested; });
        if (m_stopping)
            break;
        m_pollRequested = false;
        lock.unlock();
        // After a missed answer the next poll goes out at once.
        nextPoll = Clock::now() + (poll() ? m_timing.poll : std::chrono::milliseconds(0));
    }
    const std::lock_guard lineLock(m_lineMutex);
    m_link.reset();
}

bool SerialSwitchBackend::connect()
{
    const std::string path =
        cli::resolvePortName(m_port, cli::hostPortTable(cli::folderOfProgram()));
    if (cli::isSystemConsole(path, readActiveConsoles())) {
        problem(path + " is a system console; it is never opened");
        return false;
    }
    auto link =
        std::make_unique<cli::SwitchLink>(std::make_unique<GatheringPort>(makeSerialPort()));
    if (const OpenError error = link->open(path); error != OpenError::None) {
        problem("cannot open " + path + ": " + openProblem(error));
        return false;
    }
    switch (link->identify(Clock::now() + m_timing.identifyWait)) {
    case cli::IdentifyResult::Switch:
        break;
    case cli::IdentifyResult::Loader:
        problem("the switch on " + path + " answers as its firmware loader");
        return false;
    case cli::IdentifyResult::Silent:
        problem("no switch answered on " + path);
        return false;
    }
    if (!link->pollStatus(Clock::now() + m_timing.roundLimit)) {
        problem("the switch on " + path + " answered the Identify command but sent no status");
        return false;
    }
    link->readVersions(Clock::now() + m_timing.roundLimit);
    const cli::SwitchReport report = link->report();
    {
        const std::lock_guard lock(m_lineMutex);
        m_link = std::move(link);
    }
    m_missedRounds = 0;
    m_lastProblem.clear();
    m_log("switch " + m_name + ": link up on " + path + ", " + std::to_string(report.bankCount)
          + (report.bankCount == 1 ? " bank" : " banks"));
    publish(report);
    return true;
}

bool SerialSwitchBackend::poll()
{
    bool answered = false;
    bool failed = false;
    cli::SwitchReport report;
    {
        const std::lock_guard lock(m_lineMutex);
        if (!m_link)
            return false;
        answered = m_link->pollStatus(Clock::now() + m_timing.roundLimit);
        failed = m_link->portFailed();
        report = m_link->report();
    }
    if (answered) {
        m_missedRounds = 0;
        publish(report);
        return true;
    }
    if (failed)
        linkDown("the port failed (hung up or removed)");
    else if (++m_missedRounds >= m_timing.missedRoundsForDown)
        linkDown("the switch stopped answering");
    return false;
}

void SerialSwitchBackend::linkDown(const std::string &why)
{
    {
        const std::lock_guard lock(m_lineMutex);
        m_link.reset();
    }
    {
        const std::lock_guard lock(m_stateMutex);
        m_state.linkUp = false;
    }
    m_lastProblem = why;
    m_log("switch " + m_name + ": link down: " + why + "; opening it again every "
          + std::to_string(m_timing.reopen.count() / 1000) + " s");
    notifyStateChanged();
}

void SerialSwitchBackend::publish(const cli::SwitchReport &report)
{
    {
        const std::lock_guard lock(m_stateMutex);
        m_state.linkUp = true;
        m_state.bankCount = report.bankCount;
        for (int number = 1; number <= report.bankCount; ++number) {
            const cli::BankReport &from = report.banks[number];
            service::BankStatus &to = m_state.banks[number];
            if (!from.switchLetters.empty())
                to.switchLetters = from.switchLetters;
            to.timerLetters = from.timerLetters;
            to.current = from.current;
            if (from.versionFresh)
                to.version = from.version;
        }
        ++m_state.rounds;
        m_state.lastStatus = Clock::now();
    }
    notifyStateChanged();
}

} // namespace relaybox::daemon
