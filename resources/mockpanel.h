#pragma once

#include <QImage>
#include <QString>

#include <array>

namespace relaybox {

class PanelArt;

// One bank panel composed from the pictures exactly as the window places its controls.
struct MockPanel
{
    int bank = 7;
    std::array<int, 2> currentImages { 13, 4 }; // ImageList1 indexes: "3." then "4"
    std::array<int, 8> lamps {}; // lamp index per port
    std::array<bool, 8> pressed {};
    std::array<QString, 8> countdowns {};
    bool menuSunken = false;

    // outlineControls draws each control's rectangle on top, to check the alignment.
    QImage render(const PanelArt &art, bool outlineControls = false) const;
};

} // namespace relaybox
