#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "common/fakeserialport.h"
#include "link/tform3.h"

// The detection dialog's keys and its close box, on an in-memory line.

using namespace relaybox;
using testing::FakeLine;

namespace {

struct Fixture
{
    explicit Fixture(bool answering)
    {
        if (answering) {
            line->responder = [](const std::string &frame) {
                return frame == "/uni\\" ? std::string("/xyz\\") : std::string();
            };
        }
        TForm3::Options options;
        options.portFactory = testing::fakePortFactory(line);
        options.pause = [this](std::chrono::milliseconds) {
            if (onPause)
                onPause();
        };
        dialog = std::make_unique<TForm3>(state, options);
        dialog->setSearch(&ports, 0, true);
    }

    SharedState state;
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    HostPortTable ports { std::vector<HostPort> {
        { "one", "a" }, { "two", "b" }, { "three", "c" } } };
    std::function<void()> onPause;
    std::unique_ptr<TForm3> dialog;
};

} // namespace

class TestTForm3 : public QObject
{
    Q_OBJECT

private slots:
    // There is no Cancel: Esc neither ends the search nor throws away the switch it found.
    void escapeIsIgnored()
    {
        Fixture f(true);
        QSignalSpy finished(f.dialog.get(), &QDialog::finished);
        f.dialog->show();
        f.dialog->Timer1Timer();
        QTest::keyClick(f.dialog.get(), Qt::Key_Escape);
        QVERIFY(f.dialog->isVisible());
        QCOMPARE(finished.count(), 0);
        f.dialog->findChild<QPushButton *>(QStringLiteral("BitBtn1"))->click();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), 1);
    }

    // Closed with its title-bar box during the search: the probe that runs ends, no port after it
    // is probed, and the result is not found.
    void closingMidSearchStopsProbing()
    {
        Fixture f(false);
        QSignalSpy finished(f.dialog.get(), &QDialog::finished);
        // As a click on the box, handled the next time the search lets events through.
        f.onPause = [&] {
            QMetaObject::invokeMethod(f.dialog.get(), &QWidget::close, Qt::QueuedConnection);
        };
        f.dialog->show();
        f.dialog->Timer1Timer();
        QCOMPARE(f.line->opens(), 1);
        QCOMPARE(f.dialog->searchResult(), int(TForm3::kNotFound));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Rejected));
    }

    // A dialog closed before its search timer fired searches nothing.
    void closedBeforeTheSearchProbesNothing()
    {
        Fixture f(true);
        f.dialog->show();
        f.dialog->close();
        QTest::qWait(100);
        QCOMPARE(f.line->opens(), 0);
    }
};

QTEST_MAIN(TestTForm3)
#include "tst_tform3.moc"
