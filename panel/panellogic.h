#pragma once

#include <array>

// The arithmetic of the bank panels: which controls a bank count shows, what the seven-segment
// read-outs and lamps display, and which port a button's Tag names.

namespace relaybox {

inline constexpr int kVisiblePanels = 3;

struct BankLayout
{
    std::array<bool, kVisiblePanels> panels {};
    std::array<bool, kVisiblePanels - 1> separators {};
    int windowHeight = 190; // outer height, title bar and menu included
    bool topAt100 = false; // the three-panel window moves its top edge to 100
    bool scrollBarVisible = false;
    int scrollMaximum = 1; // the scroll position is the bank in the first panel

    friend bool operator==(const BankLayout &, const BankLayout &) = default;
};

// A count of 0 or of more than three banks takes the three-panel layout.
BankLayout layoutForBankCount(int bankCount);

// Indexes into the red digit list: 0 to 9 plain, 10 to 19 with the decimal point.
struct CurrentDigits
{
    int first = 10;
    int second = 0;

    friend bool operator==(const CurrentDigits &, const CurrentDigits &) = default;
};

// 12.7 A reads 1 2, 3.4 A reads 3. 4. The read-out has two digits: currents of 100 A or more
// read 9 9 and negative currents read 0. 0 instead of indexing past the digit pictures.
CurrentDigits currentDigits(float amperes);

// Indexes into the green digit list: bank 7 reads 0 7, bank 12 reads 1 2.
struct BankDigits
{
    int tens = 0;
    int units = 0;

    friend bool operator==(const BankDigits &, const BankDigits &) = default;
};
BankDigits bankDigits(int bank);

// 0 both dark, 1 alarm lit, 2 on lit, 3 both lit.
inline int lampIndex(bool on, bool alarm)
{
    return 2 * int(on) + int(alarm);
}

// A port button's Tag is 10 x panel + port.
struct PanelPort
{
    int panel = 1;
    int port = 1;

    friend bool operator==(const PanelPort &, const PanelPort &) = default;
};
PanelPort panelPortOfTag(int tag);

// The bank a panel (1 to 3) shows at a scroll position.
inline int bankOfPanel(int scrollPosition, int panel)
{
    return scrollPosition + panel - 1;
}

} // namespace relaybox
