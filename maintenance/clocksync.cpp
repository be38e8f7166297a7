#include "clocksync.h"

#include "link/frames.h"
#include "maintenance/maintenancemessages.h"

namespace relaybox {

ClockSync::ClockSync(SharedState &state, LinkController &link, const HostClock &clock,
                     OperatorDialogs &dialogs, std::function<bool()> setRtc,
                     ClockSyncIntervals intervals, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_link(link)
    , m_clock(clock)
    , m_dialogs(dialogs)
    , m_setRtc(std::move(setRtc))
    , m_intervals(intervals)
{
    m_tmSetRTC.setObjectName(QStringLiteral("tmSetRTC"));
    m_tmSetRTC.setInterval(m_intervals.start);
    connect(&m_tmSetRTC, &QTimer::timeout, this, &ClockSync::tmSetRTCTimer);
    m_tmRTCErr.setObjectName(QStringLiteral("tmRTCErr"));
    m_tmRTCErr.setInterval(m_intervals.errorDelay);
    connect(&m_tmRTCErr, &QTimer::timeout, this, &ClockSync::tmRTCErrTimer);
    connect(&m_link, &LinkController::uploadHoldsLineChanged, this,
            &ClockSync::uploadHoldsLineChanged);
}

void ClockSync::SetDeviceClock()
{
    // The mark is taken before the box opens, so a clock set from a timer that fires while it is
    // open cannot warn a second time.
    const bool warn = m_state.takeFirstClockSetWarning();
    m_link.sendFrame(frames::clockSet(m_clock.now()));
    if (warn)
        m_dialogs.message(kWarningTitle, kTimersAffectedMessage, MessageIcon::Information);
}

void ClockSync::mlSetRTCNowClick()
{
    SetDeviceClock();
}

void ClockSync::mlStartSetRTC_PeriodClick()
{
    arm();
}

void ClockSync::tmSetRTCTimer()
{
    m_tmSetRTC.setInterval(m_intervals.hourly);
    m_tmSetRTC.start();
    // A frame between the bytes of a firmware image would corrupt it, and a loader takes any
    // frame for image bytes: the set waits for the firmware.
    if (m_link.uploadHoldsLine() || m_state.loaderMode()) {
        m_setDeferred = true;
        return;
    }
    SetDeviceClock();
}

void ClockSync::uploadHoldsLineChanged(bool holds)
{
    // A loader has no clock; the set waits for the firmware that a new upload brings.
    if (holds || !m_setDeferred || !m_link.isPortOpen() || m_state.loaderMode())
        return;
    m_setDeferred = false;
    arm();
}

void ClockSync::tmRTCErrTimer()
{
    m_tmRTCErr.stop();
    if (m_state.takeClockFailureWarning())
        m_dialogs.message(kWarningTitle, kClockFailureMessage, MessageIcon::Information);
}

void ClockSync::handleUpdate(const UiUpdate &update)
{
    switch (update.kind) {
    case UpdateKind::ClockError:
        m_tmRTCErr.start();
        break;
    case UpdateKind::Version:
        if (m_setRtc && m_setRtc())
            arm();
        break;
    default:
        break;
    }
}

void ClockSync::stop()
{
    m_tmSetRTC.stop();
    m_setDeferred = false;
}

void ClockSync::arm()
{
    m_tmSetRTC.setInterval(m_intervals.start);
    m_tmSetRTC.start();
}

} // namespace relaybox
