#pragma once

#include <QImage>
#include <QSize>

namespace relaybox {

// Paints the port push button and the bank menu button, each up and down, in their dark wells.
class ButtonPainter
{
public:
    static constexpr QSize kPortButtonSize { 29, 28 };
    static constexpr QSize kMenuButtonSize { 39, 15 };

    static QImage portButton(bool pressed, qreal devicePixelRatio = 1.0);
    static QImage menuButton(bool sunken, qreal devicePixelRatio = 1.0);

    // A ring around the port button's cap, drawn over either picture: soft amber while a
    // command is on its way, red when the switch did not follow it. Transparent elsewhere.
    static QImage portButtonRing(bool unconfirmed, qreal devicePixelRatio = 1.0);
};

} // namespace relaybox
