#pragma once

#include <QRectF>
#include <QString>

class QPainter;

// Draws one of the panel's SVG pictures (":/relaybox/art/NAME.svg": faceplate, separator,
// relaybox) into a rectangle of the painter's logical coordinates. Built with Qt Svg it renders
// the SVG; built without it (the Windows build) it draws the picture as the host's Qt Svg
// rendered it at build time (relaybox-artsheet --bake), scaled where no baked size fits.

namespace relaybox {

void drawSvgArt(QPainter &painter, const QString &name, const QRectF &target);

} // namespace relaybox
