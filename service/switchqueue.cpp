#include "service/switchqueue.h"

#include <algorithm>

namespace relaybox::service {

struct SwitchQueue::Ticket
{
    SwitchCommand command;
    Clock::time_point arrived;
    Clock::time_point deadline;
    bool sent = false;
    bool done = false;
    std::uint64_t afterRound = 0; // confirmed only by a later round
    bool checked = false; // a round after the frame was seen
    std::vector<PortRef> notFollowed; // as that round showed
    CommandResult result;
};

namespace {

std::string seconds(std::chrono::milliseconds duration)
{
    const auto ms = duration.count();
    return std::to_string(ms / 1000) + (ms % 1000 ? "." + std::to_string(ms % 1000 / 100) : "");
}

std::string downText(const SwitchState &state)
{
    return (state.unavailable.empty() ? "the switch's line is down" : state.unavailable)
        + "; nothing was sent";
}

} // namespace

SwitchQueue::SwitchQueue(SwitchBackend &backend, Timing timing)
    : m_backend(backend)
    , m_timing(timing)
{
    const SwitchState state = m_backend.state();
    m_rounds = state.rounds;
    m_linkUp = state.linkUp;
    m_backend.setStateListener([this] { backendChanged(); });
    m_thread = std::thread([this] { dispatch(); });
}

SwitchQueue::~SwitchQueue()
{
    stop();
}

void SwitchQueue::stop()
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_stopping && !m_thread.joinable())
            return;
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    m_backend.setStateListener({});
}

void SwitchQueue::backendChanged()
{
    const SwitchState state = m_backend.state();
    {
        const std::lock_guard lock(m_mutex);
        m_rounds = state.rounds;
        m_linkUp = state.linkUp;
    }
    m_wake.notify_all();
}

CommandResult SwitchQueue::run(const SwitchCommand &command, Clock::time_point deadline)
{
    const auto ticket = std::make_shared<Ticket>();
    ticket->command = command;
    ticket->arrived = Clock::now();
    ticket->deadline = deadline;

    // Refusals that need no turn of the line.
    const SwitchState state = m_backend.state();
    std::unique_lock lock(m_mutex);
    if (m_stopping)
        finish(*ticket, Outcome::LinkDown, "the server is stopping; nothing was sent");
    else if (!state.linkUp)
        finish(*ticket, Outcome::LinkDown, downText(state));
    else if (state.bankCount > 0 && command.bank > state.bankCount)
        finish(*ticket, Outcome::NoSuchBank,
               "the switch has " + std::to_string(state.bankCount)
                   + (state.bankCount == 1 ? " bank" : " banks") + "; nothing was sent");
    if (ticket->done)
        return ticket->result;

    m_waiting.push_back(ticket);
    m_wake.notify_all();
    m_answered.wait_until(lock, deadline, [&] { return ticket->done; });
    if (!ticket->done) {
        const auto timeout = std::chrono::duration_cast<std::chrono::milliseconds>(
            ticket->deadline - ticket->arrived);
        if (!ticket->sent)
            finish(*ticket, Outcome::Busy,
                   "the requests ahead of it took the whole " + seconds(timeout)
                       + " s; nothing was sent");
        else if (ticket->checked)
            finish(*ticket, Outcome::NotConfirmed,
                   describeNotFollowed(ticket->notFollowed, command.on));
        else
            finish(*ticket, Outcome::NotConfirmed, "the switch sent no status for the ports");
        ticket->result.notFollowed = ticket->notFollowed;
        std::erase(m_waiting, ticket);
        std::erase(m_pending, ticket);
    }
    return ticket->result;
}

void SwitchQueue::finish(Ticket &ticket, Outcome outcome, std::string error)
{
    if (ticket.done)
        return;
    ticket.done = true;
    ticket.result.outcome = outcome;
    ticket.result.error = outcome == Outcome::Confirmed ? std::string() : std::move(error);
    ticket.result.took =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - ticket.arrived);
    m_answered.notify_all();
}

