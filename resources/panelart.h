#pragma once

#include "faceplategeometry.h"

#include <QIcon>
#include <QPixmap>
#include <QSize>

#include <vector>

namespace relaybox {

// The bank panel's pictures, rendered once on first use and handed out by image-list name.
// An index outside a list gives a null QPixmap (the control shows nothing) rather than a
// neighbouring picture that would misreport the state. Pixmaps need a QGuiApplication, so the
// first call must come after it exists; constructing a PanelArt renders nothing.
class PanelArt
{
public:
    static constexpr QSize kFaceplateSize = faceplate::kPanelSize;
    static constexpr QSize kSeparatorSize = faceplate::kSeparatorSize;
    static constexpr QSize kLampSize { 21, 28 }; // imlLed
    static constexpr QSize kLabelledLampSize { 50, 26 }; // imlRLed
    static constexpr QSize kCurrentDigitSize { 27, 37 }; // ImageList1
    static constexpr QSize kBankDigitSize { 29, 37 }; // imlBankNo
    static constexpr QSize kPortButtonSize { 29, 28 }; // imlButton
    static constexpr QSize kMenuButtonSize { 39, 15 }; // imLogo
    static constexpr int kLampCount = 4;
    static constexpr int kCurrentDigitCount = 20;
    static constexpr int kBankDigitCount = 10;
    static constexpr int kButtonCount = 2;
    static constexpr int kIconSizes[] = { 16, 32, 48, 64, 128, 256 };

    // devicePixelRatio 2 or 3 renders sharper pictures of the same logical size.
    explicit PanelArt(qreal devicePixelRatio = 1.0);

    QPixmap faceplate() const;
    QPixmap separator() const;
    QPixmap lamp(int index) const; // 2 x on + alarm
    QPixmap labelledLamp(int index) const; // 2 x on + alarm
    QPixmap currentDigit(int index) const; // d, or 10 + d for d with its decimal point
    QPixmap bankDigit(int index) const;
    QPixmap portButton(int index) const; // 0 pressed, 1 released
    QPixmap menuButton(int index) const; // 0 raised, 1 sunken
    QPixmap portButtonRing(int index) const; // 0 command pending (amber), 1 not followed (red)
    QIcon programIcon() const;
    // The program icon at any size, straight from its SVG (for the installed PNG).
    static QImage programIconImage(int size);

    qreal devicePixelRatio() const { return m_ratio; }

private:
    qreal m_ratio;
    mutable QPixmap m_faceplate;
    mutable QPixmap m_separator;
    mutable std::vector<QPixmap> m_lamps;
    mutable std::vector<QPixmap> m_labelledLamps;
    mutable std::vector<QPixmap> m_currentDigits;
    mutable std::vector<QPixmap> m_bankDigits;
    mutable std::vector<QPixmap> m_portButtons;
    mutable std::vector<QPixmap> m_menuButtons;
    mutable std::vector<QPixmap> m_portButtonRings;
    mutable QIcon m_icon;
};

} // namespace relaybox
