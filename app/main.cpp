// The program entry: the shared state, the windows in their order, the message loop.
#include <QApplication>
#include <exception>

#include "app/tform2.h"
#include "link/linkstate.h"
#include "panel/tform1.h"
#include "platform/datafolder.h"
#include "platform/hostportdiscovery.h"
#include "platform/qt/qtoperatordialogs.h"

namespace {

const QString kTitle = QStringLiteral("KESTRANE Relaybox Management");

// An exception that escapes an event handler is shown to the operator instead of ending the
// program.
class Application final : public QApplication
{
public:
    Application(int &argc, char **argv, relaybox::OperatorDialogs &dialogs)
        : QApplication(argc, argv)
        , m_dialogs(dialogs)
    {
    }

    bool notify(QObject *receiver, QEvent *event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception &error) {
            m_dialogs.message(kTitle, QString::fromLocal8Bit(error.what()),
                              relaybox::MessageIcon::Error);
        }
        return false;
    }

private:
    relaybox::OperatorDialogs &m_dialogs;
};

} // namespace

int main(int argc, char **argv)
{
    using namespace relaybox;
    QtOperatorDialogs dialogs;
    Application application(argc, argv, dialogs);
    // The identity names the operator's configuration folder (~/.config/kestrane/relaybox); the
    // window sets its own caption.
    application.setOrganizationName(QString::fromLatin1(kOrganizationFolderName));
    application.setApplicationName(QString::fromLatin1(kApplicationFolderName));
    application.setDesktopFileName(QStringLiteral("relaybox"));

    SharedState state;
    SystemClock clock;
    const std::filesystem::path programFolder =
        QCoreApplication::applicationDirPath().toStdU16String();

    MainWindowEnvironment environment { state, clock, dialogs };
    environment.settingsPath = dataPath(programFolder, kSettingsFileName);
    const std::string portsFolder = dataPath(programFolder, kPortsFolderName).string();
    environment.hostPorts = [portsFolder] { return discoverHostPorts(portsFolder); };

    TForm1 form1(std::move(environment));
    TForm2 form2(&form1);
    QObject::connect(&form1, &TForm1::aboutRequested, &form2, &QDialog::exec);

    form1.show();
    return application.exec();
}
