#pragma once

#include <QFrame>
#include <array>

#include "panel/picturecontrol.h"

class QLabel;

// One bank's front panel (UniClass1 to UniClass3): the faceplate with a push button, a lamp pair
// and a countdown label per port, the current and bank read-outs and the bank's menu button.
// Every control carries its name (stem + panel digit + port or digit position) and its Tag.

namespace relaybox {

class PanelArt;

class BankPanel : public QFrame
{
    Q_OBJECT

public:
    static constexpr int kPorts = 8;

    BankPanel(int panel, const PanelArt &art, QWidget *parent = nullptr);

    int panel() const { return m_panel; }
    // port is 1 to 8, digit 1 or 2.
    PictureControl *button(int port) const { return m_buttons[port - 1]; }
    PictureControl *lamp(int port) const { return m_lamps[port - 1]; }
    QLabel *countdown(int port) const { return m_countdowns[port - 1]; }
    PictureControl *currentDigit(int digit) const { return m_currentDigits[digit - 1]; }
    PictureControl *bankDigit(int digit) const { return m_bankDigits[digit - 1]; }
    PictureControl *menuButton() const { return m_menuButton; }

private:
    PictureControl *picture(const QString &name, const QRect &place, int tag = 0);

    int m_panel;
    std::array<PictureControl *, kPorts> m_buttons {};
    std::array<PictureControl *, kPorts> m_lamps {};
    std::array<QLabel *, kPorts> m_countdowns {};
    std::array<PictureControl *, 2> m_currentDigits {};
    std::array<PictureControl *, 2> m_bankDigits {};
    PictureControl *m_menuButton = nullptr;
};

} // namespace relaybox
