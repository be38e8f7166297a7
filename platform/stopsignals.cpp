#include "platform/stopsignals.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace relaybox {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// How soon a sleep notices a stop signal.
constexpr auto kSleepSlice = 20ms;

// Lock-free, so a signal handler may set it.
std::atomic<int> g_stopSignal { 0 };
static_assert(std::atomic<int>::is_always_lock_free);

void noteStop(int number)
{
    int none = 0;
    g_stopSignal.compare_exchange_strong(none, number);
}

#ifdef _WIN32
constexpr int kHangUp = 1;
constexpr int kInterrupt = 2;
constexpr int kTerminate = 15;

BOOL WINAPI onConsoleEvent(DWORD event)
{
    if (g_stopSignal != 0)
        return FALSE; // the second one: the default handler ends the program
    switch (event) {
    case CTRL_C_EVENT:
        noteStop(kInterrupt);
        return TRUE;
    case CTRL_BREAK_EVENT:
        noteStop(kTerminate);
        return TRUE;
    default:
        // Closing the console ends the process as soon as this returns: wait here for the tool
        // to close its port and report (the system gives up after a few seconds anyway).
        noteStop(kHangUp);
        Sleep(INFINITE);
        return TRUE;
    }
}
#else
void onStopSignal(int number)
{
    noteStop(number);
}
#endif

} // namespace

void catchStopSignals()
{
#ifdef _WIN32
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#else
    struct sigaction action
    {
    };
    action.sa_handler = onStopSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int number : { SIGHUP, SIGINT, SIGTERM }) {
        struct sigaction before
        {
        };
        if (sigaction(number, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
            sigaction(number, &action, nullptr);
    }
#endif
}

int stopSignal()
{
    return g_stopSignal.load();
}

bool sleepUnlessStopped(std::chrono::milliseconds duration)
{
    const auto end = Clock::now() + duration;
    for (;;) {
        if (stopSignal() != 0)
            return false;
        const auto now = Clock::now();
        if (now >= end)
            return true;
        std::this_thread::sleep_for(std::min<Clock::duration>(kSleepSlice, end - now));
    }
}

} // namespace relaybox
