#pragma once

#include <QDialog>
#include <QTimer>
#include <chrono>
#include <functional>

#include "link/linkstate.h"
#include "link/probe.h"
#include "platform/hostports.h"
#include "platform/portqueue.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// The detection dialog: probes the configured port, or every host port in turn, shows the probe
// log, and ends with the index of the port where the switch answered.

namespace relaybox {

class TForm3 : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kNotFound = 100;

    struct Options
    {
        std::function<std::unique_ptr<SerialPort>()> portFactory = makeSerialPort;
        SerialTimeouts probeTimeouts = kProbeTimeouts;
        // The short pauses that keep the window painted between ports.
        std::function<void(std::chrono::milliseconds)> pause;
    };

    explicit TForm3(SharedState &state, QWidget *parent = nullptr);
    TForm3(SharedState &state, Options options, QWidget *parent = nullptr);

    // What the next search looks at: the host port table, the configured port (0 = every port)
    // and whether the probe log is shown.
    void setSearch(const HostPortTable *ports, int comPort, bool showLog);

    // The port index where the switch answered, or kNotFound. A dialog closed with its title-bar
    // box ends with QDialog::Rejected (0) instead.
    int searchResult() const { return m_result; }

    // The configured port, when the last search found it held by another program.
    struct HeldPort
    {
        std::string path;
        std::optional<PortHolder> holder; // where the system can tell
    };
    const std::optional<HeldPort> &heldPort() const { return m_heldPort; }

    void FormShow();
    void Timer1Timer();
    void BitBtn1Click();

    QPlainTextEdit *memo() const { return m_moShowComCheck; }
    QLabel *label() const { return m_label1; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool abandoned() const;
    bool probe(int index);
    void searchOne(int index);
    void searchAll();
    void reportFound(int index, std::chrono::milliseconds pause);
    void appendMemo(const QString &line);
    void repaintNow();

    SharedState &m_state;
    Options m_options;
    const HostPortTable *m_ports = nullptr;
    int m_comPort = 0;
    bool m_showLog = true;
    int m_result = kNotFound;
    std::optional<HeldPort> m_heldPort;
    bool m_showing = false; // between a showing and its hiding, minimised or not

    QLabel *m_label1;
    QProgressBar *m_progressBar1;
    QPlainTextEdit *m_moShowComCheck;
    QPushButton *m_bitBtn1;
    QTimer m_timer1;
};

} // namespace relaybox
