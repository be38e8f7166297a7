#include "svgart.h"

#include <QDir>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QRegularExpression>

namespace relaybox {

namespace {

const QString kBakedFolder = QStringLiteral(":/relaybox/art/baked");

// The baked picture of exactly that many pixels, else the smallest larger one, else the largest.
QString bakedFile(const QString &name, QSize pixels)
{
    const QString exact =
        QStringLiteral("%1-%2x%3.png").arg(name).arg(pixels.width()).arg(pixels.height());
    if (QFile::exists(kBakedFolder + QLatin1Char('/') + exact))
        return kBakedFolder + QLatin1Char('/') + exact;
    const QRegularExpression sizeOf(QStringLiteral("-(\\d+)x(\\d+)\\.png$"));
    QString best;
    int bestWidth = 0;
    const QStringList files = QDir(kBakedFolder).entryList({ name + QStringLiteral("-*.png") });
    for (const QString &file : files) {
        const int width = sizeOf.match(file).captured(1).toInt();
        const bool larger = width >= pixels.width();
        const bool bestLarger = bestWidth >= pixels.width();
        if (best.isEmpty() || (larger && (!bestLarger || width < bestWidth))
            || (!larger && !bestLarger && width > bestWidth)) {
            best = file;
            bestWidth = width;
        }
    }
    return best.isEmpty() ? QString() : kBakedFolder + QLatin1Char('/') + best;
}

} // namespace

void drawSvgArt(QPainter &painter, const QString &name, const QRectF &target)
{
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize pixels = (target.size() * ratio).toSize();
    const QString file = bakedFile(name, pixels);
    if (file.isEmpty())
        return; // a build without its baked art shows the painted parts only
    const QImage image(file);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image);
    painter.restore();
}

} // namespace relaybox
