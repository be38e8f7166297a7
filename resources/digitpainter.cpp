#include "digitpainter.h"

#include "glow.h"

#include <QPainter>

#include <cmath>
#include <utility>

namespace relaybox {

DigitStyle DigitStyle::current()
{
    DigitStyle style;
    style.imageSize = { 27, 37 };
    style.body = QRectF(3.2, 3, 16.4, 31);
    style.hasPoint = true;
    style.background = QColor(0x16, 0x05, 0x05);
    style.unlit = QColor(0x3a, 0x0e, 0x0b);
    style.lit = QColor(0xff, 0x2e, 0x18);
    style.hot = QColor(0xff, 0xb8, 0xa4);
    style.glow = QColor(0xff, 0x30, 0x14);
    return style;
}

DigitStyle DigitStyle::bank()
{
    DigitStyle style;
    style.imageSize = { 29, 37 };
    style.body = QRectF(4.6, 3, 16.8, 31);
    style.background = QColor(0x04, 0x12, 0x08);
    style.unlit = QColor(0x0d, 0x33, 0x17);
    style.lit = QColor(0x2a, 0xf2, 0x4c);
    style.hot = QColor(0xcc, 0xff, 0xd4);
    style.glow = QColor(0x20, 0xff, 0x50);
    return style;
}

DigitPainter::DigitPainter(DigitStyle style)
    : m_style(std::move(style))
{ }

SevenSegmentLayout DigitPainter::layout() const
{
    return { m_style.body, m_style.slant, m_style.thickness, m_style.gap };
}

QImage DigitPainter::paint(int digit, bool point, qreal devicePixelRatio) const
{
    const QSize deviceSize = m_style.imageSize * devicePixelRatio;
    QImage image(deviceSize, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(m_style.background);

    const SevenSegmentLayout shape = layout();
    const SevenSegmentLayout core = shape.thinned(m_style.thickness * 0.34);
    const bool hasPoint = m_style.hasPoint;

    QImage litLayer(deviceSize, QImage::Format_ARGB32_Premultiplied);
    litLayer.setDevicePixelRatio(devicePixelRatio);
    litLayer.fill(Qt::transparent);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QPainter lit(&litLayer);
    lit.setRenderHint(QPainter::Antialiasing);
    lit.setPen(Qt::NoPen);
    lit.setBrush(m_style.lit);

    auto segmentOn = [&](Segment s) {
        return s == Segment::Point ? point : isLit(digit, s);
    };
    for (Segment s : { Segment::A, Segment::B, Segment::C, Segment::D, Segment::E, Segment::F,
                       Segment::G, Segment::Point }) {
        if (s == Segment::Point && !hasPoint)
            continue;
        if (segmentOn(s)) {
            lit.drawPolygon(shape.outline(s));
        } else {
            painter.setBrush(m_style.unlit);
            painter.drawPolygon(shape.outline(s));
        }
    }
    lit.end();

    QImage halo = blurred(litLayer, static_cast<int>(std::lround(1.6 * devicePixelRatio)));
    halo.setDevicePixelRatio(devicePixelRatio);
    {
        QPainter tint(&halo);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tint.fillRect(QRectF(QPointF(0, 0), QSizeF(m_style.imageSize)), m_style.glow);
    }
    painter.setOpacity(0.85);
    painter.drawImage(QPointF(0, 0), halo);
    painter.setOpacity(1.0);
    painter.drawImage(QPointF(0, 0), litLayer);

    painter.setBrush(m_style.hot);
    painter.setOpacity(0.55);
    for (Segment s : kDigitSegments) {
        if (segmentOn(s))
            painter.drawPolygon(core.outline(s));
    }
    if (hasPoint && point) {
        const QPointF c = shape.centre(Segment::Point);
        const qreal r = shape.pointRadius() * 0.45;
        painter.drawEllipse(c, r, r);
    }
    return image;
}

} // namespace relaybox
