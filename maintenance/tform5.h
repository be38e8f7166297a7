#pragma once

#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

#include "maintenance/upgrademouseguard.h"

// The Upgrade Process window: the share of the image sent and the loader's text lines. Shown
// without modality; it has no close box, the upgrade closes it.

namespace relaybox {

class FirmwareUpgrade;

class TForm5 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm5(QWidget *parent = nullptr);

    // Shows, fills and closes the window as the upgrade asks.
    void follow(const FirmwareUpgrade &upgrade);

    UpgradeMouseGuard &mouseGuard() { return *m_guard; }

    void setProgress(int percent);
    void appendLog(const QString &line);
    void clearLog();
    void showWindow();
    void closeWindow(); // through the hidden cancel button, as the time-out does

    QProgressBar *UpGrade1;
    QPlainTextEdit *Memo1;
    QPushButton *BitBtn1;

private:
    UpgradeMouseGuard *m_guard;
};

} // namespace relaybox
