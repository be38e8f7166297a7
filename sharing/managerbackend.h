#pragma once

#include <QObject>
#include <bitset>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "link/linkcontroller.h"
#include "service/switchbackend.h"

// The manager's own line as the request queue sees it. Every frame goes out through the link's
// write path in the UI thread, so the upload gate and the loader's silence hold for clients too;
// a frame the line refuses (upload, loader, no link) is not written and sendFrame says so at once.
// A status poll follows every client frame at once. A status round counts for the queue only when
// its poll went out after the last switching frame, so a round already on its way when a frame was
// written never confirms it.

namespace relaybox::sharing {

class ManagerBackend final : public QObject, public service::SwitchBackend
{
    Q_OBJECT

public:
    // In the UI thread, with the link it writes through.
    ManagerBackend(LinkController &link, SharedState &state, QObject *parent = nullptr);
    ~ManagerBackend() override;

    // Any thread.
    bool sendFrame(const std::string &frame) override;
    void pollNow() override;
    service::SwitchState state() const override;

    // UI thread: nothing goes out any more and callers waiting for the UI thread get false.
    void close();

    // UI thread: a client's switching frame went out whole (the panel rings its ports).
    std::function<void(const std::string &frame)> onClientFrame;

private:
    struct Write;
    struct Poll
    {
        std::chrono::steady_clock::time_point sent;
        std::uint64_t afterFrames = 0; // switching frames written before it
    };

    void write(Write &job);
    void writePollUnlessPending();
    void onFrameWritten(const std::string &frame);
    void onStatus(UpdateKind kind, int bank);
    void startRound();
    void publish(bool countRound);
    void lineChanged();

    LinkController &m_link;
    SharedState &m_shared;

    // UI thread only.
    std::deque<Poll> m_polls; // written, not answered yet, oldest first
    std::uint64_t m_switchingFrames = 0;
    struct Round
    {
        bool open = false;
        std::uint64_t afterFrames = 0;
        std::bitset<kMaxBanks + 1> banksSeen;
    } m_round;

    mutable std::mutex m_mutex; // guards what follows: copied in and out only
    std::condition_variable m_writeDone;
    service::SwitchState m_state;
    bool m_closed = false;
};

} // namespace relaybox::sharing