void SwitchQueue::dispatch()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (!m_waiting.empty()) {
            const TicketPtr ticket = m_waiting.front();
            m_waiting.pop_front();
            send(lock, ticket);
        } else if (!m_pending.empty()) {
            // A new request goes first; the waiting ones are checked after its frame anyway.
            if (!m_wake.wait_for(lock, m_timing.repollPause,
                                 [&] { return m_stopping || !m_waiting.empty(); }))
                pollAndCheck(lock);
        } else {
            m_wake.wait(lock, [&] { return m_stopping || !m_waiting.empty(); });
        }
    }
    for (const TicketPtr &ticket : m_waiting)
        finish(*ticket, Outcome::LinkDown, "the server is stopping; nothing was sent");
    for (const TicketPtr &ticket : m_pending)
        finish(*ticket, Outcome::NotConfirmed,
               "relayboxd stopped before the switch's status showed the change");
    m_waiting.clear();
    m_pending.clear();
}

void SwitchQueue::send(std::unique_lock<std::mutex> &lock, const TicketPtr &ticket)
{
    lock.unlock();
    const SwitchState state = m_backend.state();
    lock.lock();
    if (ticket->done)
        return;
    if (!state.linkUp)
        return finish(*ticket, Outcome::LinkDown, downText(state));
    if (state.bankCount > 0 && ticket->command.bank > state.bankCount)
        return finish(*ticket, Outcome::NoSuchBank,
                      "the switch has " + std::to_string(state.bankCount)
                          + (state.bankCount == 1 ? " bank" : " banks") + "; nothing was sent");
    // An earlier request for the same port the other way cannot be confirmed any more.
    for (const TicketPtr &earlier : m_pending) {
        if (earlier->command.on != ticket->command.on
            && earlier->command.overlaps(ticket->command)) {
            earlier->result.notFollowed = earlier->notFollowed;
            finish(*earlier, Outcome::NotConfirmed,
                   "a later request switched " + ticket->command.target()
                       + (ticket->command.on ? " on" : " off")
                       + " before the switch's status showed this one");
        }
    }
    std::erase_if(m_pending, [](const TicketPtr &t) { return t->done; });
    ticket->sent = true;

    lock.unlock();
    const bool written = m_backend.sendFrame(ticket->command.frame());
    const std::uint64_t rounds = m_backend.state().rounds;
    lock.lock();
    if (!written) {
        finish(*ticket, Outcome::LinkDown, "the switch's line failed; nothing was sent");
        return;
    }
    ticket->afterRound = rounds;
    if (!ticket->done)
        m_pending.push_back(ticket);
    pollAndCheck(lock);
}

void SwitchQueue::pollAndCheck(std::unique_lock<std::mutex> &lock)
{
    lock.unlock();
    const std::uint64_t before = m_backend.state().rounds;
    m_backend.pollNow();
    lock.lock();
    m_wake.wait_for(lock, m_timing.roundWait,
                    [&] { return m_stopping || m_rounds > before || !m_linkUp; });
    lock.unlock();
    const SwitchState state = m_backend.state();
    lock.lock();
    check(state);
}

void SwitchQueue::check(const SwitchState &state)
{
    for (const TicketPtr &ticket : m_pending) {
        if (ticket->done)
            continue;
        if (!state.linkUp) {
            ticket->result.notFollowed = ticket->notFollowed;
            finish(*ticket, Outcome::NotConfirmed,
                   "the switch's line went down before its status showed the change");
            continue;
        }
        if (state.rounds <= ticket->afterRound)
            continue;
        const SwitchCommand &command = ticket->command;
        if (command.bank > state.bankCount) {
            finish(*ticket, Outcome::NotConfirmed,
                   "the switch now has " + std::to_string(state.bankCount) + " banks");
            continue;
        }
        ticket->checked = true;
        ticket->notFollowed.clear();
        ticket->result.banks.clear();
        for (const PortRef &ref : command.scope(state.bankCount)) {
            if (state.banks[ref.bank].isOn(ref.port) != command.on)
                ticket->notFollowed.push_back(ref);
            if (ticket->result.banks.empty() || ticket->result.banks.back() != ref.bank)
                ticket->result.banks.push_back(ref.bank);
        }
        if (ticket->notFollowed.empty())
            finish(*ticket, Outcome::Confirmed, {});
    }
    std::erase_if(m_pending, [](const TicketPtr &t) { return t->done; });
}

} // namespace relaybox::service
