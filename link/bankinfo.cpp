#include "bankinfo.h"

namespace relaybox {

void BankRecord::reset()
{
    timerLetters = kResetTimerLetters;
    switchLetters = kResetSwitchLetters;
    current = 0.0f;
    versionText.clear();
}

BankTable makeBankTable()
{
    BankTable table;
    for (int index = 0; index < kBankRecordCount; ++index)
        table[index].bankNumber = static_cast<std::uint32_t>(index);
    return table;
}

} // namespace relaybox
