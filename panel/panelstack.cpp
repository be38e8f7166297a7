#include "panelstack.h"

#include <QLabel>
#include <QScrollBar>

#include "link/linkstate.h"
#include "panel/picturecontrol.h"
#include "resources/panelart.h"
#include "schedule/countdown.h"

namespace relaybox {
namespace {

constexpr std::array<int, kVisiblePanels> kPanelTop { 25, 134, 243 };
constexpr std::array<int, kVisiblePanels - 1> kSeparatorTop { 124, 233 };
constexpr int kPanelLeft = 20;

} // namespace

PanelStack::PanelStack(SharedState &state, const PanelArt &art, QWidget *client)
    : QObject(client)
    , m_state(state)
    , m_art(art)
    , m_scrollBar(new QScrollBar(Qt::Vertical, client))
{
    for (int panel = 1; panel <= kVisiblePanels; ++panel) {
        auto *bankPanel = new BankPanel(panel, art, client);
        bankPanel->move(kPanelLeft, kPanelTop[panel - 1]);
        bankPanel->hide();
        m_panels[panel - 1] = bankPanel;
    }
    for (int index = 1; index < kVisiblePanels; ++index) {
        auto *strip = new PictureControl(client);
        strip->setObjectName(QStringLiteral("imSeparated%1").arg(index));
        strip->setGeometry(kPanelLeft, kSeparatorTop[index - 1], 590, 10);
        strip->setPixmap(art.separator());
        strip->hide();
        m_separators[index - 1] = strip;
    }
    m_scrollBar->setObjectName(QStringLiteral("ScrollBar1"));
    m_scrollBar->setGeometry(616, 24, 17, 321);
    m_scrollBar->setRange(1, 1);
    m_scrollBar->setValue(1);
    m_scrollBar->setSingleStep(1);
    m_scrollBar->setPageStep(1);
    m_scrollBar->hide();
    connect(m_scrollBar, &QScrollBar::valueChanged, this, &PanelStack::ScrollBar1Change);
}

int PanelStack::scrollPosition() const
{
    return m_scrollBar->value();
}

bool PanelStack::isPanelShown(int panel) const
{
    return !m_panels[panel - 1]->isHidden();
}

BankLayout PanelStack::applyBankCount(int bankCount)
{
    hidePanels();
    const BankLayout layout = layoutForBankCount(bankCount);
    for (int panel = 0; panel < kVisiblePanels; ++panel)
        m_panels[panel]->setVisible(layout.panels[panel]);
    for (int index = 0; index < kVisiblePanels - 1; ++index)
        m_separators[index]->setVisible(layout.separators[index]);
    if (layout.scrollBarVisible) {
        m_scrollBar->setMaximum(layout.scrollMaximum);
        m_scrollBar->show();
    } else {
        // The page is redrawn through the change handler only when the position moves.
        m_scrollBar->setMaximum(1);
        m_scrollBar->setValue(1);
        m_scrollBar->hide();
    }
    return layout;
}

void PanelStack::hidePanels()
{
    for (BankPanel *panel : m_panels)
        panel->hide();
    for (QWidget *strip : m_separators)
        strip->hide();
}

void PanelStack::ScrollBar1Change()
{
    const int position = scrollPosition();
    for (int panel = 1; panel <= kVisiblePanels; ++panel) {
        const int bank = bankOfPanel(position, panel);
        drawBankDigits(panel, bank);
        drawCurrent(panel, m_state.bank(bank).current);
        drawLamps(panel, bank);
    }
}

void PanelStack::refresh(UpdateKind kind, int bank)
{
    const int panel = bank - scrollPosition() + 1;
    if (panel < 1 || panel > kVisiblePanels)
        return;
    if ((kind == UpdateKind::PortLetters || kind == UpdateKind::FullStatus)
        && (panel == 1 || isPanelShown(panel)))
        drawLamps(panel, bank);
    if (kind == UpdateKind::Current || kind == UpdateKind::FullStatus)
        drawCurrent(panel, m_state.bank(bank).current);
}

void PanelStack::drawBankDigits(int panel, int bank)
{
    const BankDigits digits = bankDigits(bank);
    m_panels[panel - 1]->bankDigit(1)->showPicture(m_art.bankDigit(digits.tens));
    m_panels[panel - 1]->bankDigit(2)->showPicture(m_art.bankDigit(digits.units));
}

void PanelStack::drawCurrent(int panel, float amperes)
{
    const CurrentDigits digits = currentDigits(amperes);
    m_panels[panel - 1]->currentDigit(1)->showPicture(m_art.currentDigit(digits.first));
    m_panels[panel - 1]->currentDigit(2)->showPicture(m_art.currentDigit(digits.second));
}

void PanelStack::drawLamps(int panel, int bank)
{
    // A flagged timer marks both of the port's entries invalid; drawing keeps the marks.
    const std::optional<BankRecord> record = m_state.bankForLamps(bank);
    if (!record)
        return;
    for (int port = 1; port <= BankPanel::kPorts; ++port) {
        const bool flagged = record->isFlagged(port - 1);
        if (flagged)
            setCountdown(m_panels[panel - 1]->countdown(port), QString());
        setLamp(panel, port, lampIndex(record->isOn(port - 1), flagged));
    }
}

void PanelStack::setLamp(int panel, int port, int index)
{
    m_panels[panel - 1]->lamp(port)->showPicture(port == 1 ? m_art.labelledLamp(index)
                                                           : m_art.lamp(index));
}

void PanelStack::setCountdown(QLabel *label, const QString &text)
{
    if (label->text() == text)
        return;
    // Weekly timers reach 167 hours: six characters, narrowed to fit the five-character label.
    QFont font = label->font();
    font.setLetterSpacing(QFont::PercentageSpacing, text.size() > 5 ? 85 : 100);
    font.setStretch(text.size() > 5 ? QFont::SemiCondensed : QFont::Unstretched);
    label->setFont(font);
    label->setText(text);
}

void PanelStack::flashTick(int phase, const LocalTime &now)
{
    const int position = scrollPosition();
    for (int panel = 1; panel <= kVisiblePanels; ++panel) {
        if (panel > 1 && !isPanelShown(panel))
            return;
        const BankView bank = m_state.bankView(bankOfPanel(position, panel));
        for (int port = 1; port <= BankPanel::kPorts; ++port) {
            const PortCountdown countdown =
                portCountdown(bank.committed.on, bank.committed.off, port - 1, now);
            QLabel *label = m_panels[panel - 1]->countdown(port);
            const bool on = bank.record.isOn(port - 1);
            switch (countdown.state) {
            case PortCountdown::State::Flagged:
                break;
            case PortCountdown::State::Idle:
                setLamp(panel, port, lampIndex(on, false));
                setCountdown(label, QString());
                label->show();
                break;
            case PortCountdown::State::Running:
            case PortCountdown::State::Expired:
                setLamp(panel, port, lampIndex(on, phase == 1));
                setCountdown(label, QString::fromStdString(countdown.text()));
                label->setVisible(countdown.state == PortCountdown::State::Running || phase == 0);
                break;
            }
        }
    }
}

void PanelStack::showPortButton(int tag, bool pressed)
{
    const PanelPort where = panelPortOfTag(tag);
    if (where.panel < 1 || where.panel > kVisiblePanels || where.port < 1 || where.port > 8)
        return;
    m_panels[where.panel - 1]->button(where.port)->showPicture(m_art.portButton(pressed ? 0 : 1));
}

void PanelStack::showMenuButton(int panel, bool sunken)
{
    if (panel >= 1 && panel <= kVisiblePanels)
        m_panels[panel - 1]->menuButton()->showPicture(m_art.menuButton(sunken ? 1 : 0));
}

} // namespace relaybox
