#pragma once

#include <QStringList>
#include <chrono>
#include <memory>
#include <string>

#include "link/linkstate.h"
#include "panel/tform1.h"
#include "platform/hostclock.h"
#include "platform/operatordialogs.h"

// The main window built in a probe process as the program builds it, with its settings file in
// a given folder and the host port table from that folder's ports/ links only (so that no system
// serial port is ever looked at); message boxes answer OK and are kept for the report.

namespace relaybox::bench {

class BenchDialogs final : public OperatorDialogs
{
public:
    MessageAnswer message(const QString &title, const QString &text, MessageIcon icon,
                          MessageButtons buttons) override;
    std::optional<QString> openFileName(const QString &, const QString &, const QString &) override;
    std::optional<QString> saveFileName(const QString &, const QString &, const QString &) override;

    QStringList messages;
};

// The settings file of a program folder: the given connection settings, the rest as shipped.
bool writeSettingsFile(const std::string &folder, bool autoConnect, int comPort);

class BenchWindow
{
public:
    // `folder` holds define.ini and the ports/ folder. The window and its About box are created
    // as the program entry creates them; with Auto=1 in define.ini the detection dialog runs
    // before this returns.
    explicit BenchWindow(const std::string &folder);
    ~BenchWindow();

    TForm1 &form() { return *m_form; }
    SharedState &state() { return m_state; }
    BenchDialogs &dialogs() { return m_dialogs; }
    int shownBankCount();

    // Links straight to `path` (no detection dialog) and answers as a switch of `banks` banks
    // through `send`; true once the window is laid out for them.
    bool linkTo(const std::string &path, int banks,
                const std::function<bool(const std::string &)> &send,
                std::chrono::milliseconds timeout);

private:
    SharedState m_state;
    SystemClock m_clock;
    BenchDialogs m_dialogs;
    std::unique_ptr<TForm1> m_form;
};

// The resident set of this process in kB (VmRSS), or -1.
long residentKilobytes(const char *field = "VmRSS:");

} // namespace relaybox::bench
