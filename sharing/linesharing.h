#pragma once

#include <QObject>
#include <QString>
#include <QTime>
#include <deque>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "link/linkcontroller.h"

// While the manager is linked and the operator lets it share, scripts switch through its line:
// the switching service listens on an endpoint only this user can reach, named after the port
// (scriptendpoint.h), every request is recorded in the audit file in the
// user's data folder, and the last few are kept for the window that shows them.

namespace relaybox::sharing {

struct RemoteCommand
{
    QTime time; // when it came
    QString who; // "relaybox-cli, user alice"
    QString what; // "on bank 1 port 3"
    QString result; // "confirmed", "not confirmed: bank 1 port 3 stays off", "refused: ..."
    std::vector<std::pair<int, int>> ports; // (bank, port) it switched: a frame went out
};

class LineSharing : public QObject
{
    Q_OBJECT

public:
    static constexpr std::size_t kRecentCommands = 20;

    LineSharing(LinkController &link, SharedState &state, QObject *parent = nullptr);
    ~LineSharing() override;

    // The Share setting: serves while it is on and the manager holds the port.
    void setEnabled(bool share);
    bool serving() const;
    QString endpoint() const; // where it listens or would listen; empty where it cannot
    QString status() const; // for the operator: where it listens, or why it does not
    static QString auditPath();

    const std::deque<RemoteCommand> &recent() const { return m_recent; }

    // UI thread: a client's switching frame went out whole.
    std::function<void(const std::string &frame)> onClientFrame;

signals:
    void commandAnswered(const relaybox::sharing::RemoteCommand &command);
    void statusChanged();

private:
    struct Host;

    void update();
    void start();
    void stop();
    void answered(RemoteCommand command);

    LinkController &m_link;
    SharedState &m_state;
    bool m_enabled = false;
    QString m_problem;
    std::unique_ptr<Host> m_host;
    std::deque<RemoteCommand> m_recent;
};

} // namespace relaybox::sharing
