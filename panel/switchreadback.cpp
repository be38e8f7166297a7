#include "switchreadback.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace relaybox {
namespace {

struct SwitchCommand
{
    bool on = false;
    int bank = 0; // 0: all banks
    int port = 0; // 0: the whole bank
};

// "/O031\", "/F030\", "/O000\": the switching frames, and nothing else.
std::optional<SwitchCommand> parseSwitchFrame(std::string_view frame)
{
    if (frame.size() != 6 || frame[0] != '/' || frame[5] != '\\'
        || (frame[1] != 'O' && frame[1] != 'F'))
        return std::nullopt;
    SwitchCommand command;
    command.on = frame[1] == 'O';
    const char *digits = frame.data() + 2;
    if (std::from_chars(digits, digits + 2, command.bank).ptr != digits + 2
        || std::from_chars(digits + 2, digits + 3, command.port).ptr != digits + 3)
        return std::nullopt;
    if (command.bank > kMaxBanks || command.port > kLettersPerBank
        || (command.bank == 0 && command.port != 0))
        return std::nullopt;
    return command;
}

} // namespace

SwitchReadback::Port *SwitchReadback::find(int bank, int port)
{
    if (!isBankNumber(bank) || port < 1 || port > kLettersPerBank)
        return nullptr;
    return &m_ports[bank - 1][port - 1];
}

std::vector<std::pair<int, int>> SwitchReadback::frameWritten(std::string_view frame)
{
    std::vector<std::pair<int, int>> marked;
    const auto command = parseSwitchFrame(frame);
    if (!command)
        return marked;
    const int firstBank = command->bank == 0 ? 1 : command->bank;
    const int lastBank = command->bank == 0 ? m_bankCount : command->bank;
    for (int bank = firstBank; bank <= std::min(lastBank, m_bankCount); ++bank) {
        for (int port = 1; port <= kLettersPerBank; ++port) {
            if (command->port != 0 && port != command->port)
                continue;
            Port &state = m_ports[bank - 1][port - 1];
            state = Port { SwitchMark::Pending, command->on, false, 0 };
            marked.emplace_back(bank, port);
        }
    }
    return marked;
}

void SwitchReadback::statusArrived(int bank, std::string_view switchLetters)
{
    if (!isBankNumber(bank) || bank > m_bankCount)
        return;
    for (int port = 1; port <= kLettersPerBank; ++port) {
        Port &state = m_ports[bank - 1][port - 1];
        const bool on = std::size_t(port) <= switchLetters.size() && switchLetters[port - 1] == 'O';
        switch (state.mark) {
        case SwitchMark::None:
            break;
        case SwitchMark::Pending:
            if (on == state.commandedOn)
                state = Port {};
            else if (++state.statusesSeen >= kStatusesBeforeUnconfirmed)
                state = Port { SwitchMark::Unconfirmed, state.commandedOn, on, 0 };
            break;
        case SwitchMark::Unconfirmed:
            if (on != state.reportedOn)
                state = Port {};
            break;
        }
    }
}

void SwitchReadback::acknowledge(int bank, int port)
{
    Port *state = find(bank, port);
    if (state && state->mark == SwitchMark::Unconfirmed)
        *state = Port {};
}

void SwitchReadback::setBankCount(int bankCount)
{
    m_bankCount = std::clamp(bankCount, 0, kMaxBanks);
    for (int bank = m_bankCount + 1; bank <= kMaxBanks; ++bank)
        m_ports[bank - 1].fill(Port {});
}

void SwitchReadback::clear()
{
    for (auto &bank : m_ports)
        bank.fill(Port {});
    m_bankCount = 0;
}

SwitchMark SwitchReadback::mark(int bank, int port) const
{
    if (!isBankNumber(bank) || port < 1 || port > kLettersPerBank)
        return SwitchMark::None;
    return m_ports[bank - 1][port - 1].mark;
}

} // namespace relaybox
