#pragma once

#include <array>
#include <cstdint>
#include <string>

// What the program last heard from the switch about one bank: its port letters, load current and
// firmware version.

namespace relaybox {

// Indexed directly by the bank number the switch sends; record 0 is never used by a bank.
inline constexpr int kBankRecordCount = 20;
// The schedule tables hold 16 banks, so that is the longest chain the program supports.
inline constexpr int kMaxBanks = 16;
inline constexpr int kLettersPerBank = 8;
inline constexpr std::size_t kVersionTextMax = 19;

struct BankRecord
{
    static constexpr const char *kResetTimerLetters = "GGGGGGGG";
    static constexpr const char *kResetSwitchLetters = "CCCCCCCC";

    std::uint32_t bankNumber = 0;
    std::string timerLetters = kResetTimerLetters; // F flags the port's timer, G is normal
    std::string switchLetters = kResetSwitchLetters; // O on, C off
    float current = 0.0f; // amperes
    std::string versionText;

    // Back to the values before the first report; the bank number stays.
    void reset();

    bool isOn(int portIndex) const { return letterAt(switchLetters, portIndex) == 'O'; }
    bool isFlagged(int portIndex) const { return letterAt(timerLetters, portIndex) == 'F'; }

    friend bool operator==(const BankRecord &, const BankRecord &) = default;

private:
    static char letterAt(const std::string &letters, int index)
    {
        return index >= 0 && index < static_cast<int>(letters.size()) ? letters[index] : '\0';
    }
};

using BankTable = std::array<BankRecord, kBankRecordCount>;

// Every record holds its reset values and its own index as bank number.
BankTable makeBankTable();

inline bool isBankNumber(int bank)
{
    return bank >= 1 && bank <= kMaxBanks;
}

} // namespace relaybox
