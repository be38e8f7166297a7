#pragma once

#include <deque>
#include <mutex>
#include <string>

#include "link/bankinfo.h"
#include "schedule/scheduleentry.h"

// The state shared by the worker thread, which writes what the switch reports, and the UI thread,
// which draws it and sends commands.

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

struct SharedState
{
    // Guards every member below. Hold it only to copy in or out: never across a port write,
    // a message box or a call into the other thread.
    mutable std::mutex mutex;

    BankTable banks = makeBankTable();
    LinkVariables link;
    TransferQueue transferQueue;
    ScheduleTables schedules;

    // Copies of single values for the UI thread.
    BankRecord bank(int bankNumber) const;
    int bankCount() const;
};

// Returns the state to not connected: flags cleared, the known banks and their timers reset,
// the Transfer queue emptied. The window, menu and editor steps belong to the caller.
void resetLinkState(SharedState &state);

// Store operations of the receiver; the caller holds the lock and has checked the bank number.
void storeSwitchLetters(SharedState &state, int bank, std::string_view letters);
void storeTimerLetters(SharedState &state, int bank, std::string_view letters);
void storeCurrent(SharedState &state, int bank, float current);
void storeVersionText(SharedState &state, int bank, std::string_view text);

} // namespace relaybox
