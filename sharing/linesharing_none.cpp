#include "sharing/linesharing.h"

#include <QStandardPaths>

// Where the system gives a port no endpoint yet (Windows), the manager does not share its line.

namespace relaybox::sharing {

struct LineSharing::Host
{
};

LineSharing::LineSharing(LinkController &link, SharedState &state, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_state(state)
{ }

LineSharing::~LineSharing() = default;

void LineSharing::setEnabled(bool share)
{
    m_enabled = share;
}

bool LineSharing::serving() const
{
    return false;
}

QString LineSharing::endpoint() const
{
    return {};
}

QString LineSharing::status() const
{
    return QStringLiteral("Not shared: this system does not offer it yet.");
}

QString LineSharing::auditPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
        + QStringLiteral("/remote-commands.log");
}

void LineSharing::update() { }
void LineSharing::start() { }
void LineSharing::stop() { }
void LineSharing::answered(RemoteCommand) { }

} // namespace relaybox::sharing
