#pragma once

#include <QRect>
#include <QSize>

#include <array>

// Where the window puts each control on a 590 x 99 bank panel; faceplate.svg is drawn to match.
namespace relaybox::faceplate {

inline constexpr QSize kPanelSize { 590, 99 };
inline constexpr QSize kSeparatorSize { 590, 10 };
inline constexpr int kPorts = 8;

inline constexpr std::array<int, kPorts> kButtonLeft { 133, 176, 220, 263, 306, 349, 393, 436 };
inline constexpr int kButtonTop = 15;
inline constexpr QSize kButtonSize { 29, 28 };

// Port 1 has the labelled lamp pair; ports 2 to 8 the plain one.
inline constexpr QRect kLabelledLampRect { 99, 48, 50, 26 };
inline constexpr std::array<int, kPorts - 1> kLampLeft { 171, 214, 257, 301, 344, 387, 430 };
inline constexpr int kLampTop = 48;
inline constexpr QSize kLampSize { 21, 28 };

inline constexpr std::array<int, kPorts> kCountdownLeft { 130, 173, 217, 260, 303, 346, 390, 433 };
inline constexpr int kCountdownTop = 83;
inline constexpr QSize kCountdownSize { 32, 13 };

inline constexpr QSize kDigitSize { 24, 30 };
inline constexpr std::array<QRect, 2> kCurrentDigitRect { QRect { 45, 31, 24, 30 },
                                                          QRect { 73, 31, 24, 30 } };
inline constexpr std::array<QRect, 2> kBankDigitRect { QRect { 493, 31, 24, 30 },
                                                       QRect { 521, 31, 24, 30 } };

inline constexpr QRect kMenuButtonRect { 2, 83, 39, 15 };

// port is 1 to 8; out-of-range ports give an empty rectangle.
constexpr QRect buttonRect(int port)
{
    if (port < 1 || port > kPorts)
        return {};
    return { QPoint(kButtonLeft[port - 1], kButtonTop), kButtonSize };
}

constexpr QRect lampRect(int port)
{
    if (port == 1)
        return kLabelledLampRect;
    if (port < 2 || port > kPorts)
        return {};
    return { QPoint(kLampLeft[port - 2], kLampTop), kLampSize };
}

constexpr QRect countdownRect(int port)
{
    if (port < 1 || port > kPorts)
        return {};
    return { QPoint(kCountdownLeft[port - 1], kCountdownTop), kCountdownSize };
}

} // namespace relaybox::faceplate
