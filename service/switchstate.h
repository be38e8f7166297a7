#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "link/bankinfo.h"

// What the service knows of one switch: whether its line is up, and each bank's port letters,
// current and firmware version as the last complete status answer gave them.

namespace relaybox::service {

using Clock = std::chrono::steady_clock;

struct BankStatus
{
    std::string switchLetters = BankRecord::kResetSwitchLetters; // O on, C off
    std::string timerLetters = BankRecord::kResetTimerLetters; // F flagged, G normal
    float current = 0.0f; // amperes
    std::optional<std::string> version; // empty until the bank answered the Version query

    bool isOn(int port) const { return letterIs(switchLetters, port, 'O'); }
    bool timerFlagged(int port) const { return letterIs(timerLetters, port, 'F'); }

private:
    static bool letterIs(const std::string &letters, int port, char letter)
    {
        return port >= 1 && port <= int(letters.size()) && letters[port - 1] == letter;
    }
};

struct SwitchState
{
    bool linkUp = false;
    // Why no frame can go out now, for the refusal; the line is simply down when empty.
    std::string unavailable;
    int bankCount = 0; // 0 until the switch said
    std::array<BankStatus, kMaxBanks + 1> banks {}; // by bank number; [0] unused
    // Complete status answers since the start: a request's frame is confirmed by a later one.
    std::uint64_t rounds = 0;
    std::optional<Clock::time_point> lastStatus;

    // Seconds since the last complete status; empty before the first.
    std::optional<double> age(Clock::time_point now) const
    {
        if (!lastStatus)
            return std::nullopt;
        return std::chrono::duration<double>(now - *lastStatus).count();
    }
};

} // namespace relaybox::service
