#pragma once

#include <deque>
#include <string>
#include <string_view>

#include "link/bankinfo.h"
#include "schedule/scheduleentry.h"

// What the link knows, as plain values: the bank records, the link variables, the Transfer queue
// and the schedule tables. SharedState (link/linkstate.h) keeps the program's one set behind its
// lock; the functions here and the reply effects work on values whose lock the caller holds.

namespace relaybox {

struct LinkVariables
{
    int bankCount = 0; // reported by the switch; 0 = none known yet
    int shownBankCount = 0; // what the window, version menu and editor tabs are built for
    int replyBank = 1; // bank of the last status, current or version reply
    bool linkUp = false; // the Identify answer arrived and polling runs
    bool rawReceive = false; // the firmware loader talks: only backspace or LF end a line
    bool loaderMode = false; // the switch answered as its firmware loader
    int pollCount = 0;
    bool linkAnnounced = false;
    bool rtcWarningArmed = false;
    bool firstClockSet = false;
    std::string lastLine;
};

// Frames waiting to go out one at a time; the head stays until the switch answers it.
using TransferQueue = std::deque<std::string>;

struct StateValues
{
    BankTable banks = makeBankTable();
    LinkVariables link;
    TransferQueue transferQueue;
    ScheduleTables schedules;
};

// Returns the values to not connected: flags cleared, the known banks and their timers reset,
// the Transfer queue emptied.
void resetLinkValues(StateValues &values);

// Store operations of the receiver, for a bank number the caller has checked. Letters words are
// cut to eight ports, version texts to what a record holds.
void storeSwitchLetters(StateValues &values, int bank, std::string_view letters);
void storeTimerLetters(StateValues &values, int bank, std::string_view letters);
void storeCurrent(StateValues &values, int bank, float current);
void storeVersionText(StateValues &values, int bank, std::string_view text);

} // namespace relaybox
