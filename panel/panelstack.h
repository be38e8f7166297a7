#pragma once

#include <QWidget>
#include <array>

#include "link/replyeffects.h"
#include "panel/bankpanel.h"
#include "panel/panellogic.h"
#include "platform/hostclock.h"

class QLabel;
class QScrollBar;

// The three bank panels with their separators and the scroll bar that pages through longer
// chains: layout for a bank count, the page redraw, the refresh a status reply asks for, and the
// 500 ms flash tick of alarm lamps and countdowns.

namespace relaybox {

class SharedState;
class PanelArt;

class PanelStack : public QObject
{
    Q_OBJECT

public:
    // The controls are created on `client`, the window's area below its menu.
    PanelStack(SharedState &state, const PanelArt &art, QWidget *client);

    BankPanel *panel(int panel) const { return m_panels[panel - 1]; }
    QScrollBar *scrollBar() const { return m_scrollBar; }
    QWidget *separator(int index) const { return m_separators[index - 1]; }
    int scrollPosition() const;
    bool isPanelShown(int panel) const;

    // Shows the panels and the scroll bar a bank count needs; the window sizes itself.
    BankLayout applyBankCount(int bankCount);
    void hidePanels();

    // Every read-out of the three panels for the banks at the scroll position.
    void ScrollBar1Change();
    // A status reply for a bank: lamps (port letters), current digits, or both.
    void refresh(UpdateKind kind, int bank);
    // One flash tick: phase 1 lights blinking alarm lamps and hides expired countdowns.
    void flashTick(int phase, const LocalTime &now);

    // The pictures a button shows while pressed or released.
    void showPortButton(int tag, bool pressed);
    void showMenuButton(int panel, bool sunken);

private:
    void drawBankDigits(int panel, int bank);
    void drawCurrent(int panel, float amperes);
    void drawLamps(int panel, int bank);
    void setLamp(int panel, int port, int index);
    void setCountdown(QLabel *label, const QString &text);

    SharedState &m_state;
    const PanelArt &m_art;
    std::array<BankPanel *, kVisiblePanels> m_panels {};
    std::array<QWidget *, kVisiblePanels - 1> m_separators {};
    QScrollBar *m_scrollBar;
};

} // namespace relaybox
