#pragma once

#include <QImage>

namespace relaybox {

// A soft copy of a picture (three box-blur passes), used for the halo of lit lamps and segments.
QImage blurred(const QImage &source, int radius);

} // namespace relaybox
