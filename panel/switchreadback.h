#pragma once

#include <array>
#include <string_view>
#include <utility>
#include <vector>

#include "link/bankinfo.h"

// Whether the switch followed the operator's switching commands: a port is "pending" from the
// moment its port, bank or all-banks frame was written until a status of its bank shows the
// commanded state, and "unconfirmed" when the two statuses after the command still show the old
// one. It learns only from the frames written and the status replies; it sends nothing.

namespace relaybox {

enum class SwitchMark { None, Pending, Unconfirmed };

class SwitchReadback
{
public:
    // A frame went out whole. Switching frames mark their ports; every other frame is ignored.
    // Banks beyond the switch's count are not marked (the all-banks frame marks 1 to the count).
    // Returns the (bank, port) pairs it marked.
    std::vector<std::pair<int, int>> frameWritten(std::string_view frame);

    // A status reply carried the bank's switch letters (O on, anything else off).
    void statusArrived(int bank, std::string_view switchLetters);

    // The operator clicked the port: an unconfirmed mark is seen and goes.
    void acknowledge(int bank, int port);

    // The switch reports a new bank count: marks of banks beyond it go.
    void setBankCount(int bankCount);

    // The link ended: every mark goes.
    void clear();

    // bank 1 to 16, port 1 to 8; None outside.
    SwitchMark mark(int bank, int port) const;

private:
    struct Port
    {
        SwitchMark mark = SwitchMark::None;
        bool commandedOn = false; // pending: the state asked for
        bool reportedOn = false; // unconfirmed: the state the switch kept
        int statusesSeen = 0; // pending: statuses of the bank since the command
    };

    Port *find(int bank, int port);

    // Two statuses, so that a status already on its way when the command went out is not
    // taken for a refusal.
    static constexpr int kStatusesBeforeUnconfirmed = 2;

    std::array<std::array<Port, kLettersPerBank>, kMaxBanks> m_ports {};
    int m_bankCount = 0;
};

} // namespace relaybox
