#pragma once

#include <QPoint>

#include "resources/faceplategeometry.h"

// Where the operator finds the controls of the main window, in its X window's coordinates (the
// menu bar above the client area included).

namespace relaybox::testing {

inline constexpr int kMenuBarHeight =
    19; // measured on screenshots: Qt's menu bar with the DejaVu fonts
inline constexpr int kPanelLeft = 20;
inline constexpr int kPanelTops[3] { 25, 134, 243 };

// panel is 1 to 3 (from the top), port 1 to 8.
constexpr QPoint portButtonCenter(int panel, int port)
{
    const QRect button = faceplate::buttonRect(port);
    return { kPanelLeft + button.center().x(),
             kMenuBarHeight + kPanelTops[panel - 1] + button.center().y() };
}

// The green "on" lamp: the lower one of the port's pair (port 1's pair sits right of its labels).
constexpr QPoint onLampCenter(int panel, int port)
{
    const QRect lamp = faceplate::lampRect(port);
    const int x = port == 1 ? lamp.right() - 10 : lamp.center().x();
    return { kPanelLeft + x,
             kMenuBarHeight + kPanelTops[panel - 1] + lamp.top() + lamp.height() * 3 / 4 };
}

constexpr QPoint bankMenuButtonCenter(int panel)
{
    return { kPanelLeft + faceplate::kMenuButtonRect.center().x(),
             kMenuBarHeight + kPanelTops[panel - 1] + faceplate::kMenuButtonRect.center().y() };
}

} // namespace relaybox::testing
