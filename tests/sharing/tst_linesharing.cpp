#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <httplib.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include "common/fakeserialport.h"
#include "common/scripteddialogs.h"
#include "link/linkcontroller.h"
#include "platform/shareaccessfile.h"
#include "service/loopbackhttp.h"
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

    // Where the endpoint is a loopback port (Windows), any local program can connect: only the
    // token from the user's file admits a request. The file is written and read back as the tool
    // reads it, and the manager's own file is the only one it removes.
    void loopbackEndpointWantsTheToken()
    {
        Fixture f;
        sharing::ManagerBackend backend(f.link, f.state);
        service::RelayService service({ { "relaybox", "fake", backend } }, {}, nullptr);
        const std::string token = newShareToken();
        std::string error;
        const auto tokens = service::AccessTokens::parse("scripts " + token, "test", error);
        QVERIFY2(tokens, error.c_str());
        const service::ServiceApi api(service, &*tokens);
        service::LoopbackHttp http(api, *tokens, "alice");
        const int port = http.listen(error);
        QVERIFY2(port > 0, error.c_str());
        const std::string file = m_runtime.filePath(QStringLiteral("port-COM5")).toStdString();
        QVERIFY2(writeShareAccessFile(file, port, token, error), error.c_str());
        const auto access = readShareAccessFile(file);
        QVERIFY(access);
        QCOMPARE(access->token, token);

        httplib::Client client(access->server);
        QCOMPARE(client.Get("/api/v1/switches")->status, 401);
        client.set_bearer_token_auth(newShareToken().c_str());
        QCOMPARE(client.Get("/api/v1/switches")->status, 401);
        client.set_bearer_token_auth(access->token.c_str());
        QCOMPARE(client.Get("/api/v1/switches")->status, 200);

        removeShareAccessFile(file, newShareToken());
        QVERIFY(QFile::exists(QString::fromStdString(file)));
        removeShareAccessFile(file, token);
        QVERIFY(!QFile::exists(QString::fromStdString(file)));
        http.stop();
        backend.close();
        service.stop();
    }

    // The tool sends the token only to the loopback address a well-formed file names.
    void accessFileIsTrustedOnlyWhole_data()
    {
        const std::string token(kShareTokenLength, 'a');
        QTest::addColumn<std::string>("content");
        QTest::addColumn<bool>("taken");
        QTest::newRow("as written") << "http://127.0.0.1:50123\n" + token + "\n" << true;
        QTest::newRow("another host") << "http://10.0.0.7:50123\n" + token + "\n" << false;
        QTest::newRow("a host name") << "http://127.0.0.1.evil:80\n" + token + "\n" << false;
        QTest::newRow("port 0") << "http://127.0.0.1:0\n" + token + "\n" << false;
        QTest::newRow("port 65536") << "http://127.0.0.1:65536\n" + token + "\n" << false;
        QTest::newRow("short token") << "http://127.0.0.1:50123\n" + token.substr(1) + "\n"
                                     << false;
        QTest::newRow("not hexadecimal") << "http://127.0.0.1:50123\n" + std::string(64, 'g') + "\n"
                                         << false;
        QTest::newRow("cut short") << "http://127.0.0.1:50123\n" + token << false;
        QTest::newRow("a third line") << "http://127.0.0.1:50123\n" + token + "\nx\n" << false;
        QTest::newRow("empty") << std::string() << false;
        QTest::newRow("large") << std::string(4096, '\n') << false;
    }

    void accessFileIsTrustedOnlyWhole()
    {
        QFETCH(std::string, content);
        QFETCH(bool, taken);
        const std::string file = m_runtime.filePath(QStringLiteral("access")).toStdString();
        std::ofstream(file, std::ios::binary) << content;
        QCOMPARE(readShareAccessFile(file).has_value(), taken);
    }

private:
    QTemporaryDir m_runtime;
};

QTEST_MAIN(TestLineSharing)
#include "tst_linesharing.moc"
