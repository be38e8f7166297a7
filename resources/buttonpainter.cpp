#include "buttonpainter.h"

#include "artstyle.h"
#include "caption.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace relaybox {

namespace {

QImage wellImage(QSize size, qreal devicePixelRatio)
{
    QImage image(size * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(artstyle::kRecess);
    return image;
}

QLinearGradient vertical(const QRectF &rect, const QColor &top, const QColor &bottom)
{
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    return gradient;
}

} // namespace

QImage ButtonPainter::portButton(bool pressed, qreal devicePixelRatio)
{
    QImage image = wellImage(kPortButtonSize, devicePixelRatio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    if (!pressed) {
        // A light key cap standing out of its well: shadow below, lit top edge, dished face.
        const QRectF cap(2.5, 2, 24, 23);
        painter.setBrush(QColor(0, 0, 0, 200));
        painter.drawRoundedRect(cap.translated(0, 1.6), 3, 3);
        painter.setBrush(vertical(cap, QColor(0xf2, 0xf4, 0xf6), QColor(0x8c, 0x93, 0x9c)));
        painter.drawRoundedRect(cap, 3, 3);
        const QRectF face = cap.adjusted(2.2, 2, -2.2, -2.6);
        painter.setBrush(vertical(face, QColor(0xbc, 0xc2, 0xca), QColor(0xe6, 0xe9, 0xed)));
        painter.drawRoundedRect(face, 2, 2);
        painter.setPen(QPen(QColor(255, 255, 255, 200), 0.8));
        painter.drawLine(QPointF(cap.left() + 2.5, cap.top() + 0.6),
                         QPointF(cap.right() - 2.5, cap.top() + 0.6));
    } else {
        // The cap pushed down into the well: smaller, dark, shadowed from above.
        const QRectF cap(3.5, 4, 22, 21.5);
        painter.setBrush(vertical(cap, QColor(0x2a, 0x2e, 0x33), QColor(0x4e, 0x54, 0x5c)));
        painter.drawRoundedRect(cap, 3, 3);
        const QRectF face = cap.adjusted(2, 2.2, -2, -2);
        painter.setBrush(vertical(face, QColor(0x36, 0x3a, 0x40), QColor(0x50, 0x56, 0x5e)));
        painter.drawRoundedRect(face, 2, 2);
        painter.setPen(QPen(QColor(0, 0, 0, 170), 1.2));
        painter.drawLine(QPointF(cap.left() + 2, cap.top() + 0.7),
                         QPointF(cap.right() - 2, cap.top() + 0.7));
    }
    return image;
}

QImage ButtonPainter::portButtonRing(bool unconfirmed, qreal devicePixelRatio)
{
    QImage image(kPortButtonSize * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    // In the well, just outside the released cap (2.5, 2, 24 x 23), so the cap stays readable.
    const QRectF ring(1.1, 0.9, 26.8, 26.2);
    const QColor colour = unconfirmed ? QColor(0xf0, 0x3a, 0x2e) : QColor(0xff, 0xb3, 0x2e);
    QColor halo = colour;
    halo.setAlpha(90);
    painter.setPen(QPen(halo, 2.2));
    painter.drawRoundedRect(ring, 4, 4);
    painter.setPen(QPen(colour, 1.2));
    painter.drawRoundedRect(ring, 4, 4);
    return image;
}

QImage ButtonPainter::menuButton(bool sunken, qreal devicePixelRatio)
{
    QImage image = wellImage(kMenuButtonSize, devicePixelRatio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    const QRectF plate = sunken ? QRectF(1.8, 2.2, 35.4, 11.6) : QRectF(1.5, 1.3, 36, 11.6);
    if (!sunken) {
        painter.setBrush(QColor(0, 0, 0, 200));
        painter.drawRoundedRect(plate.translated(0, 1.2), 2, 2);
        painter.setBrush(vertical(plate, QColor(0xee, 0xf0, 0xf3), QColor(0x96, 0x9d, 0xa6)));
    } else {
        painter.setBrush(vertical(plate, QColor(0x5e, 0x64, 0x6c), QColor(0x9a, 0xa0, 0xa8)));
    }
    painter.drawRoundedRect(plate, 2, 2);

    const QColor ink = sunken ? QColor(0x16, 0x18, 0x1b) : QColor(0x22, 0x25, 0x2a);
    const qreal shift = sunken ? 0.5 : 0;
    Caption(QStringLiteral("MENU"), 7.2)
        .draw(painter, { 5.5 + shift, 10.1 + shift }, CaptionAnchor::Left, ink, false);
    QPainterPath arrow;
    arrow.moveTo(29 + shift, 5.6 + shift);
    arrow.lineTo(34 + shift, 5.6 + shift);
    arrow.lineTo(31.5 + shift, 9 + shift);
    arrow.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawPath(arrow);

    if (sunken) {
        painter.setPen(QPen(QColor(0, 0, 0, 150), 1));
        painter.drawLine(QPointF(plate.left() + 1.5, plate.top() + 0.5),
                         QPointF(plate.right() - 1.5, plate.top() + 0.5));
    }
    return image;
}

} // namespace relaybox
