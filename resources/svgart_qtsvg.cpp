#include "svgart.h"

#include <QPainter>
#include <QSvgRenderer>

namespace relaybox {

void drawSvgArt(QPainter &painter, const QString &name, const QRectF &target)
{
    QSvgRenderer renderer(QStringLiteral(":/relaybox/art/%1.svg").arg(name));
    renderer.render(&painter, target);
}

} // namespace relaybox
