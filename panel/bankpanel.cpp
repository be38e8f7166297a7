#include "bankpanel.h"

#include <QLabel>

#include "resources/faceplategeometry.h"
#include "resources/panelart.h"

namespace relaybox {

BankPanel::BankPanel(int panel, const PanelArt &art, QWidget *parent)
    : QFrame(parent)
    , m_panel(panel)
{
    const QString digit = QString::number(panel);
    setObjectName(QStringLiteral("UniClass") + digit);
    setFixedSize(faceplate::kPanelSize);

    PictureControl *plate =
        picture(QStringLiteral("Image") + digit, QRect(QPoint(), faceplate::kPanelSize));
    plate->setPixmap(art.faceplate());

    QFont countdownFont(QStringLiteral("Arial"));
    countdownFont.setPixelSize(11);
    countdownFont.setStyleHint(QFont::SansSerif);
    for (int port = 1; port <= kPorts; ++port) {
        const QString suffix = digit + QString::number(port);
        const int tag = 10 * panel + port;
        PictureControl *button =
            picture(QStringLiteral("imButton") + suffix, faceplate::buttonRect(port), tag);
        button->setPixmap(art.portButton(1));
        button->setCursor(Qt::PointingHandCursor);
        m_buttons[port - 1] = button;

        PictureControl *lamp =
            picture(QStringLiteral("imLed") + suffix, faceplate::lampRect(port), tag);
        lamp->setPixmap(port == 1 ? art.labelledLamp(0) : art.lamp(0));
        m_lamps[port - 1] = lamp;

        auto *countdown = new QLabel(this);
        countdown->setObjectName(QStringLiteral("lblShowTime") + suffix);
        countdown->setProperty("Tag", tag);
        countdown->setGeometry(faceplate::countdownRect(port));
        countdown->setFont(countdownFont);
        countdown->setAlignment(Qt::AlignCenter);
        countdown->setAutoFillBackground(true);
        QPalette palette = countdown->palette();
        palette.setColor(QPalette::Window, Qt::black);
        palette.setColor(QPalette::WindowText, Qt::yellow);
        countdown->setPalette(palette);
        m_countdowns[port - 1] = countdown;
    }
    for (int position = 1; position <= 2; ++position) {
        const QString suffix = digit + QString::number(position);
        m_currentDigits[position - 1] = picture(QStringLiteral("imDisCurrent") + suffix,
                                                faceplate::kCurrentDigitRect[position - 1]);
        m_bankDigits[position - 1] =
            picture(QStringLiteral("imDisBank") + suffix, faceplate::kBankDigitRect[position - 1]);
    }
    m_menuButton = picture(QStringLiteral("btnRight") + digit, faceplate::kMenuButtonRect, panel);
    m_menuButton->setPixmap(art.menuButton(0));
}

PictureControl *BankPanel::picture(const QString &name, const QRect &place, int tag)
{
    auto *control = new PictureControl(this);
    control->setObjectName(name);
    control->setGeometry(place);
    control->setTag(tag);
    return control;
}

} // namespace relaybox
