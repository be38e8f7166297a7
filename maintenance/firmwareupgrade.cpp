#include "firmwareupgrade.h"

#include "link/frames.h"
#include "maintenance/firmwareimage.h"
#include "maintenance/maintenancemessages.h"
#include "maintenance/versiontext.h"

namespace relaybox {
namespace {

const QString &imageErrorMessage(ImageError error)
{
    switch (error) {
    case ImageError::Empty:
        return kImageEmptyMessage;
    case ImageError::TooLarge:
        return kImageTooLargeMessage;
    case ImageError::Unreadable:
        break;
    }
    return kImageUnreadableMessage;
}

} // namespace

FirmwareUpgrade::FirmwareUpgrade(SharedState &state, LinkController &link, OperatorDialogs &dialogs,
                                 UpgradeTimings timings, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_link(link)
    , m_dialogs(dialogs)
    , m_timings(timings)
{
    m_tmUpgradeTimeOut.setObjectName(QStringLiteral("tmUpgradeTimeOut"));
    m_tmUpgradeTimeOut.setInterval(m_timings.timeout);
    connect(&m_tmUpgradeTimeOut, &QTimer::timeout, this, &FirmwareUpgrade::tmUpgradeTimeOutTimer);
    m_closeDelay.setSingleShot(true);
    m_closeDelay.setInterval(m_timings.closeDelay);
    connect(&m_closeDelay, &QTimer::timeout, this, [this] {
        m_link.purgeInput();
        m_link.closeLink();
    });
    // An image belongs to the link on which it was chosen.
    connect(&m_link, &LinkController::portClosed, this, &FirmwareUpgrade::linkReset);
}

void FirmwareUpgrade::Upgrade1Click()
{
    // A second Upgrade would restart the image from its first byte in the middle of the upload.
    if (m_link.uploadHoldsLine())
        return;
    m_link.stopPolling();
    emit flashingStopRequested();

    const std::optional<QString> file = m_dialogs.openFileName(kFirmwareFilter);
    const bool loaderMode = m_state.loaderMode();
    if (!file) {
        giveUp(loaderMode);
        return;
    }
    const FirmwareImage image = readFirmwareImage(std::filesystem::path(file->toStdU16String()),
                                                  UploadSession::kBufferSize);
    if (image.error) {
        m_dialogs.message(kCautionTitle, imageErrorMessage(*image.error), MessageIcon::Error);
        giveUp(loaderMode);
        return;
    }
    m_session.load(image.bytes);
    m_link.beginUpload();
    // What the loader said before the repair began (a completion line, another failure) was not
    // said to this image; from now on only its prompt counts.
    m_repairAwaitsPrompt = loaderMode;
    // A loader that already runs prints its prompt by itself.
    if (!loaderMode) {
        const std::string start = frames::upgradeStart();
        m_link.sendUploadBytes(start.data(), start.size());
    }
}

void FirmwareUpgrade::giveUp(bool loaderMode)
{
    if (!loaderMode) {
        resumePolling();
        return;
    }
    m_dialogs.message(kCautionTitle, kReloadFirmwareMessage, MessageIcon::Error);
    closeAfterDelay();
}

void FirmwareUpgrade::resumePolling()
{
    m_link.restartPolling();
    emit flashingRestartRequested();
}

void FirmwareUpgrade::closeAfterDelay()
{
    // What the loader still says in the meantime is dropped with the input, not acted on.
    endUpload();
    m_tmUpgradeTimeOut.stop();
    m_closeDelay.start();
}

void FirmwareUpgrade::handleUpdate(const UiUpdate &update)
{
    if (m_closeDelay.isActive() || m_timedOut)
        return;
    if (m_repairAwaitsPrompt
        && (update.kind == UpdateKind::Completion || update.kind == UpdateKind::LoaderFailure))
        return;
    switch (update.kind) {
    case UpdateKind::LoaderPrompt:
        loaderStart();
        break;
    case UpdateKind::Completion:
        completion();
        break;
    case UpdateKind::Spinner:
        byteRequest();
        break;
    case UpdateKind::LoaderFailure:
        firmwareFailure();
        break;
    case UpdateKind::LoaderText:
        logLine();
        break;
    default:
        break;
    }
}

void FirmwareUpgrade::loaderStart()
{
    // Without an image chosen on this link there is nothing to send; zero bytes, or an image
    // from an earlier link, would be taken as firmware.
    if (!m_session.hasImage() || !m_link.uploadHoldsLine()) {
        // A loader found by the probe may prompt before it answers the Identify command; its
        // failure answer then goes unread in raw mode. It waits for an image all the same, so the
        // operator is asked for one as after the failure answer.
        if (m_state.loaderMode())
            firmwareFailure();
        return;
    }
    m_link.purgeInput();
    for (const std::uint8_t byte : m_session.firstBurst()) {
        const char c = char(byte);
        m_link.sendUploadBytes(&c, 1);
    }
    m_uploading = true;
    m_repairAwaitsPrompt = false;
    // Polling and the watchdog are off: when the loader falls silent after the burst, short
    // image or long, only the time-out ends the upgrade.
    m_tmUpgradeTimeOut.start();
    emit progressChanged(0);
    m_windowShown = true;
    emit windowShowRequested();
}

void FirmwareUpgrade::byteRequest()
{
    // Outside an upload a spinner asks for nothing, and must not start the time-out.
    if (!m_uploading)
        return;
    m_tmUpgradeTimeOut.stop();
    if (const auto step = m_session.nextByte()) {
        const char c = char(step->byte);
        m_link.sendUploadBytes(&c, 1);
        emit progressChanged(step->percent);
    }
    m_tmUpgradeTimeOut.start();
}

void FirmwareUpgrade::logLine()
{
    emit logLineAppended(lastLine());
}

void FirmwareUpgrade::completion()
{
    emit logLineAppended(lastLine());
    m_tmUpgradeTimeOut.stop();
    // The new firmware runs (its Identify answer follows); frames queued for the old firmware's
    // timers would set them again on the new one.
    m_state.newFirmwareLoaded(kVersionPending);
    endUpload();
    m_link.sendFrame(frames::identify());
    m_dialogs.message(QString(), kUpgradeCompletedMessage, MessageIcon::None);
    closeWindow();
    m_link.sendFrame(frames::versionQuery());
    emit logCleared();
    m_link.startOfLinkAnnouncement();
    m_state.rearmAnnouncement();
}

void FirmwareUpgrade::firmwareFailure()
{
    // The loader gave the upload up; neither the time-out nor the watchdog (a loader answers no
    // poll) may end the link while the operator reads the box and picks the image again.
    endUpload();
    m_tmUpgradeTimeOut.stop();
    m_link.stopPolling();
    m_dialogs.message(kApplicationTitle, kFirmwareFailureMessage, MessageIcon::None);
    Upgrade1Click();
}

void FirmwareUpgrade::tmUpgradeTimeOutTimer()
{
    m_tmUpgradeTimeOut.stop();
    // The loader may only be slow: until the link has closed the line stays held, so that no
    // clock set reaches it, and what it still says is not acted on.
    m_uploading = false;
    m_timedOut = true;
    m_dialogs.message(QString(), kUpgradeTimeoutMessage, MessageIcon::Error);
    closeWindow();
    m_link.closeLink();
}

void FirmwareUpgrade::linkReset()
{
    m_tmUpgradeTimeOut.stop();
    m_closeDelay.stop();
    m_timedOut = false;
    m_repairAwaitsPrompt = false;
    endUpload();
    // A cancelled repair or a lost link must not leave the window up without a link.
    if (m_windowShown)
        closeWindow();
}

void FirmwareUpgrade::closeWindow()
{
    m_windowShown = false;
    emit windowCloseRequested();
}

void FirmwareUpgrade::endUpload()
{
    m_uploading = false;
    m_session.forget();
    m_link.endUpload();
}

QString FirmwareUpgrade::lastLine() const
{
    std::string line = m_state.lastLine();
    // In raw mode the loader's carriage return stays in the line.
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    return QString::fromLatin1(line.data(), qsizetype(line.size()));
}

} // namespace relaybox
