#pragma once

#include <optional>
#include <string>
#include <string_view>

// A reply line from the switch, classified, with the values it carries.

namespace relaybox {

enum class ReplyType {
    Ignored,
    ScheduleEntry, // "T0110 002 30 15": a timer the switch holds
    Spinner, // the loader asks for the next firmware byte
    BankCount, // "M3"
    IdentifyAnswer, // "xyz"
    ScheduleClear, // "Q0231"
    ClockError, // "err"
    ScheduleSet, // "E0231"
    Success, // "OK"
    LoaderFailure, // "Fail" or "abc"
    PortLetters, // "S01 CCOOCCCC"
    Current, // "C03 12.3"
    Completion, // "xx OK", or four words starting "Version"
    Version, // "V01 1203"
    LoaderText, // loader banner lines, shown in the upgrade log
    LoaderPrompt, // "Please ...": send the image
    FullStatus, // "S02 GGGGGGGG OOOOCCCC 3.5"
};

// A timer the switch holds, as it reports it: the time left until it fires.
struct EntryReport
{
    char letter = 'T'; // T once, D daily, W weekly
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
};

struct Reply
{
    ReplyType type = ReplyType::Ignored;

    // Bank count, or the bank of a status, current or version reply. Empty when the digits do
    // not parse: the reply then goes to the bank of the previous one.
    std::optional<int> number;

    std::optional<std::string> switchLetters;
    std::optional<std::string> timerLetters;
    std::optional<float> current; // empty when not a finite number
    std::string versionText;

    // Schedule clear and set replies: the word as received, matched against the queue head.
    std::string word;

    // Schedule clear, set and entry replies.
    int bank = 0;
    int port = 0;
    int selector = 0;
    EntryReport entry;
};

// Classifies one complete line. Pure: the effects on the shared state are applyReply's.
Reply parseReply(std::string_view line);

} // namespace relaybox
