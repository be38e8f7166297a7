#include "linkcontroller.h"

#include "link/frames.h"

namespace relaybox {

namespace {

// As the port's queue names the manager to relaybox-cli.
const std::string kProgramName = "relaybox";

// The firmware answers "xyz"; its loader answers "abc", and the upgrade takes over from there.
bool answersIdentify(const ReplyEffects &effects)
{
    if (effects.identified)
        return true;
    for (int i = 0; i < effects.updateCount; ++i) {
        if (effects.updates[i].kind == UpdateKind::LoaderFailure)
            return true;
    }
    return false;
}

} // namespace

LinkController::LinkController(SharedState &state, const HostClock &clock, OperatorDialogs &dialogs,
                               PortFactory portFactory, LinkTimings timings, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_clock(clock)
    , m_dialogs(dialogs)
    , m_portFactory(std::move(portFactory))
    , m_timings(timings)
    , m_bridge([this](const ReplyEffects &effects) { dispatch(effects); })
{
    m_tmQuery.setObjectName(QStringLiteral("tmQuery"));
    m_tmQuery.setInterval(m_timings.poll);
    connect(&m_tmQuery, &QTimer::timeout, this, &LinkController::tmQueryTimer);
    m_tmOpenComError.setObjectName(QStringLiteral("tmOpenComError"));
    m_tmOpenComError.setInterval(m_timings.watchdog);
    connect(&m_tmOpenComError, &QTimer::timeout, this, &LinkController::tmOpenComErrorTimer);
}

LinkController::~LinkController()
{
    closePort();
}

void LinkController::setRestoreStatusSource(std::function<bool()> restoreStatus)
{
    m_restoreStatus = std::move(restoreStatus);
}

bool LinkController::startLink(const std::string &path)
{
    closePort();
    m_holder.reset();
    m_turn = joinPortQueue(path, kProgramName);
    if (!m_turn->waitForTurn(std::chrono::milliseconds(0))) {
        // A relaybox-cli call holds the port or waits for it; the window does not wait.
        m_holder = m_turn->holderAhead();
        m_turn.reset();
        m_openError = OpenError::InUse;
        return false;
    }
    auto port = m_portFactory();
    if (!port || !port->open(path, PortMode::Overlapped)) {
        m_openError = port ? port->openError() : OpenError::Other;
        if (m_openError == OpenError::InUse)
            m_holder = findPortHolder(path);
        m_turn.reset();
        return false;
    }
    m_portPath = path;
    // As on the switch's own driver, the settings calls cannot make a link fail.
    port->readLineSettings();
    port->applyLineSettings();
    port->setBufferSizes(kLinkInputBuffer, kLinkOutputBuffer);
    port->setTimeouts(kLinkTimeouts);
    m_port = std::move(port);

    m_receiver = std::make_unique<Receiver>(m_state, m_clock);
    m_bridge.open();
    m_thread = std::make_unique<TMyThread>(*m_port, *m_receiver, m_bridge);

    // A loader found by the probe answers it too, and that answer starts the repair.
    const std::string identify = frames::identify();
    writeToPort(identify.data(), identify.size());
    m_awaitingIdentify = true;
    m_tmOpenComError.start();
    if (!m_state.armNewLink())
        startOfLinkAnnouncement();
    // So the announcement goes out once more at the sixth poll.
    m_state.rearmAnnouncement();
    emit portOpened();
    return true;
}

void LinkController::closePort()
{
    if (!m_port)
        return;
    // Wake the worker wherever it waits: in the port, or for the UI thread.
    m_port->interrupt();
    m_bridge.close();
    if (m_thread) {
        m_thread->requestTermination();
        m_thread->join();
        m_thread.reset();
    }
    m_receiver.reset();
    m_awaitingIdentify = false;
    m_port->close();
    m_port.reset();
    m_turn.reset();
    m_identified = false;
    m_state.setLinkDown();
    m_tmQuery.stop();
    m_tmOpenComError.stop();
    endUpload();
    emit portClosed();
}

void LinkController::closeLink()
{
    emit hidePanelsRequested();
    resetLink();
    closePort();
}

void LinkController::linkLost()
{
    emit hidePanelsRequested();
    closePort();
    linkLostReport();
}

void LinkController::openFailedReport(const std::string &path)
{
    if (m_openError == OpenError::InUse)
        return portHeldReport(path, m_holder);
    linkLostReport(m_openError == OpenError::PermissionDenied
                       ? kJoinDialoutMessage.arg(QString::fromStdString(path))
                       : QString());
}

void LinkController::linkLostReport(const QString &detail)
{
    emit dialogsCloseRequested();
    resetLink();
    const QString text = detail.isEmpty() ? kLinkLostMessage : kLinkLostMessage + u'\r' + detail;
    m_dialogs.message(QString(), text, MessageIcon::Information);
}

void LinkController::portHeldReport(const std::string &path,
                                    const std::optional<PortHolder> &holder)
{
    emit dialogsCloseRequested();
    resetLink();
    m_dialogs.message(QString(), portHeldMessage(path, holder), MessageIcon::Information);
}

void LinkController::resetLink()
{
    endUpload();
    m_state.resetLink();
    emit linkResetRequested();
}

void LinkController::startOfLinkAnnouncement()
{
    if (!m_state.claimAnnouncement())
        return;
    sendFrame(frames::versionQuery());
    sendFrame(frames::restoreStatus(m_restoreStatus()));
    emit announced();
}

void LinkController::returnToTransfer(const LocalTime &now)
{
    if (const auto head = m_state.returnToTransfer(now))
        sendFrame(*head);
}

bool LinkController::sendFrame(const std::string &frame)
{
    if (!sendBytes(frame.data(), frame.size()))
        return false;
    emit frameWritten(frame);
    return true;
}

std::string LinkController::lineRefusal() const
{
    if (!isPortOpen())
        return "the manager is not linked to the switch";
    if (m_uploadHoldsLine)
        return "the manager is uploading firmware to the switch";
    if (loaderRuns())
        return "the switch runs its firmware loader";
    if (!m_identified)
        return "the switch has not answered the manager yet";
    return {};
}

bool LinkController::sendBytes(const char *data, std::size_t size)
{
    if (m_uploadHoldsLine || loaderRuns())
        return false;
    return writeToPort(data, size);
}

bool LinkController::loaderRuns() const
{
    return m_state.loaderMode();
}

bool LinkController::sendUploadBytes(const char *data, std::size_t size)
{
    if (!m_uploadHoldsLine)
        return false;
    return writeToPort(data, size);
}

bool LinkController::writeToPort(const char *data, std::size_t size)
{
    if (!isPortOpen())
        return false;
    return m_port->write(data, size) == long(size);
}

void LinkController::beginUpload()
{
    if (m_uploadHoldsLine || !isPortOpen())
        return;
    m_uploadHoldsLine = true;
    emit uploadHoldsLineChanged(true);
}

void LinkController::endUpload()
{
    if (!m_uploadHoldsLine)
        return;
    m_uploadHoldsLine = false;
    emit uploadHoldsLineChanged(false);
}

void LinkController::purgeInput()
{
    if (isPortOpen())
        m_port->purge(false, true);
}

void LinkController::stopPolling()
{
    m_tmQuery.stop();
    m_tmOpenComError.stop();
}

void LinkController::restartPolling()
{
    m_tmQuery.start();
    m_tmOpenComError.start();
}

void LinkController::tmQueryTimer()
{
    if (m_state.countPoll())
        startOfLinkAnnouncement();
    sendFrame(frames::statusPoll());
    if (m_tmQuery.intervalAsDuration() != m_timings.poll) {
        m_tmQuery.setInterval(m_timings.poll);
        m_tmQuery.start();
    }
    if (!m_tmOpenComError.isActive())
        m_tmOpenComError.start();
}

void LinkController::tmOpenComErrorTimer()
{
    linkLost();
}

void LinkController::dispatch(const ReplyEffects &effects)
{
    if (m_awaitingIdentify && answersIdentify(effects)) {
        // From here the polls arm the watchdog.
        m_awaitingIdentify = false;
        m_tmOpenComError.stop();
    }
    if (effects.identified)
        onIdentifyAnswer();
    for (int i = 0; i < effects.updateCount && isPortOpen(); ++i)
        runUpdate(effects.updates[i]);
}

void LinkController::onIdentifyAnswer()
{
    m_identified = true;
    emit linkUp();
    m_tmQuery.setInterval(m_timings.firstPoll);
    m_tmQuery.start();
}

void LinkController::runUpdate(const UiUpdate &update)
{
    // A new bank count lays the window out; the update that noticed it does nothing more.
    if (const auto bankCount = m_state.unshownBankCount()) {
        rebuildForBankCount(*bankCount);
        return;
    }
    switch (update.kind) {
    case UpdateKind::BankCount:
    case UpdateKind::Current:
    case UpdateKind::PortLetters:
    case UpdateKind::FullStatus:
        emit panelRefresh(update.kind, update.bank);
        m_tmOpenComError.stop();
        break;
    case UpdateKind::ClearAdvance:
    case UpdateKind::SetAdvance:
        advanceTransferQueue();
        break;
    default:
        emit updateArrived(update);
        break;
    }
}

void LinkController::rebuildForBankCount(int newCount)
{
    const int oldCount = m_state.showBankCount(newCount);
    emit bankCountChanged(oldCount, newCount);
}

void LinkController::advanceTransferQueue()
{
    // While an upload holds the line the next frame could not be written: the queue stands still,
    // and the upgrade's completion (or the link's end) empties it.
    if (m_uploadHoldsLine)
        return;
    if (const auto next = m_state.advanceTransferQueue())
        sendFrame(*next);
}

} // namespace relaybox
