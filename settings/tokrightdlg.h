#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

#include "settings/settings.h"

class QCheckBox;
class QComboBox;
class QPushButton;

// The Configuration dialog: edits port, auto-connect, prompt, clock sync, restore-status and
// sharing the line with scripts.
// Its port list and auto-connect box also hold the choice that Connect reads while it is hidden.
namespace relaybox {

class TOKRightDlg : public QDialog
{
    Q_OBJECT

public:
    // portNames are the host port table's slots in order: "AUTO", then the discovered ports.
    TOKRightDlg(Settings &settings, const QStringList &portNames, std::function<bool()> linkUp,
                QWidget *parent = nullptr);

    // What Connect copies into the settings, as the controls stand.
    int selectedPort() const;
    bool autoConnectChecked() const;

    // Ends a visible dialog with Rejected as the close box does, leaving the edits in place.
    void endWithCancel();

    void FormShow();
    void BitBtn1Click();
    void BitBtn2Click();

signals:
    // After OK with clock sync on: start "Sync System Time per hour" through its menu item (it acts
    // only while enabled), then disable the item.
    void hourlySyncTurnedOn();
    // After OK with clock sync off: stop the hourly clock timer and enable the menu item.
    void hourlySyncTurnedOff();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void loadControls();

    Settings &m_settings;
    std::function<bool()> m_linkUp;
    QPushButton *m_ok;
    QPushButton *m_cancel;
    QCheckBox *m_prompt;
    QComboBox *m_port;
    QCheckBox *m_auto;
    QCheckBox *m_setRtc;
    QCheckBox *m_restoreStatus;
    QCheckBox *m_share;
    bool m_showing = false; // between a showing and its hiding, minimised or not
};

} // namespace relaybox
