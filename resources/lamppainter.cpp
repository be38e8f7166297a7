#include "lamppainter.h"

#include "artstyle.h"
#include "caption.h"

#include <QPainter>
#include <QRadialGradient>

namespace relaybox {

namespace {

struct LensColours
{
    QColor hot;
    QColor lit;
    QColor deep;
    QColor darkCore;
    QColor darkEdge;
};

const LensColours kRed { QColor(0xff, 0xf0, 0xe8), QColor(0xff, 0x34, 0x22),
                         QColor(0xa8, 0x0e, 0x08), QColor(0x55, 0x14, 0x10),
                         QColor(0x1e, 0x05, 0x04) };
const LensColours kGreen { QColor(0xf0, 0xff, 0xf2), QColor(0x2e, 0xff, 0x52),
                           QColor(0x08, 0x8c, 0x22), QColor(0x15, 0x45, 0x1d),
                           QColor(0x05, 0x16, 0x08) };

// A round lens in a dark bezel; a lit lens glows hot in the middle and lights its surroundings.
void drawLamp(QPainter &painter, QPointF centre, qreal radius, const LensColours &colours, bool lit)
{
    const qreal bezel = radius + 1.3;
    QLinearGradient ring(centre - QPointF(0, bezel), centre + QPointF(0, bezel));
    ring.setColorAt(0, QColor(0x02, 0x02, 0x03));
    ring.setColorAt(1, QColor(0x55, 0x59, 0x60));
    painter.setPen(Qt::NoPen);
    painter.setBrush(ring);
    painter.drawEllipse(centre, bezel, bezel);

    QRadialGradient lens(centre, radius, centre - QPointF(radius * 0.25, radius * 0.3));
    if (lit) {
        lens.setColorAt(0, colours.hot);
        lens.setColorAt(0.45, colours.lit);
        lens.setColorAt(1, colours.deep);
    } else {
        lens.setColorAt(0, colours.darkCore);
        lens.setColorAt(1, colours.darkEdge);
    }
    painter.setBrush(lens);
    painter.drawEllipse(centre, radius, radius);

    if (lit) {
        QRadialGradient halo(centre, radius * 2.4);
        QColor inner = colours.lit;
        inner.setAlpha(150);
        QColor outer = colours.lit;
        outer.setAlpha(0);
        halo.setColorAt(0.3, inner);
        halo.setColorAt(1, outer);
        painter.save();
        painter.setCompositionMode(QPainter::CompositionMode_Plus);
        painter.setBrush(halo);
        painter.drawEllipse(centre, radius * 2.4, radius * 2.4);
        painter.restore();
    }

    // The glass catches a highlight whether lit or not.
    QRadialGradient gloss(centre - QPointF(radius * 0.35, radius * 0.45), radius * 0.5);
    gloss.setColorAt(0, QColor(255, 255, 255, lit ? 170 : 110));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    painter.setBrush(gloss);
    painter.drawEllipse(centre, radius, radius);
}

} // namespace

QSize LampPainter::imageSize(Kind kind)
{
    return kind == Kind::Plain ? QSize(21, 28) : QSize(50, 26);
}

QPointF LampPainter::alarmCentre(Kind kind)
{
    return kind == Kind::Plain ? QPointF(10.5, 7.5) : QPointF(39.5, 7);
}

QPointF LampPainter::onCentre(Kind kind)
{
    return kind == Kind::Plain ? QPointF(10.5, 20.5) : QPointF(39.5, 19);
}

qreal LampPainter::lensRadius(Kind kind)
{
    return kind == Kind::Plain ? 4.5 : 4.2;
}

QImage LampPainter::paint(Kind kind, int index, qreal devicePixelRatio)
{
    const bool valid = index >= 0 && index <= 3;
    const bool alarm = valid && (index & 1);
    const bool on = valid && (index & 2);

    QImage image(imageSize(kind) * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(artstyle::kRecess);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    const qreal radius = lensRadius(kind);
    drawLamp(painter, alarmCentre(kind), radius, kRed, alarm);
    drawLamp(painter, onCentre(kind), radius, kGreen, on);

    if (kind == Kind::Labelled) {
        const qreal right = alarmCentre(kind).x() - radius - 3.5;
        Caption(QStringLiteral("ALARM"), 7)
            .draw(painter, { right, alarmCentre(kind).y() + 2.5 }, CaptionAnchor::Right,
                  artstyle::kCaption);
        Caption(QStringLiteral("ON"), 7)
            .draw(painter, { right, onCentre(kind).y() + 2.5 }, CaptionAnchor::Right,
                  artstyle::kCaption);
    }
    return image;
}

} // namespace relaybox
