#include "artbake.h"

#include "panelart.h"
#include "svgart.h"

#include <QDir>
#include <QImage>
#include <QPainter>

namespace relaybox {

namespace {

constexpr qreal kBakedRatios[] = { 1.0, 2.0 };

QImage render(const QString &name, QSize pixels)
{
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    drawSvgArt(painter, name, QRectF(QPointF(0, 0), QSizeF(pixels)));
    return image;
}

} // namespace

bool bakeSvgArt(const QString &folder, QString &errorFile)
{
    QDir().mkpath(folder);
    std::vector<std::pair<QString, QSize>> pictures;
    for (const qreal ratio : kBakedRatios) {
        pictures.emplace_back(QStringLiteral("faceplate"), PanelArt::kFaceplateSize * ratio);
        pictures.emplace_back(QStringLiteral("separator"), PanelArt::kSeparatorSize * ratio);
    }
    for (const int size : PanelArt::kIconSizes)
        pictures.emplace_back(QStringLiteral("relaybox"), QSize(size, size));

    for (const auto &[name, pixels] : pictures) {
        const QString file = QDir(folder).filePath(
            QStringLiteral("%1-%2x%3.png").arg(name).arg(pixels.width()).arg(pixels.height()));
        if (!render(name, pixels).save(file, "PNG")) {
            errorFile = file;
            return false;
        }
    }
    return true;
}

} // namespace relaybox
