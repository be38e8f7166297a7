#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <httplib.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include "common/fakeserialport.h"
#include "common/scripteddialogs.h"
#include "link/linkcontroller.h"
#include "service/relayservice.h"
#include "service/serviceapi.h"
#include "sharing/linesharing.h"
#include "sharing/managerbackend.h"

using namespace relaybox;
using relaybox::testing::FakeLine;

namespace {

mode_t modeOf(const std::string &path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

struct Fixture
{
    SharedState state;
    FixedClock clock;
    testing::ScriptedDialogs dialogs;
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    LinkController link { state, clock, dialogs, testing::fakePortFactory(line) };
};

} // namespace

// The manager's endpoint for scripts: reachable by its user alone, and a request the line cannot
// take now is refused at once with nothing sent.
class TestLineSharing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit());
        QStandardPaths::setTestModeEnabled(true); // the audit file goes to a test folder
    }

    // Shared while linked: the folder 0700, the socket 0600 even under a lax umask, gone with the
    // link. During an upload a switching request is answered 503 and the line carries nothing.
    void endpointIsTheUsersAlone()
    {
        Fixture f;
        sharing::LineSharing sharing(f.link, f.state);
        sharing.setEnabled(true);
        const mode_t umaskBefore = ::umask(0);
        QVERIFY(f.link.startLink("/dev/null")); // a device names the endpoint; the port is fake
        QSignalSpy linked(&f.link, &LinkController::linkUp);
        f.line->feed("/xyz\\");
        QTRY_COMPARE(linked.count(), 1);
        QVERIFY(sharing.serving());
        ::umask(umaskBefore);
        const std::string endpoint = sharing.endpoint().toStdString();
        QCOMPARE(modeOf(m_runtime.filePath(QStringLiteral("relaybox")).toStdString()), 0700u);
        QCOMPARE(modeOf(endpoint), mode_t(0600));

        f.link.beginUpload();
        const std::size_t before = f.line->written().size();
        httplib::Client client(endpoint);
        client.set_address_family(AF_UNIX);
        const auto answer = client.Post("/api/v1/switches/relaybox/banks/1/ports/3/on");
        QVERIFY(answer);
        QCOMPARE(answer->status, 503);
        QVERIFY2(answer->body.find("uploading firmware") != std::string::npos,
                 answer->body.c_str());
        QCOMPARE(f.line->written().size(), before);

        f.link.closeLink();
        QVERIFY(!sharing.serving());
        QVERIFY(!QFile::exists(QString::fromStdString(endpoint)));
    }

    // Not linked (no port, or no Identify answer yet): refused at once, nothing written.
    void requestWhileDisconnected_data()
    {
        QTest::addColumn<bool>("portOpen");
        QTest::newRow("no port") << false;
        QTest::newRow("no Identify answer") << true;
    }

    void requestWhileDisconnected()
    {
        QFETCH(bool, portOpen);
        Fixture f;
        if (portOpen)
            QVERIFY(f.link.startLink("fake"));
        const std::size_t before = f.line->written().size();
        sharing::ManagerBackend backend(f.link, f.state);
        service::RelayService service({ { "relaybox", "fake", backend } }, {}, nullptr);
        const service::ServiceApi api(service, nullptr);
        service::ApiRequest request;
        request.method = "POST";
        request.path = "/api/v1/switches/relaybox/banks/1/ports/3/on";
        const service::ApiResponse answer = api.handle(request);
        QCOMPARE(answer.status, 503);
        QVERIFY2(answer.body.find(portOpen ? "not answered" : "not linked") != std::string::npos,
                 answer.body.c_str());
        QCOMPARE(f.line->written().size(), before);
        backend.close();
        service.stop();
    }

private:
    QTemporaryDir m_runtime;
};

QTEST_MAIN(TestLineSharing)
#include "tst_linesharing.moc"
