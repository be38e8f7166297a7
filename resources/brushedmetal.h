#pragma once

#include <QColor>
#include <QImage>
#include <QSize>

namespace relaybox {

// A dark brushed-aluminium texture: long horizontal grain, the same every time it is made.
class BrushedMetal
{
public:
    static QImage texture(QSize size, qreal devicePixelRatio, QColor base);
};

} // namespace relaybox
