#pragma once

#include "sevensegment.h"

#include <QColor>
#include <QImage>
#include <QSize>

namespace relaybox {

// Colours and proportions of one kind of LED read-out digit.
struct DigitStyle
{
    QSize imageSize;
    QRectF body; // the upright digit inside the image, before slanting
    qreal slant = 0.1;
    qreal thickness = 3.4;
    qreal gap = 0.55;
    bool hasPoint = false;
    QColor background;
    QColor unlit;
    QColor lit;
    QColor hot; // the brighter core of a lit segment
    QColor glow;

    static DigitStyle current(); // red, 27 x 37, room for a decimal point
    static DigitStyle bank(); // green, 29 x 37
};

// Paints seven-segment digits: faint unlit segments, lit ones bright with a soft halo.
class DigitPainter
{
public:
    explicit DigitPainter(DigitStyle style);

    SevenSegmentLayout layout() const;
    const DigitStyle &style() const { return m_style; }
    // digit 0..9; anything else leaves every segment dark.
    QImage paint(int digit, bool point, qreal devicePixelRatio = 1.0) const;

private:
    DigitStyle m_style;
};

} // namespace relaybox
