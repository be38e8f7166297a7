#pragma once

#include <QColor>

// Colours shared by the pictures so that they sit seamlessly on the faceplate.
// faceplate.svg repeats kRecess for the holders and wells under the controls.
namespace relaybox::artstyle {

inline const QColor kRecess { 0x0c, 0x0d, 0x0f }; // lamp holders, button and menu-button wells
inline const QColor kCaption { 0xe8, 0xeb, 0xef }; // printed white lettering
inline const QColor kCaptionShadow { 0, 0, 0, 160 };

} // namespace relaybox::artstyle
