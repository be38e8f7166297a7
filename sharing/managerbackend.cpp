#include "sharing/managerbackend.h"

#include <QThread>

#include "link/frames.h"

namespace relaybox::sharing {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A status answer of 16 banks takes 0.47 s at 9600 baud; a poll unanswered this long was lost.
constexpr auto kPollAnswerLimit = 3s;
// How long a client's frame may wait for a busy UI thread before it is given up, unwritten.
constexpr auto kUiThreadWait = 5s;

bool isSwitchingFrame(const std::string &frame)
{
    return frame.size() == 6 && frame[0] == '/' && (frame[1] == 'O' || frame[1] == 'F');
}

} // namespace

struct ManagerBackend::Write
{
    std::string frame;
    bool claimed = false; // the UI thread writes it now
    bool cancelled = false; // the caller gave up before that
    bool done = false;
    bool written = false;
};

ManagerBackend::ManagerBackend(LinkController &link, SharedState &state, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_shared(state)
{
    connect(&link, &LinkController::frameWritten, this, &ManagerBackend::onFrameWritten);
    connect(&link, &LinkController::panelRefresh, this, &ManagerBackend::onStatus);
    connect(&link, &LinkController::bankCountChanged, this, [this] { startRound(); });
    for (const auto signal : { &LinkController::linkUp, &LinkController::portClosed,
                               &LinkController::linkResetRequested })
        connect(&link, signal, this, &ManagerBackend::lineChanged);
    connect(&link, &LinkController::uploadHoldsLineChanged, this, &ManagerBackend::lineChanged);
    connect(&link, &LinkController::updateArrived, this, &ManagerBackend::lineChanged);
    const std::lock_guard lock(m_mutex);
    m_state.unavailable = m_link.lineRefusal();
    m_state.linkUp = m_state.unavailable.empty();
}

ManagerBackend::~ManagerBackend()
{
    close();
}

bool ManagerBackend::sendFrame(const std::string &frame)
{
    Write job { frame };
    if (QThread::currentThread() == thread()) {
        write(job);
        return job.written;
    }
    {
        const std::lock_guard lock(m_mutex);
        if (m_closed)
            return false;
    }
    // The job outlives this call only inside the queued call, which checks `cancelled` first.
    auto shared = std::make_shared<Write>(std::move(job));
    QMetaObject::invokeMethod(
        this, [this, shared] { write(*shared); }, Qt::QueuedConnection);
    std::unique_lock lock(m_mutex);
    m_writeDone.wait_for(lock, kUiThreadWait,
                         [&] { return shared->done || (m_closed && !shared->claimed); });
    if (!shared->done && shared->claimed)
        m_writeDone.wait(lock, [&] { return shared->done; }); // one port write, under way
    if (!shared->done)
        shared->cancelled = true;
    return shared->done && shared->written;
}

void ManagerBackend::write(Write &job)
{
    {
        const std::lock_guard lock(m_mutex);
        if (job.cancelled || m_closed) {
            job.done = true;
            m_writeDone.notify_all();
            return;
        }
        job.claimed = true;
    }
    // The link refuses it during an upload, in loader mode and without a link: nothing is sent.
    const bool written = m_link.lineRefusal().empty() && m_link.sendFrame(job.frame);
    if (written) {
        if (onClientFrame)
            onClientFrame(job.frame);
        m_link.sendFrame(frames::statusPoll());
    }
    {
        const std::lock_guard lock(m_mutex);
        job.done = true;
        job.written = written;
    }
    m_writeDone.notify_all();
}

void ManagerBackend::pollNow()
{
    QMetaObject::invokeMethod(
        this, [this] { writePollUnlessPending(); }, Qt::QueuedConnection);
}

void ManagerBackend::writePollUnlessPending()
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_closed)
            return;
    }
    // A poll that already follows the last switching frame will answer for it.
    const auto now = Clock::now();
    for (const Poll &poll : m_polls) {
        if (poll.afterFrames == m_switchingFrames && now - poll.sent < kPollAnswerLimit)
            return;
    }
    if (m_link.lineRefusal().empty())
        m_link.sendFrame(frames::statusPoll());
}

service::SwitchState ManagerBackend::state() const
{
    const std::lock_guard lock(m_mutex);
    return m_state;
}

void ManagerBackend::close()
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_closed)
            return;
        m_closed = true;
        m_state.linkUp = false;
        m_state.unavailable = "the manager stopped sharing its line";
    }
    m_writeDone.notify_all();
    notifyStateChanged();
}

void ManagerBackend::onFrameWritten(const std::string &frame)
{
    if (frame == frames::statusPoll())
        m_polls.push_back({ Clock::now(), m_switchingFrames });
    else if (isSwitchingFrame(frame))
        ++m_switchingFrames; // the operator's clicks too
}

void ManagerBackend::startRound()
{
    // The bank count opens the answer to the oldest poll that can still be answered.
    const auto now = Clock::now();
    while (!m_polls.empty() && now - m_polls.front().sent >= kPollAnswerLimit)
        m_polls.pop_front();
    m_round = Round {};
    if (m_polls.empty())
        return; // not an answer to a poll of ours: it confirms nothing
    m_round.open = true;
    m_round.afterFrames = m_polls.front().afterFrames;
    m_polls.pop_front();
}

void ManagerBackend::onStatus(UpdateKind kind, int bank)
{
    if (kind == UpdateKind::BankCount) {
        startRound();
        return;
    }
    if ((kind != UpdateKind::PortLetters && kind != UpdateKind::FullStatus) || !m_round.open
        || !isBankNumber(bank))
        return;
    m_round.banksSeen.set(std::size_t(bank));
    const int count = m_shared.bankCount();
    for (int number = 1; number <= count; ++number) {
        if (!m_round.banksSeen.test(std::size_t(number)))
            return;
    }
    // Complete. It shows the frames written before its poll, and no later one.
    publish(m_round.afterFrames == m_switchingFrames);
    m_round = Round {};
}

void ManagerBackend::publish(bool countRound)
{
    const int count = std::clamp(m_shared.bankCount(), 0, kMaxBanks);
    std::array<BankRecord, kMaxBanks + 1> records;
    for (int number = 1; number <= count; ++number)
        records[std::size_t(number)] = m_shared.bank(number);
    const std::string refusal = m_link.lineRefusal();
    {
        const std::lock_guard lock(m_mutex);
        if (m_closed)
            return;
        m_state.linkUp = refusal.empty();
        m_state.unavailable = refusal;
        m_state.bankCount = count;
        for (int number = 1; number <= count; ++number) {
            const BankRecord &from = records[std::size_t(number)];
            service::BankStatus &to = m_state.banks[std::size_t(number)];
            to.switchLetters = from.switchLetters;
            to.timerLetters = from.timerLetters;
            to.current = from.current;
            to.version = from.versionText.empty() ? std::nullopt
                                                  : std::optional<std::string>(from.versionText);
        }
        if (countRound)
            ++m_state.rounds;
        m_state.lastStatus = Clock::now();
    }
    notifyStateChanged();
}

void ManagerBackend::lineChanged()
{
    const std::string refusal = m_link.lineRefusal();
    {
        const std::lock_guard lock(m_mutex);
        if (m_closed || (m_state.linkUp == refusal.empty() && m_state.unavailable == refusal))
            return;
        m_state.linkUp = refusal.empty();
        m_state.unavailable = refusal;
    }
    if (!refusal.empty()) {
        m_polls.clear();
        m_round = Round {};
    }
    notifyStateChanged();
}

} // namespace relaybox::sharing
