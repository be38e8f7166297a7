#pragma once

#include <QPointF>
#include <QPolygonF>
#include <QRectF>

#include <array>
#include <cstdint>

namespace relaybox {

// The segments of a seven-segment digit, in the usual a..g order, plus the decimal point.
enum class Segment { A, B, C, D, E, F, G, Point };

inline constexpr std::array<Segment, 7> kDigitSegments { Segment::A, Segment::B, Segment::C,
                                                         Segment::D, Segment::E, Segment::F,
                                                         Segment::G };

// Which segments each digit 0..9 lights: bit 0 = a (top) .. bit 6 = g (middle).
inline constexpr std::array<std::uint8_t, 10> kDigitPattern { 0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                                              0x6D, 0x7D, 0x07, 0x7F, 0x6F };

constexpr bool isLit(int digit, Segment segment)
{
    if (digit < 0 || digit > 9 || segment == Segment::Point)
        return false;
    return (kDigitPattern[digit] >> static_cast<int>(segment)) & 1;
}

// The shape of one slanted seven-segment digit inside a box: segment outlines and centres.
class SevenSegmentLayout
{
public:
    // body: the box of the upright digit before slanting; slant: rightward shift per unit of
    // height; thickness and gap in the same units as body.
    SevenSegmentLayout(QRectF body, qreal slant, qreal thickness, qreal gap);

    QPolygonF outline(Segment segment) const;
    QPointF centre(Segment segment) const;
    qreal pointRadius() const { return m_thickness * 0.62; }
    // The same centre lines with thinner segments: the hot core of a lit segment.
    SevenSegmentLayout thinned(qreal thickness) const;

private:
    QPointF slanted(QPointF upright) const;

    QRectF m_body;
    qreal m_slant;
    qreal m_thickness;
    qreal m_gap;
};

} // namespace relaybox
