#include "statevalues.h"

#include <algorithm>

namespace relaybox {

void resetLinkValues(StateValues &values)
{
    LinkVariables &link = values.link;
    link.rawReceive = false;
    link.loaderMode = false;
    link.pollCount = 0;
    link.linkAnnounced = false;
    link.rtcWarningArmed = false;
    link.firstClockSet = false;
    link.shownBankCount = 0;

    for (int bank = 1; bank <= std::min(link.bankCount, kMaxBanks); ++bank) {
        values.schedules.clearBank(bank - 1);
        values.banks[bank].reset();
    }
    link.bankCount = 0;
    values.transferQueue.clear();
}

namespace {

// A letters word is exactly eight ports long; anything beyond that is not ours.
std::string firstLetters(std::string_view letters)
{
    return std::string(letters.substr(0, kLettersPerBank));
}

} // namespace

void storeSwitchLetters(StateValues &values, int bank, std::string_view letters)
{
    values.banks[bank].switchLetters = firstLetters(letters);
}

void storeTimerLetters(StateValues &values, int bank, std::string_view letters)
{
    values.banks[bank].timerLetters = firstLetters(letters);
}

void storeCurrent(StateValues &values, int bank, float current)
{
    values.banks[bank].current = current;
}

void storeVersionText(StateValues &values, int bank, std::string_view text)
{
    values.banks[bank].versionText = std::string(text.substr(0, kVersionTextMax));
}

} // namespace relaybox
