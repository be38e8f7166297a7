#include "panellogic.h"

#include <algorithm>
#include <cmath>

namespace relaybox {

BankLayout layoutForBankCount(int bankCount)
{
    BankLayout layout;
    switch (bankCount) {
    case 1:
        layout.panels = { true, false, false };
        layout.windowHeight = 190;
        break;
    case 2:
        layout.panels = { true, true, false };
        layout.separators = { true, false };
        layout.windowHeight = 300;
        break;
    default:
        layout.panels = { true, true, true };
        layout.separators = { true, true };
        layout.windowHeight = 410;
        layout.topAt100 = true;
        break;
    }
    if (bankCount > kVisiblePanels) {
        layout.scrollBarVisible = true;
        layout.scrollMaximum = bankCount - 2;
    }
    return layout;
}

CurrentDigits currentDigits(float amperes)
{
    // The switch never reports a current the two digits cannot show; clamp what does not fit.
    float x = std::isfinite(amperes) ? amperes : 0.0f;
    if (x >= 100.0f)
        x = 99.9f;
    if (x < 0.0f)
        x = 0.0f;
    int offset = 0;
    if (x < 10.0f) {
        offset = 10;
        x = x * 10.0f;
    }
    const int first = static_cast<int>(x * 0.1);
    const int second = static_cast<int>(x - 10.0f * float(first));
    return { offset + first, std::clamp(second, 0, 9) };
}

BankDigits bankDigits(int bank)
{
    const int tens = bank > 9 ? bank / 10 : 0;
    return { std::clamp(tens, 0, 9), std::clamp(bank - 10 * tens, 0, 9) };
}

PanelPort panelPortOfTag(int tag)
{
    const int panel = tag > 30 ? 3 : tag > 20 ? 2 : 1;
    return { panel, tag - 10 * panel };
}

} // namespace relaybox
