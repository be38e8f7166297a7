#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "service/switchstate.h"

// The line to one switch as the request queue sees it. relayboxd's backend owns a serial port and
// a thread that polls; a window that already holds the line writes through its own path. Every
// call may come from any thread, and none is made with the queue's lock held.

namespace relaybox::service {

class SwitchBackend
{
public:
    virtual ~SwitchBackend() = default;

    // Writes one frame whole and returns once it is on its way; false when nothing was written
    // (the link is down or refuses now). The first status round the backend completes after this
    // returns must answer a poll written after the frame.
    virtual bool sendFrame(const std::string &frame) = 0;

    // A Status poll as soon as the line is free; its answer shows as a new round in state().
    virtual void pollNow() = 0;

    virtual SwitchState state() const = 0;

    // Called after every complete status round and every change of the link, from the backend's
    // own thread and without any of its locks held.
    void setStateListener(std::function<void()> listener)
    {
        const std::lock_guard lock(m_listenerMutex);
        m_listener = std::move(listener);
    }

protected:
    void notifyStateChanged()
    {
        std::function<void()> listener;
        {
            const std::lock_guard lock(m_listenerMutex);
            listener = m_listener;
        }
        if (listener)
            listener();
    }

private:
    std::mutex m_listenerMutex;
    std::function<void()> m_listener;
};

} // namespace relaybox::service
