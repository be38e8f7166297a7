#include "linkstate.h"

#include <algorithm>

namespace relaybox {

BankRecord SharedState::bank(int bankNumber) const
{
    std::lock_guard lock(mutex);
    if (bankNumber < 0 || bankNumber >= kBankRecordCount)
        return BankRecord {};
    return banks[bankNumber];
}

int SharedState::bankCount() const
{
    std::lock_guard lock(mutex);
    return link.bankCount;
}

void resetLinkState(SharedState &state)
{
    std::lock_guard lock(state.mutex);
    LinkVariables &link = state.link;
    link.rawReceive = false;
    link.loaderMode = false;
    link.pollCount = 0;
    link.linkAnnounced = false;
    link.rtcWarningArmed = false;
    link.firstClockSet = false;
    link.shownBankCount = 0;

    for (int bank = 1; bank <= std::min(link.bankCount, kMaxBanks); ++bank) {
        state.schedules.clearBank(bank - 1);
        state.banks[bank].reset();
    }
    link.bankCount = 0;
    state.transferQueue.clear();
}

namespace {

// A letters word is exactly eight ports long; anything beyond that is not ours.
std::string firstLetters(std::string_view letters)
{
    return std::string(letters.substr(0, kLettersPerBank));
}

} // namespace

void storeSwitchLetters(SharedState &state, int bank, std::string_view letters)
{
    state.banks[bank].switchLetters = firstLetters(letters);
}

void storeTimerLetters(SharedState &state, int bank, std::string_view letters)
{
    state.banks[bank].timerLetters = firstLetters(letters);
}

void storeCurrent(SharedState &state, int bank, float current)
{
    state.banks[bank].current = current;
}

void storeVersionText(SharedState &state, int bank, std::string_view text)
{
    state.banks[bank].versionText = std::string(text.substr(0, kVersionTextMax));
}

} // namespace relaybox
