#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "cli/switchlink.h"
#include "service/switchbackend.h"

// One switch on a serial line that relayboxd owns: opened exclusively, the Identify command
// answered and the banks' versions read, then polled every `poll` and at once when the queue asks.
// A port that fails (an unplugged USB adapter) or a switch that stops answering is closed and
// opened again every few seconds; it takes nothing else with it. One thread per switch reads;
// frames from the queue are written between its polls.

namespace relaybox::daemon {

class SerialSwitchBackend final : public service::SwitchBackend
{
public:
    struct Timing
    {
        std::chrono::milliseconds poll { 5000 };
        std::chrono::milliseconds reopen { 3000 };
        std::chrono::milliseconds identifyWait { 2000 };
        // For a whole status answer: 16 banks take 0.47 s at 9600 baud.
        std::chrono::milliseconds roundLimit { 2000 };
        int missedRoundsForDown = 2;
    };
    using Log = std::function<void(const std::string &)>;

    SerialSwitchBackend(std::string name, std::string port, Timing timing, Log log);
    ~SerialSwitchBackend() override;

    void start();
    void stop();

    bool sendFrame(const std::string &frame) override;
    void pollNow() override;
    service::SwitchState state() const override;

private:
    void run();
    bool connect();
    bool poll();
    void linkDown(const std::string &why);
    void publish(const cli::SwitchReport &report);
    void problem(const std::string &text); // logged once until it changes
    bool linkUp() const;

    const std::string m_name;
    const std::string m_port;
    const Timing m_timing;
    const Log m_log;

    mutable std::mutex m_stateMutex;
    service::SwitchState m_state;

    std::mutex m_lineMutex;
    std::unique_ptr<cli::SwitchLink> m_link; // set while the line is up

    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    bool m_pollRequested = false;
    bool m_stopping = false;

    int m_missedRounds = 0;
    std::string m_lastProblem;
    std::thread m_thread;
};

} // namespace relaybox::daemon
