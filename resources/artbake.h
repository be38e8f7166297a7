#pragma once

#include <QString>

// Renders the art's SVG pictures into PNG files, NAME-WIDTHxHEIGHT.png, at the pixel sizes the
// manager asks for: the faceplate and the separator at 1x and 2x, the program icon at each of its
// sizes. A build without Qt Svg shows these (see svgart.h).

namespace relaybox {

// False when a file could not be written; errorFile names it.
bool bakeSvgArt(const QString &folder, QString &errorFile);

} // namespace relaybox
