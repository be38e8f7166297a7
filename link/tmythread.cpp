#include "tmythread.h"

#include <algorithm>
#include <array>

namespace relaybox {

TMyThread::TMyThread(SerialPort &port, Receiver &receiver, UiBridge &bridge)
    : m_port(port)
    , m_receiver(receiver)
    , m_bridge(bridge)
    , m_thread([this] { run(); })
{ }

TMyThread::~TMyThread()
{
    requestTermination();
    join();
}

void TMyThread::requestTermination()
{
    {
        std::lock_guard lock(m_backoffMutex);
        m_terminate = true;
    }
    m_backoffWake.notify_all();
}

void TMyThread::join()
{
    if (m_thread.joinable())
        m_thread.join();
}

void TMyThread::backOff()
{
    std::unique_lock lock(m_backoffMutex);
    m_backoffWake.wait_for(lock, kFailureBackoff, [this] { return m_terminate.load(); });
}

void TMyThread::run()
{
    if (!m_port.isOpen())
        return;
    std::array<char, 4096> buffer;
    while (!m_terminate) {
        const WaitResult wait = m_port.waitForInput();
        if (wait.status == WaitResult::Interrupted)
            continue;
        if (wait.status == WaitResult::Failed) {
            backOff();
            continue;
        }
        const std::size_t wanted =
            wait.queued == 0 ? buffer.size() : std::min(wait.queued, buffer.size());
        const long count = m_port.readAvailable(buffer.data(), wanted);
        if (count <= 0) {
            // Data was reported waiting but nothing came: the device is gone.
            backOff();
            continue;
        }
        handle(buffer.data(), std::size_t(count));
    }
}

bool TMyThread::handle(const char *data, std::size_t size)
{
    const std::uint64_t purges = m_port.receivePurges();
    return m_receiver.feed({ data, size }, [&](const ReplyEffects &effects) {
        if (m_terminate || !m_bridge.deliver(effects))
            return false;
        // Input the UI thread discarded while it handled this line includes what we hold.
        return m_port.receivePurges() == purges;
    });
}

} // namespace relaybox
