#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>

#include "link/linkcontroller.h"
#include "maintenance/uploadsession.h"

// The firmware upgrade over the link: the Upgrade command, then the steps the switch's loader
// drives (prompt, byte requests, text lines, completion, failure) and the time-out when the
// loader falls silent. The Upgrade Process window and the main window's flash timer follow the
// signals.

namespace relaybox {

struct UpgradeTimings
{
    std::chrono::milliseconds timeout { 10000 }; // after the last byte request
    std::chrono::milliseconds closeDelay {
        100
    }; // a cancelled repair: then input dropped, link closed
};

class FirmwareUpgrade : public QObject
{
    Q_OBJECT

public:
    FirmwareUpgrade(SharedState &state, LinkController &link, OperatorDialogs &dialogs,
                    UpgradeTimings timings = {}, QObject *parent = nullptr);

    // "Upgrade": polling and flashing stop, the operator picks an image, the switch is told to
    // start its loader (unless the loader already runs).
    void Upgrade1Click();

    // Loader prompt, completion, byte request, loader failure and loader text; other kinds are
    // not ours and are ignored.
    void handleUpdate(const relaybox::UiUpdate &update);

    void tmUpgradeTimeOutTimer();
    // Link reset: the time-out and a pending close stop, an upload in progress is over, the
    // image is forgotten and the window closes.
    void linkReset();

    QTimer &tmUpgradeTimeOut() { return m_tmUpgradeTimeOut; }
    const UploadSession &session() const { return m_session; }
    bool uploading() const { return m_uploading; }

signals:
    void flashingStopRequested(); // tmFlash1 stops
    void flashingRestartRequested(); // tmFlash1 starts again
    void windowShowRequested(); // the Upgrade Process window, not modal
    void windowCloseRequested();
    void progressChanged(int percent);
    void logLineAppended(const QString &line);
    void logCleared();

private:
    void loaderStart();
    void byteRequest();
    void logLine();
    void completion();
    void firmwareFailure();
    // No image was taken: a loader needs one, so the link ends; a running firmware goes on.
    void giveUp(bool loaderMode);
    void resumePolling();
    // The image is forgotten and the line is free for other frames again.
    void endUpload();
    void closeWindow();
    void closeAfterDelay();
    QString lastLine() const;

    SharedState &m_state;
    LinkController &m_link;
    OperatorDialogs &m_dialogs;
    UpgradeTimings m_timings;
    UploadSession m_session;
    QTimer m_tmUpgradeTimeOut;
    QTimer m_closeDelay;
    bool m_uploading = false; // from the loader's prompt to completion, failure or time-out
    bool m_repairAwaitsPrompt = false; // an image was chosen for a loader that has not prompted
    bool m_timedOut = false; // until the link has closed
    bool m_windowShown = false;
};

} // namespace relaybox
