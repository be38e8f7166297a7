#include <QSignalSpy>
#include <QtTest>

#include "common/fakeserialport.h"
#include "common/scripteddialogs.h"
#include "common/sharedstateaccess.h"
#include "link/frames.h"
#include "link/linkcontroller.h"

using namespace relaybox;
using relaybox::testing::FakeLine;
using relaybox::testing::locked;

// While a firmware upload holds the line, the link writes nothing but the upload's own bytes,
// whoever asks; the hold ends with the upload or with the link.
class TestUploadGate : public QObject
{
    Q_OBJECT

private slots:
    void onlyTheUploadWrites_data()
    {
        QTest::addColumn<QString>("end"); // how the hold ends
        QTest::addColumn<bool>("portOpenAfter");
        QTest::newRow("upload ended") << "endUpload" << true;
        QTest::newRow("disconnect") << "closeLink" << false;
        QTest::newRow("link lost") << "linkLost" << false;
    }

    void onlyTheUploadWrites()
    {
        QFETCH(QString, end);
        QFETCH(bool, portOpenAfter);
        SharedState state;
        FixedClock clock;
        testing::ScriptedDialogs dialogs;
        auto line = std::make_shared<FakeLine>();
        LinkController link(state, clock, dialogs, testing::fakePortFactory(line));
        QSignalSpy holds(&link, &LinkController::uploadHoldsLineChanged);
        const char byte = 'x';
        QVERIFY(!link.sendUploadBytes(&byte, 1)); // no upload, no upload bytes
        QVERIFY(link.startLink("fake"));
        const std::size_t before = line->written().size();

        link.beginUpload();
        QVERIFY(link.uploadHoldsLine());
        QVERIFY(!link.sendFrame(frames::portSwitch(true, 1, 1)));
        QVERIFY(!link.sendBytes(&byte, 1));
        link.tmQueryTimer(); // a poll that falls due
        locked(state, [](StateValues &v) { v.transferQueue = { "/S01A1\\", "/S01B1\\" }; });
        link.startOfLinkAnnouncement();
        const std::string start = frames::upgradeStart();
        QVERIFY(link.sendUploadBytes(start.data(), start.size()));
        QVERIFY(link.sendUploadBytes(&byte, 1));
        auto written = line->written();
        QCOMPARE(std::vector<std::string>(written.begin() + std::ptrdiff_t(before), written.end()),
                 (std::vector<std::string> { start, "x" }));

        if (end == "endUpload")
            link.endUpload();
        else if (end == "closeLink")
            link.closeLink();
        else
            link.linkLost();
        QVERIFY(!link.uploadHoldsLine());
        QCOMPARE(holds.size(), 2);
        QCOMPARE(holds.at(0).at(0).toBool(), true);
        QCOMPARE(holds.at(1).at(0).toBool(), false);
        QCOMPARE(link.isPortOpen(), portOpenAfter);
        QVERIFY(!link.sendUploadBytes(&byte, 1));
        QCOMPARE(link.sendFrame(frames::statusPoll()), portOpenAfter);

        // A closed link cannot be held.
        if (!portOpenAfter) {
            link.beginUpload();
            QVERIFY(!link.uploadHoldsLine());
        }
    }
};

QTEST_MAIN(TestUploadGate)
#include "tst_uploadgate.moc"
