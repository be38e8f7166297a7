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
    { }

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

// Only Exit or closing the main window ends the program. Qt would also quit when the last visible
// window closes, and while the main window lives in the notification area that is any message box
// the operator acknowledges.
class QuitWithMainWindow final : public QObject
{
public:
    explicit QuitWithMainWindow(QWidget *mainWindow)
        : QObject(mainWindow)
        , m_mainWindow(mainWindow)
    {
        mainWindow->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_mainWindow && event->type() == QEvent::Close) {
            // Decided once the close has run: a window that refused to close stays.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (!m_mainWindow->isVisible())
                        QCoreApplication::quit();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    QWidget *m_mainWindow;
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
    // Boxes shown at start-up and from the notification area must not end the program either.
    QApplication::setQuitOnLastWindowClosed(false);

    SharedState state;
    SystemClock clock;
    const std::filesystem::path programFolder =
        QCoreApplication::applicationDirPath().toStdU16String();

    MainWindowEnvironment environment { state, clock, dialogs };
    environment.settingsPath = dataPath(programFolder, kSettingsFileName);
    const std::string portsFolder = dataPath(programFolder, kPortsFolderName).string();
    environment.hostPorts = [portsFolder] {
        return discoverHostPorts(portsFolder);
    };

    TForm1 form1(std::move(environment));
    new QuitWithMainWindow(&form1);
    TForm2 form2(&form1);
    QObject::connect(&form1, &TForm1::aboutRequested, &form2, &QDialog::exec);

    form1.show();
    return application.exec();
}
