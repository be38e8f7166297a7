#pragma once

#include <QImage>

namespace relaybox {

// One picture showing every panel image at 1x and 3x and mock panels placed as in the window.
class ContactSheet
{
public:
    static QImage render();
};

} // namespace relaybox
