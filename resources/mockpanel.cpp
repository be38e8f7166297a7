#include "mockpanel.h"

#include "faceplategeometry.h"
#include "panelart.h"

#include <QFont>
#include <QPainter>

namespace relaybox {

QImage MockPanel::render(const PanelArt &art, bool outlineControls) const
{
    using namespace faceplate;
    const qreal ratio = art.devicePixelRatio();
    QImage image(kPanelSize * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);

    QPainter painter(&image);
    // The window's pictures stretch their image to the control, smoothly.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(QPoint(0, 0), art.faceplate());

    QFont countdownFont;
    countdownFont.setFamilies(
        { QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono") });
    countdownFont.setStyleHint(QFont::Monospace);
    countdownFont.setPixelSize(11);

    for (int port = 1; port <= kPorts; ++port) {
        painter.drawPixmap(buttonRect(port), art.portButton(pressed[port - 1] ? 0 : 1));
        const int lampIndex = lamps[port - 1];
        painter.drawPixmap(lampRect(port),
                           port == 1 ? art.labelledLamp(lampIndex) : art.lamp(lampIndex));

        // The countdown labels: black, yellow fixed-pitch text at 11 pixels.
        const QRect label = countdownRect(port);
        painter.fillRect(label, Qt::black);
        painter.setFont(countdownFont);
        painter.setPen(Qt::yellow);
        painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, countdowns[port - 1]);
    }

    painter.drawPixmap(kCurrentDigitRect[0], art.currentDigit(currentImages[0]));
    painter.drawPixmap(kCurrentDigitRect[1], art.currentDigit(currentImages[1]));
    painter.drawPixmap(kBankDigitRect[0], art.bankDigit(bank > 9 ? bank / 10 : 0));
    painter.drawPixmap(kBankDigitRect[1], art.bankDigit(bank % 10));
    painter.drawPixmap(kMenuButtonRect, art.menuButton(menuSunken ? 1 : 0));

    if (outlineControls) {
        painter.setPen(QPen(QColor(0, 255, 255, 200), 0));
        painter.setBrush(Qt::NoBrush);
        auto outline = [&](QRect r) {
            painter.drawRect(QRectF(r).adjusted(0, 0, -0.01, -0.01));
        };
        for (int port = 1; port <= kPorts; ++port) {
            outline(buttonRect(port));
            outline(lampRect(port));
            outline(countdownRect(port));
        }
        for (const QRect &r : kCurrentDigitRect)
            outline(r);
        for (const QRect &r : kBankDigitRect)
            outline(r);
        outline(kMenuButtonRect);
    }
    return image;
}

} // namespace relaybox
