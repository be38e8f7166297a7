#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

#include "link/linkcontroller.h"

// Keeps the switch's clock in step with the host's: a clock set on command, and one second after
// an arming and then every hour; warns once per link that timers may shift and once per link
// that the switch's clock has failed.

namespace relaybox {

struct ClockSyncIntervals
{
    std::chrono::milliseconds start { 1000 }; // from an arming to the first clock set
    std::chrono::milliseconds hourly { std::chrono::hours(1) };
    std::chrono::milliseconds errorDelay { 100 }; // "err" to its message
};

class ClockSync : public QObject
{
    Q_OBJECT

public:
    ClockSync(SharedState &state, LinkController &link, const HostClock &clock,
              OperatorDialogs &dialogs, std::function<bool()> setRtc,
              ClockSyncIntervals intervals = {}, QObject *parent = nullptr);

    // Sends the host's local time at once; the first set of a link with timers warns.
    void SetDeviceClock();

    // "Set System Time".
    void mlSetRTCNowClick();
    // "Sync System Time per hour": a clock set in one second, then hourly. The main window
    // invokes it through its menu item, which is disabled while SetRTC is on.
    void mlStartSetRTC_PeriodClick();

    // While a firmware upload holds the line or the switch runs its loader the set is deferred;
    // a second after the upload has ended it goes out, and hourly from then on.
    void tmSetRTCTimer();
    void tmRTCErrTimer();

    // Clock error replies start the failure message; Version replies arm the hourly
    // synchronisation while SetRTC is on. Other kinds are not ours and are ignored.
    void handleUpdate(const relaybox::UiUpdate &update);

    // Link reset, and SetRTC turned off: no more clock sets until the next arming.
    void stop();

    QTimer &tmSetRTC() { return m_tmSetRTC; }
    QTimer &tmRTCErr() { return m_tmRTCErr; }

private:
    void arm();
    void uploadHoldsLineChanged(bool holds);

    SharedState &m_state;
    LinkController &m_link;
    const HostClock &m_clock;
    OperatorDialogs &m_dialogs;
    std::function<bool()> m_setRtc;
    ClockSyncIntervals m_intervals;
    QTimer m_tmSetRTC;
    QTimer m_tmRTCErr;
    bool m_setDeferred = false;
};

} // namespace relaybox
