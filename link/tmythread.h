#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "link/receiver.h"
#include "link/uibridge.h"
#include "platform/serialport.h"

// The link's worker thread: the only reader of the port. It waits for bytes, turns them into
// replies through the receiver and hands every reply that asks for it to the UI thread.

namespace relaybox {

class TMyThread
{
public:
    // After a failed wait (a hung-up or removed port fails at once, every time) the worker pauses
    // before the next one instead of spinning; the watchdog then ends the link.
    static constexpr std::chrono::milliseconds kFailureBackoff { 50 };

    // Starts running at once.
    TMyThread(SerialPort &port, Receiver &receiver, UiBridge &bridge);
    // Requests termination and waits for the loop to end.
    ~TMyThread();

    // Safe from any thread. The caller also interrupts the port's wait and the bridge.
    void requestTermination();
    bool terminationRequested() const { return m_terminate.load(); }
    void join();

private:
    void run();
    void backOff();
    bool handle(const char *data, std::size_t size);

    SerialPort &m_port;
    Receiver &m_receiver;
    UiBridge &m_bridge;
    std::atomic<bool> m_terminate { false };
    std::mutex m_backoffMutex;
    std::condition_variable m_backoffWake;
    std::thread m_thread;
};

} // namespace relaybox
