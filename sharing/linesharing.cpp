#include "sharing/linesharing.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/shareendpoint.h"
#include "service/relayservice.h"
#include "sharing/managerbackend.h"
#include "sharing/scriptendpoint.h"

namespace relaybox::sharing {

namespace {

const std::string kSwitchName = "relaybox";

QString whoText(const service::ClientIdentity &client)
{
    QString who = client.program.empty() ? QStringLiteral("a client")
                                         : QString::fromStdString(client.program);
    if (!client.user.empty())
        who += QStringLiteral(", user %1").arg(QString::fromStdString(client.user));
    else if (client.uid)
        who += QStringLiteral(", uid %1").arg(*client.uid);
    return who;
}

QString whatText(const service::SwitchingRequest &request)
{
    const service::SwitchCommand target { true, request.bank, request.port };
    return QStringLiteral("%1 %2").arg(QString::fromLatin1(service::actionName(request.action)),
                                       QString::fromStdString(target.target()));
}

QString resultText(const service::SwitchingReport &report)
{
    if (report.confirmed())
        return QStringLiteral("confirmed");
    QString result = QString::fromStdString(report.result).replace(u'_', u' ');
    return result + QStringLiteral(": ") + QString::fromStdString(report.error);
}

} // namespace

struct LineSharing::Host
{
    ManagerBackend backend;
    service::RelayService service;
    std::unique_ptr<ScriptEndpoint> endpoint;

    Host(LinkController &link, SharedState &state, std::unique_ptr<service::AuditTrail> audit)
        : backend(link, state)
        , service({ { kSwitchName, link.portPath(), backend } }, {}, std::move(audit))
    { }

    ~Host()
    {
        // Waiting requests are answered first, then their connections end; the backend has
        // released any of them waiting for the UI thread, which runs this.
        backend.close();
        service.stop();
        endpoint.reset();
    }
};

LineSharing::LineSharing(LinkController &link, SharedState &state, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_state(state)
{
    // From the moment the manager holds the port, so that relaybox-cli always finds the endpoint
    // of a manager that shares; until the switch answers, requests are refused.
    connect(&link, &LinkController::portOpened, this, &LineSharing::update);
    connect(&link, &LinkController::portClosed, this, &LineSharing::update);
}

LineSharing::~LineSharing()
{
    stop();
}

void LineSharing::setEnabled(bool share)
{
    m_enabled = share;
    update();
}

bool LineSharing::serving() const
{
    return m_host != nullptr;
}

QString LineSharing::endpoint() const
{
    const auto path = shareEndpointPath(m_link.portPath());
    return path ? QString::fromStdString(*path) : QString();
}

QString LineSharing::status() const
{
    if (m_host)
        return QStringLiteral("Scripts switch through this window: %1").arg(endpoint())
            + (m_problem.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(m_problem));
    if (!m_enabled)
        return QStringLiteral("Not shared: \"Let scripts switch through this window\" is off.");
    if (!m_problem.isEmpty())
        return QStringLiteral("Not shared: %1").arg(m_problem);
    return QStringLiteral("Not shared while no port is open.");
}

QString LineSharing::auditPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
        + QStringLiteral("/remote-commands.log");
}

void LineSharing::update()
{
    if (m_enabled && m_link.isPortOpen())
        start();
    else
        stop();
}

void LineSharing::start()
{
    if (m_host)
        return;
    m_problem.clear();
    std::string error;
    const auto path = shareEndpointPath(m_link.portPath());
    if (!path || !prepareShareFolder(error)) {
        m_problem = path ? QString::fromStdString(error)
                         : QStringLiteral("this system gives the port no endpoint");
        emit statusChanged();
        return;
    }
    // Sharing goes on without an audit file that cannot be had; the window says so.
    const QString audit = auditPath();
    QDir().mkpath(QFileInfo(audit).path());
    auto trail = service::AuditTrail::open(audit.toStdString(), error);
    const QString auditProblem =
        trail ? QString() : QStringLiteral("no audit file: %1").arg(QString::fromStdString(error));
    auto host = std::make_unique<Host>(m_link, m_state, std::move(trail));
    host->backend.onClientFrame = [this](const std::string &frame) {
        if (onClientFrame)
            onClientFrame(frame);
    };
    host->service.setObserver(
        [this, &backend = host->backend](const service::SwitchingRequest &request,
                                         const service::ClientIdentity &client,
                                         const service::SwitchingReport &report) {
            // A connection's thread: the command goes to the UI thread as values.
            RemoteCommand command {
                QTime::currentTime(), whoText(client), whatText(request), resultText(report), {}
            };
            const int banks = backend.state().bankCount;
            for (const service::SwitchingStep &step : report.steps) {
                if (step.result.outcome != service::Outcome::Confirmed
                    && step.result.outcome != service::Outcome::NotConfirmed)
                    continue;
                for (const service::PortRef &ref : step.command.scope(banks))
                    command.ports.emplace_back(ref.bank, ref.port);
            }
            command.time = command.time.addMSecs(-int(report.took.count()));
            QMetaObject::invokeMethod(
                this, [this, command] { answered(command); }, Qt::QueuedConnection);
        });
    host->endpoint = openScriptEndpoint(host->service, *path, error);
    if (!host->endpoint) {
        m_problem = QString::fromStdString(error);
        emit statusChanged();
        return;
    }
    m_host = std::move(host);
    m_problem = auditProblem;
    emit statusChanged();
}

void LineSharing::stop()
{
    if (!m_host)
        return;
    m_host.reset();
    emit statusChanged();
}

void LineSharing::answered(RemoteCommand command)
{
    m_recent.push_back(command);
    while (m_recent.size() > kRecentCommands)
        m_recent.pop_front();
    emit commandAnswered(command);
}

} // namespace relaybox::sharing
