#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

#include "link/linkmessages.h"
#include "link/linkstate.h"
#include "link/queuedbridge.h"
#include "link/receiver.h"
#include "link/tmythread.h"
#include "platform/operatordialogs.h"
#include "platform/portqueue.h"
#include "platform/serialport.h"

// The life of one link to the switch, in the UI thread: opening the port and starting the worker,
// the start-of-link announcement, the status poll and the watchdog, the UI update that every
// reply asks for, and the three ways a link ends. Window steps are signals the main window
// connects to.

namespace relaybox {

struct LinkTimings
{
    std::chrono::milliseconds firstPoll { 10 }; // right after the Identify answer
    std::chrono::milliseconds poll { 5000 };
    std::chrono::milliseconds watchdog { 20000 }; // without a status reply: the link is lost
};

class LinkController : public QObject
{
    Q_OBJECT

public:
    using PortFactory = std::function<std::unique_ptr<SerialPort>()>;

    LinkController(SharedState &state, const HostClock &clock, OperatorDialogs &dialogs,
                   PortFactory portFactory = makeSerialPort, LinkTimings timings = {},
                   QObject *parent = nullptr);
    ~LinkController() override;

    // Which Restore-status setting command the announcement sends.
    void setRestoreStatusSource(std::function<bool()> restoreStatus);

    // Opens the port and starts the worker; false when the port cannot be opened. The watchdog
    // runs until the Identify answer, so a switch that stays silent ends in the link lost report.
    bool startLink(const std::string &path);
    // After startLink() failed: the link lost report, with a hint when the operator lacks the
    // permission to open the port; or, when another program holds it, a report naming that one.
    void openFailedReport(const std::string &path);
    // Dialogs ended, state reset, and the operator told which program holds the port.
    void portHeldReport(const std::string &path, const std::optional<PortHolder> &holder);
    // Disconnect: panels hidden, state reset, port closed.
    void closeLink();
    // The switch went silent: port closed, then the link lost report.
    void linkLost();
    // Dialogs ended, state reset, and the operator told that the switch was not found; a
    // non-empty detail goes on a line of its own after the message.
    void linkLostReport(const QString &detail = {});
    // The state steps of link reset, and the window steps through linkResetRequested().
    void resetLink();

    void startOfLinkAnnouncement();

    // Return to transfer: the schedule editor's changes are committed and queued, and the queue's
    // head goes out now; each Schedule clear or set reply of the switch sends the next.
    void returnToTransfer(const LocalTime &now);

    // Whole frames, one write each; false when no port is open or the write failed (the frame is
    // then lost, as on the switch's line). While a firmware upload holds the line every other
    // frame is dropped here, silently: a byte between the image's bytes would corrupt the image.
    // So is every frame while the switch runs its loader, which would take it for image bytes.
    bool sendFrame(const std::string &frame);
    bool sendBytes(const char *data, std::size_t size);

    // From the Upgrade start command (or the chosen image in loader mode) until completion, the
    // failure path or link reset, only the upload writes, through sendUploadBytes.
    void beginUpload();
    void endUpload();
    bool uploadHoldsLine() const { return m_uploadHoldsLine; }
    bool sendUploadBytes(const char *data, std::size_t size);
    void purgeInput();
    bool isPortOpen() const { return m_port && m_port->isOpen(); }
    const std::string &portPath() const { return m_portPath; }
    // Empty while frames can go out: the switch answered the Identify command, no upload holds
    // the line and no loader runs. Otherwise why not, in words for a client of the manager.
    std::string lineRefusal() const;

    // The firmware upgrade stops polling and the watchdog for its duration.
    void stopPolling();
    void restartPolling();

    QTimer &tmQuery() { return m_tmQuery; }
    QTimer &tmOpenComError() { return m_tmOpenComError; }

    // Timer handlers, public so that tests can fire them.
    void tmQueryTimer();
    void tmOpenComErrorTimer();

signals:
    void portOpened(); // startLink opened the port and sent the Identify command
    void linkUp(); // the Identify answer: flashing starts
    void portClosed(); // flashing stops
    void hidePanelsRequested();
    void linkResetRequested(); // menus, clock and upgrade timers, editor tabs, version items
    void dialogsCloseRequested(); // Configuration and Set Timer end with Cancel
    void bankCountChanged(int oldCount, int newCount); // state already rebuilt
    void panelRefresh(relaybox::UpdateKind kind, int bank);
    void updateArrived(relaybox::UiUpdate update); // every kind but panel, queue and count
    void announced(); // the Restore-status setting went out: clock sync may start
    void uploadHoldsLineChanged(bool holds); // commands that send frames are unavailable
    void frameWritten(const std::string &frame); // a whole frame went out through sendFrame

private:
    void closePort();
    bool writeToPort(const char *data, std::size_t size);
    void dispatch(const ReplyEffects &effects);
    void onIdentifyAnswer();
    void runUpdate(const UiUpdate &update);
    void rebuildForBankCount(int newCount);
    void advanceTransferQueue();
    bool loaderRuns() const;

    SharedState &m_state;
    const HostClock &m_clock;
    OperatorDialogs &m_dialogs;
    PortFactory m_portFactory;
    LinkTimings m_timings;
    std::function<bool()> m_restoreStatus = [] {
        return true;
    };

    QTimer m_tmQuery;
    QTimer m_tmOpenComError;
    QueuedBridge m_bridge;
    // The manager's place in the port's queue while it holds the port, so that relaybox-cli
    // calls see who holds it and wait for no turn the manager would never give up.
    std::unique_ptr<PortQueue> m_turn;
    std::optional<PortHolder> m_holder; // of a port startLink found held
    std::string m_portPath;
    std::unique_ptr<SerialPort> m_port;
    std::unique_ptr<Receiver> m_receiver;
    std::unique_ptr<TMyThread> m_thread;
    OpenError m_openError = OpenError::None;
    bool m_awaitingIdentify = false; // the watchdog guards the wait for the Identify answer
    bool m_uploadHoldsLine = false;
    bool m_identified = false; // the switch's firmware answered the Identify command
};

} // namespace relaybox
