#include "sevensegment.h"

#include <QLineF>

namespace relaybox {

namespace {

struct Stroke
{
    QPointF from;
    QPointF to;
};

// A segment is a hexagon along its centre line, pointed at both ends so neighbours meet in a mitre.
QPolygonF hexagon(Stroke stroke, qreal halfThickness, qreal gap)
{
    const QLineF line(stroke.from, stroke.to);
    const QPointF u = (stroke.to - stroke.from) / line.length();
    const QPointF n(-u.y(), u.x());
    const QPointF start = stroke.from + u * gap;
    const QPointF end = stroke.to - u * gap;
    const qreal h = halfThickness;
    return QPolygonF({ start, start + (u + n) * h, end + (n - u) * h, end, end - (u + n) * h,
                       start + (u - n) * h });
}

} // namespace

SevenSegmentLayout::SevenSegmentLayout(QRectF body, qreal slant, qreal thickness, qreal gap)
    : m_body(body)
    , m_slant(slant)
    , m_thickness(thickness)
    , m_gap(gap)
{ }

SevenSegmentLayout SevenSegmentLayout::thinned(qreal thickness) const
{
    const qreal inset = (m_thickness - thickness) / 2;
    return { m_body.adjusted(inset, inset, -inset, -inset), m_slant, thickness, m_gap + inset };
}

QPointF SevenSegmentLayout::slanted(QPointF upright) const
{
    return { upright.x() + (m_body.bottom() - upright.y()) * m_slant, upright.y() };
}

QPolygonF SevenSegmentLayout::outline(Segment segment) const
{
    const qreal h = m_thickness / 2;
    const qreal left = m_body.left() + h;
    const qreal right = m_body.right() - h;
    const qreal top = m_body.top() + h;
    const qreal middle = m_body.center().y();
    const qreal bottom = m_body.bottom() - h;

    QPolygonF upright;
    switch (segment) {
    case Segment::A:
        upright = hexagon({ { left, top }, { right, top } }, h, m_gap);
        break;
    case Segment::B:
        upright = hexagon({ { right, top }, { right, middle } }, h, m_gap);
        break;
    case Segment::C:
        upright = hexagon({ { right, middle }, { right, bottom } }, h, m_gap);
        break;
    case Segment::D:
        upright = hexagon({ { left, bottom }, { right, bottom } }, h, m_gap);
        break;
    case Segment::E:
        upright = hexagon({ { left, middle }, { left, bottom } }, h, m_gap);
        break;
    case Segment::F:
        upright = hexagon({ { left, top }, { left, middle } }, h, m_gap);
        break;
    case Segment::G:
        upright = hexagon({ { left, middle }, { right, middle } }, h, m_gap);
        break;
    case Segment::Point: {
        const QPointF c = centre(Segment::Point);
        const qreal r = pointRadius();
        QPolygonF circle;
        for (int i = 0; i < 16; ++i) {
            const QLineF ray = QLineF::fromPolar(r, i * 360.0 / 16).translated(c);
            circle << ray.p2();
        }
        return circle;
    }
    }
    for (QPointF &p : upright)
        p = slanted(p);
    return upright;
}

QPointF SevenSegmentLayout::centre(Segment segment) const
{
    const qreal h = m_thickness / 2;
    const qreal left = m_body.left() + h;
    const qreal right = m_body.right() - h;
    const qreal top = m_body.top() + h;
    const qreal middle = m_body.center().y();
    const qreal bottom = m_body.bottom() - h;
    const qreal centreX = (left + right) / 2;

    QPointF upright;
    switch (segment) {
    case Segment::A:
        upright = { centreX, top };
        break;
    case Segment::B:
        upright = { right, (top + middle) / 2 };
        break;
    case Segment::C:
        upright = { right, (middle + bottom) / 2 };
        break;
    case Segment::D:
        upright = { centreX, bottom };
        break;
    case Segment::E:
        upright = { left, (middle + bottom) / 2 };
        break;
    case Segment::F:
        upright = { left, (top + middle) / 2 };
        break;
    case Segment::G:
        upright = { centreX, middle };
        break;
    case Segment::Point:
        upright = { m_body.right() + m_thickness * 0.95, bottom + h * 0.1 };
        break;
    }
    return slanted(upright);
}

} // namespace relaybox
