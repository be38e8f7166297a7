#pragma once

#include <array>
#include <string_view>

#include "link/reply.h"
#include "link/statevalues.h"
#include "platform/hostclock.h"

// What a classified reply does to the shared state, and which UI updates it asks for.

namespace relaybox {

// What the UI thread has to do for a reply; the numbers are the switch protocol's update codes.
enum class UpdateKind {
    BankCount = 0,
    Current = 1,
    PortLetters = 2,
    FullStatus = 3,
    LoaderPrompt = 4,
    Completion = 5,
    EditorRefresh = 6,
    Spinner = 7,
    ClearAdvance = 8,
    SetAdvance = 9,
    LoaderFailure = 10,
    LoaderText = 11,
    ClockError = 12,
    Version = 13,
};

struct UiUpdate
{
    UpdateKind kind = UpdateKind::BankCount;
    // The bank number for panel and version updates; the 0-based bank index for EditorRefresh.
    int bank = 0;

    friend bool operator==(const UiUpdate &, const UiUpdate &) = default;
};

struct ReplyEffects
{
    bool identified = false; // Identify answer: the link is up, polling and flashing start
    bool rawReceive = false; // the receiver's line mode for the bytes that follow
    std::array<UiUpdate, 2> updates {};
    int updateCount = 0;

    void add(UiUpdate update) { updates[updateCount++] = update; }
};

// Applies the reply to the values, whose lock the caller holds (SharedState::applyReply).
// Replies naming banks outside the tables are dropped.
ReplyEffects applyReply(StateValues &values, const Reply &reply, std::string_view line,
                        const HostClock &clock);

} // namespace relaybox
