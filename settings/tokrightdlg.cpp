#include "settings/tokrightdlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>

namespace relaybox {
namespace {

// Taller than the original 235 by the row of the sharing box, which sits below every other control.
constexpr QSize kClientSize(402, 262);
constexpr QSize kButtonSize(75, 25);
constexpr int kCheckBoxWidth = 360;
constexpr int kCheckBoxHeight = 20;
constexpr QSize kPortListSize(79, 21);

QCheckBox *makeCheckBox(QWidget *parent, const char *name, const QString &caption, QPoint at)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(QRect(at, QSize(kCheckBoxWidth, kCheckBoxHeight)));
    return box;
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption,
                        QStyle::StandardPixmap glyph, QPoint at)
{
    auto *button = new QPushButton(parent->style()->standardIcon(glyph), caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(QRect(at, kButtonSize));
    button->setAutoDefault(false);
    return button;
}

} // namespace

TOKRightDlg::TOKRightDlg(Settings &settings, const QStringList &portNames,
                         std::function<bool()> linkUp, QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                  | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_settings(settings)
    , m_linkUp(std::move(linkUp))
{
    setObjectName(QStringLiteral("OKRightDlg"));
    setWindowTitle(QStringLiteral("Configuration"));
    setFixedSize(kClientSize);

    // Created in tab order.
    m_ok =
        makeButton(this, "BitBtn1", QStringLiteral("OK"), QStyle::SP_DialogOkButton, { 211, 196 });
    m_ok->setDefault(true);
    m_cancel = makeButton(this, "BitBtn2", QStringLiteral("Cancel"), QStyle::SP_DialogCancelButton,
                          { 296, 196 });
    m_prompt =
        makeCheckBox(this, "cbOnPrompt",
                     QStringLiteral("Touch Panel Power ON/OFF Confirmation Prompt"), { 24, 111 });
    m_port = new QComboBox(this);
    m_port->setObjectName(QStringLiteral("comboPortSel"));
    m_port->setEditable(false);
    m_port->setGeometry(QRect(QPoint(130, 39), kPortListSize));
    m_port->addItems(portNames);
    m_port->setCurrentIndex(portNames.isEmpty() ? -1 : 0);
    m_auto = makeCheckBox(this, "chkAuto",
                          QStringLiteral("Auto connect to KESTRANE Relaybox on start"), { 24, 85 });
    m_setRtc =
        makeCheckBox(this, "ckbSetRTC",
                     QStringLiteral("Auto-sync system time with host time on start"), { 24, 136 });
    m_restoreStatus =
        makeCheckBox(this, "cbRestoreStatus",
                     QStringLiteral("Restore last-known port status on start"), { 24, 160 });
    m_share = makeCheckBox(this, "ckbShare",
                           QStringLiteral("Let scripts switch through this window"), { 24, 232 });
    auto *portLabel = new QLabel(QStringLiteral("Select Com Port"), this);
    portLabel->setObjectName(QStringLiteral("Label1"));
    portLabel->move(33, 44);
    portLabel->adjustSize();

    setTabOrder(m_ok, m_cancel);
    setTabOrder(m_cancel, m_prompt);
    setTabOrder(m_prompt, m_port);
    setTabOrder(m_port, m_auto);
    setTabOrder(m_auto, m_setRtc);
    setTabOrder(m_setRtc, m_restoreStatus);
    setTabOrder(m_restoreStatus, m_share);

    connect(m_ok, &QPushButton::clicked, this, &TOKRightDlg::BitBtn1Click);
    connect(m_cancel, &QPushButton::clicked, this, &TOKRightDlg::BitBtn2Click);

    // Connect reads the controls even before the first showing: they start from the settings
    // loaded at start-up, so that Connect keeps what the operator saved.
    loadControls();
}

int TOKRightDlg::selectedPort() const
{
    return std::max(m_port->currentIndex(), 0);
}

bool TOKRightDlg::autoConnectChecked() const
{
    return m_auto->isChecked();
}

void TOKRightDlg::endWithCancel()
{
    if (isVisible())
        reject();
}

void TOKRightDlg::FormShow()
{
    loadControls();
    const bool locked = m_linkUp && m_linkUp();
    m_auto->setEnabled(!locked);
    m_port->setEnabled(!locked);
}

void TOKRightDlg::BitBtn1Click()
{
    m_settings.comPort = m_port->currentIndex();
    m_settings.autoConnect = m_auto->isChecked();
    m_settings.prompt = m_prompt->isChecked();
    m_settings.setRtc = m_setRtc->isChecked();
    m_settings.restoreStatus = m_restoreStatus->isChecked();
    m_settings.share = m_share->isChecked();
    if (m_settings.setRtc)
        emit hourlySyncTurnedOn();
    else
        emit hourlySyncTurnedOff();
    done(Accepted);
}

void TOKRightDlg::BitBtn2Click()
{
    loadControls();
    done(Rejected);
}

void TOKRightDlg::showEvent(QShowEvent *event)
{
    // Once per showing: restoring a minimised dialog must not undo the operator's edits.
    if (!m_showing) {
        m_showing = true;
        FormShow();
        if (const QScreen *screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QDialog::showEvent(event);
}

void TOKRightDlg::hideEvent(QHideEvent *event)
{
    if (!event->spontaneous())
        m_showing = false;
    QDialog::hideEvent(event);
}

void TOKRightDlg::keyPressEvent(QKeyEvent *event)
{
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        // Esc is the Cancel button, with its reload; only the close box leaves the edits in place.
        if (event->key() == Qt::Key_Escape) {
            m_cancel->click();
            return;
        }
        // Return presses the focused button; elsewhere it goes on to the default button, OK.
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            if (auto *button = qobject_cast<QPushButton *>(focusWidget())) {
                button->click();
                return;
            }
        }
    }
    QDialog::keyPressEvent(event);
}

void TOKRightDlg::loadControls()
{
    // Loaded settings are range-checked; anything else selects "AUTO" rather than nothing.
    const bool listed = m_settings.comPort >= 0 && m_settings.comPort < m_port->count();
    m_port->setCurrentIndex(listed ? m_settings.comPort : 0);
    m_auto->setChecked(m_settings.autoConnect);
    m_prompt->setChecked(m_settings.prompt);
    m_setRtc->setChecked(m_settings.setRtc);
    m_restoreStatus->setChecked(m_settings.restoreStatus);
    m_share->setChecked(m_settings.share);
}

} // namespace relaybox
