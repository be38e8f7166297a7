#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "link/replyeffects.h"
#include "link/statevalues.h"
#include "platform/hostclock.h"
#include "schedule/schedulefile.h"
#include "schedule/schedulepage.h"

// The state shared by the worker thread, which writes what the switch reports, and the UI thread,
// which draws it and sends commands. It guards itself: every operation takes the lock, copies in
// or out, and lets go before it returns, so the lock is never held across a port write, a
// message box or a call into the other thread, and no caller ever sees it.

namespace relaybox {

namespace testing {
struct SharedStateAccess;
}

// A bank's power-on and power-off timers, one entry per port.
struct BankTimers
{
    ScheduleBank on;
    ScheduleBank off;
};

// A bank as the panels draw it: its record and its committed timers.
struct BankView
{
    BankRecord record;
    BankTimers committed;
};

class SharedState
{
public:
    // Copies for any thread. A bank number outside the table gives the reset record.
    BankRecord bank(int bankNumber) const;
    BankView bankView(int bankNumber) const;
    int bankCount() const;
    bool linkUp() const;
    bool loaderMode() const;
    std::string lastLine() const;

    // The receiver's store of one classified reply (worker thread).
    ReplyEffects applyReply(const Reply &reply, std::string_view line, const HostClock &clock);

    // The probe: a loader's Identify answer sets the loader mode; returns the mode now.
    bool noteIdentifyAnswer(bool loader);
    void storeVersionText(int bankNumber, std::string_view text);

    // The link's life, in the UI thread.
    bool armNewLink(); // the clock warnings armed; returns whether a loader answered the probe
    void rearmAnnouncement(); // the announcement goes out again at the sixth poll
    bool claimAnnouncement(); // true once per link: the announcement is to be sent now
    bool countPoll(); // counts a Status poll; true when the announcement is due
    void setLinkDown();
    void resetLink(); // back to not connected, as resetLinkValues
    // The reported bank count while the window is not built for it.
    std::optional<int> unshownBankCount() const;
    // The window is built for `count` banks now: the banks beyond it are forgotten. Returns the
    // count it was built for.
    int showBankCount(int count);
    // Drops the answered head of the Transfer queue; returns the new head, which is to go out.
    std::optional<std::string> advanceTransferQueue();

    // The record of a bank whose lamps are drawn. Drawing marks the committed timers of a port
    // that the switch flags (F) invalid and clears the marks of the others.
    std::optional<BankRecord> bankForLamps(int bankNumber);

    // The Set Timer dialog's editor tables, by 0-based bank index.
    BankTimers editorTimers(int bankIndex) const;
    // Edits neither applied nor confirmed are dropped: the known banks' editor timers become
    // their committed ones. Returns the bank's.
    BankTimers revertEditor(int bankIndex);
    void storeEditorPages(int bankIndex, const PageSettings &on, const PageSettings &off);
    void markEditorForClearing();
    ScheduleLoadResult loadEditorTables(std::string_view scheduleText);
    std::string editorFileText() const;
    // Commits the editor tables and queues the frames of every change; returns the queue's head,
    // which is to go out now.
    std::optional<std::string> returnToTransfer(const LocalTime &now);

    // Maintenance. The first clock set of a link warns when the switch holds timers; a clock
    // failure warns once per link. Each mark is taken (cleared) by asking.
    bool takeFirstClockSetWarning();
    bool takeClockFailureWarning();
    // The loader completed an upload: no loader any more, the known banks' timers and the frames
    // queued for the old firmware are gone, and the banks' versions read pendingVersion until
    // the new firmware tells its own.
    void newFirmwareLoaded(std::string_view pendingVersion);

private:
    friend struct testing::SharedStateAccess;

    mutable std::mutex m_mutex;
    StateValues m_values;
};

} // namespace relaybox
