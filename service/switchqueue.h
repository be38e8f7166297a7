#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "service/switchbackend.h"
#include "service/switchcommand.h"

// The requests for one switch, done in arrival order, one frame at a time: each frame is
// followed at once by a Status poll, and a request is answered when a status round after its
// frame shows every port it names in the new state. A request that waits for its ports does not
// hold the line: the next request's frame goes out after the first round, and the waiting ones
// are checked against every round after it. Nothing waits beyond its own deadline.

namespace relaybox::service {

class SwitchQueue
{
public:
    struct Timing
    {
        // How long the first round after a frame may take before the next frame goes out (a
        // 16-bank answer takes 0.47 s at 9600 baud).
        std::chrono::milliseconds roundWait { 3000 };
        // Between polls while a request waits for its ports.
        std::chrono::milliseconds repollPause { 100 };
    };

    explicit SwitchQueue(SwitchBackend &backend)
        : SwitchQueue(backend, Timing {})
    { }
    SwitchQueue(SwitchBackend &backend, Timing timing);
    ~SwitchQueue();
    SwitchQueue(const SwitchQueue &) = delete;
    SwitchQueue &operator=(const SwitchQueue &) = delete;

    // Queues the command behind those that came before it and waits for its answer, at most
    // until the deadline. Any thread.
    CommandResult run(const SwitchCommand &command, Clock::time_point deadline);

    // Answers every waiting request, refuses later ones, and ends the thread. The backend must
    // not call the listener any more once this returned.
    void stop();

private:
    struct Ticket;
    using TicketPtr = std::shared_ptr<Ticket>;

    void dispatch();
    void send(std::unique_lock<std::mutex> &lock, const TicketPtr &ticket);
    void pollAndCheck(std::unique_lock<std::mutex> &lock);
    void check(const SwitchState &state);
    void finish(Ticket &ticket, Outcome outcome, std::string error);
    void backendChanged();

    SwitchBackend &m_backend;
    const Timing m_timing;

    std::mutex m_mutex;
    std::condition_variable m_wake; // the dispatcher: a request, a round, the link, stop
    std::condition_variable m_answered; // the callers of run()
    std::deque<TicketPtr> m_waiting; // not sent yet, in arrival order
    std::vector<TicketPtr> m_pending; // sent, waiting for their ports
    std::uint64_t m_rounds = 0; // as the backend last reported
    bool m_linkUp = false;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace relaybox::service
