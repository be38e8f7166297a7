#include <QtTest>

#include "sim/controlcommand.h"
#include "sim/devicemodel.h"
#include "tests/sim/devicedriver.h"

using namespace relaybox::sim;
using namespace std::chrono_literals;

class TestSimDevice : public QObject
{
    Q_OBJECT

private slots:
    void identifyAndVersions()
    {
        DeviceSettings settings = DeviceDriver::settings(3);
        settings.version = "0917";
        DeviceDriver device(settings);
        QCOMPARE(device.send("/uni\\"), QByteArray("/xyz\\"));
        QCOMPARE(device.send("/VER\\"), QByteArray("/V01 0917\\/V02 0917\\/V03 0917\\"));
    }

    void switching_data()
    {
        QTest::addColumn<QByteArray>("frames");
        QTest::addColumn<QString>("bank1");
        QTest::addColumn<QString>("bank2");
        QTest::addColumn<int>("rejects");

        QTest::newRow("port on") << QByteArray("/O013\\") << "CCOCCCCC"
                                 << "CCCCCCCC" << 0;
        QTest::newRow("bank on") << QByteArray("/O020\\") << "CCCCCCCC"
                                 << "OOOOOOOO" << 0;
        QTest::newRow("all on") << QByteArray("/O000\\") << "OOOOOOOO"
                                << "OOOOOOOO" << 0;
        QTest::newRow("all on, port off") << QByteArray("/O000\\/F018\\") << "OOOOOOOC"
                                          << "OOOOOOOO" << 0;
        QTest::newRow("all on, bank off") << QByteArray("/O000\\/F020\\") << "OOOOOOOO"
                                          << "CCCCCCCC" << 0;
        QTest::newRow("bank beyond the chain") << QByteArray("/O031\\") << "CCCCCCCC"
                                               << "CCCCCCCC" << 1;
        QTest::newRow("port 9") << QByteArray("/O019\\") << "CCCCCCCC"
                                << "CCCCCCCC" << 1;
        QTest::newRow("bank 00 with a port") << QByteArray("/O003\\") << "CCCCCCCC"
                                             << "CCCCCCCC" << 1;
        QTest::newRow("unknown frame") << QByteArray("/X013\\") << "CCCCCCCC"
                                       << "CCCCCCCC" << 1;
    }

    void switching()
    {
        QFETCH(QByteArray, frames);
        QFETCH(QString, bank1);
        QFETCH(QString, bank2);
        QFETCH(int, rejects);

        DeviceDriver device;
        QCOMPARE(device.send(frames), QByteArray()); // switching is never answered
        QCOMPARE(device.letters(1), bank1);
        QCOMPARE(device.letters(2), bank2);
        QCOMPARE(device.eventsStartingWith("REJECT ").size(), rejects);
    }

    void stuckRelayKeepsItsState()
    {
        DeviceDriver device;
        ControlCommand::run("stuck 1 3 on", device.model, device.now);
        device.send("/O010\\");
        QCOMPARE(device.letters(1), QString("OOCOOOOO"));
        ControlCommand::run("stuck 1 3 off", device.model, device.now);
        device.send("/O013\\");
        QCOMPARE(device.letters(1), QString("OOOOOOOO"));
    }

    void statusPoll_data()
    {
        QTest::addColumn<bool>("split");
        QTest::addColumn<bool>("clockFail");
        QTest::addColumn<QByteArray>("answer");

        QTest::newRow("full") << false << false
                              << QByteArray("/M2\\/S01 GGFGGGGG CCOCCCCC 3.5\\"
                                            "/S02 GGGGGGGG OOOOOOOO 12.3\\");
        QTest::newRow("split") << true << false
                               << QByteArray("/M2\\/S01 CCOCCCCC\\/C01 3.5\\"
                                             "/S02 OOOOOOOO\\/C02 12.3\\");
        QTest::newRow("full, clock failed")
            << false << true
            << QByteArray("/M2\\/S01 GGFGGGGG CCOCCCCC 3.5\\/S02 GGGGGGGG OOOOOOOO 12.3\\"
                          "/err\\");
    }

    void statusPoll()
    {
        QFETCH(bool, split);
        QFETCH(bool, clockFail);
        QFETCH(QByteArray, answer);

        DeviceDriver device;
        device.model.setStatusForm(split ? StatusForm::Split : StatusForm::Full);
        device.model.setClockFail(clockFail);
        QVERIFY(device.model.setCurrent(2, 12.25));
        QVERIFY(device.model.setFlag(1, 3, true));
        device.send("/O013\\/O020\\");
        QCOMPARE(device.send("/C\\"), answer);
    }

    void restoreSettingIsRememberedSilently()
    {
        DeviceDriver device;
        QCOMPARE(device.model.restoreStatus(), std::optional<bool>());
        QCOMPARE(device.send("/EN001\\"), QByteArray());
        QCOMPARE(device.model.restoreStatus(), std::optional<bool>(true));
        QCOMPARE(device.send("/DS001\\"), QByteArray());
        QCOMPARE(device.model.restoreStatus(), std::optional<bool>(false));
    }

    void scheduleReplies_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("reply");

        QTest::newRow("clear port") << QByteArray("/Q0231\\") << QByteArray("/Q0231\\");
        QTest::newRow("clear bank") << QByteArray("/Q0100\\") << QByteArray("/Q0100\\");
        QTest::newRow("clear all") << QByteArray("/Q0001\\") << QByteArray("/Q0001\\");
        QTest::newRow("entry port") << QByteArray("/T0231 0000430\\") << QByteArray("/E0231\\");
        QTest::newRow("entry bank") << QByteArray("/D0100 0010000\\") << QByteArray("/E0100\\");
        QTest::newRow("entry beyond the chain") << QByteArray("/T0331 0000430\\") << QByteArray();
        QTest::newRow("entry selector 2") << QByteArray("/T0232 0000430\\") << QByteArray();
        QTest::newRow("entry minute 60") << QByteArray("/T0231 0006000\\") << QByteArray();
        QTest::newRow("entry bank 00 with a port")
            << QByteArray("/T0031 0000430\\") << QByteArray();
        QTest::newRow("clear port 9") << QByteArray("/Q0291\\") << QByteArray();
    }

    void scheduleReplies()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, reply);
        DeviceDriver device;
        QCOMPARE(device.send(frame), reply);
        QCOMPARE(device.eventsStartingWith("REJECT ").size(), reply.isEmpty() ? 1 : 0);
    }

    void timersFire_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<int>("period"); // seconds until it acts again; 0: never

        QTest::newRow("T once") << QByteArray("/T0131 0000430\\") << 0;
        QTest::newRow("D daily") << QByteArray("/D0131 0000430\\") << 24 * 3600;
        QTest::newRow("W weekly") << QByteArray("/W0131 0000430\\") << 168 * 3600;
    }

    void timersFire()
    {
        QFETCH(QByteArray, entry);
        QFETCH(int, period);

        DeviceDriver device;
        QCOMPARE(device.send(entry), "/E0131\\");
        device.advanceClock(269s);
        QCOMPARE(device.letters(1), "CCCCCCCC");
        device.advanceClock(1s);
        QCOMPARE(device.letters(1), "CCOCCCCC");
        QCOMPARE(device.eventsStartingWith("TIMER FIRED"),
                 QStringList("TIMER FIRED " + entry.mid(1, 5) + " on at 2026-12-06 10:04:30"));

        // Switched off by hand, the port comes on again after one period, and only then.
        device.send("/F013\\");
        device.advanceClock(period ? std::chrono::seconds(period - 1) : 8 * 24h);
        QCOMPARE(device.letters(1), "CCCCCCCC");
        device.advanceClock(1s);
        QCOMPARE(device.letters(1), period ? "CCOCCCCC" : "CCCCCCCC");
        QCOMPARE(device.model.hasTimer(1, 3, 1), period != 0);
    }

    void timerRunsWithTheLine()
    {
        // Without any clock jump, time on the line alone brings a timer due.
        DeviceDriver device;
        device.send("/O010\\/T0110 0000010\\");
        device.wait(9999ms);
        QCOMPARE(device.letters(1), "OOOOOOOO");
        device.wait(1ms);
        QCOMPARE(device.letters(1), "COOOOOOO");
    }

    void timerAfterAClockJumpFiresOnce()
    {
        DeviceDriver device;
        device.send("/D0111 0000010\\"); // daily at 10:00:10
        device.advanceClock(30 * 24h); // 2027-01-05 10:00:00
        QCOMPARE(device.eventsStartingWith("TIMER FIRED").size(), 1);
        // It keeps its time of day: next at 10:00:10 after the jump, not thirty times at once.
        device.send("/F011\\");
        device.advanceClock(9s);
        QCOMPARE(device.letters(1), "CCCCCCCC");
        device.advanceClock(1s);
        QCOMPARE(device.letters(1), "OCCCCCCC");
        QCOMPARE(device.eventsStartingWith("TIMER FIRED").last(),
                 "TIMER FIRED D0111 on at 2027-01-05 10:00:10");
    }

    void scopedTimers_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<QString>("bank1");
        QTest::addColumn<QString>("bank2");

        QTest::newRow("bank on") << QByteArray("/T0201 0000010\\") << "CCCCCCCC"
                                 << "OOOOOOOO";
        QTest::newRow("all banks on") << QByteArray("/T0001 0000010\\") << "OOOOOOOO"
                                      << "OOOOOOOO";
        QTest::newRow("port off") << QByteArray("/O000\\/T0140 0000010\\") << "OOOCOOOO"
                                  << "OOOOOOOO";
        QTest::newRow("bank off") << QByteArray("/O000\\/T0100 0000010\\") << "CCCCCCCC"
                                  << "OOOOOOOO";
        QTest::newRow("cleared before it acts")
            << QByteArray("/T0201 0000010\\/Q0201\\") << "CCCCCCCC"
            << "CCCCCCCC";
        QTest::newRow("one port of a bank entry cleared")
            << QByteArray("/T0201 0000010\\/Q0251\\") << "CCCCCCCC"
            << "OOOOCOOO";
        QTest::newRow("power-off clear leaves power-on")
            << QByteArray("/T0201 0000010\\/Q0200\\") << "CCCCCCCC"
            << "OOOOOOOO";
        QTest::newRow("clear all banks") << QByteArray("/T0001 0000010\\/Q0001\\") << "CCCCCCCC"
                                         << "CCCCCCCC";
    }

    void scopedTimers()
    {
        QFETCH(QByteArray, entry);
        QFETCH(QString, bank1);
        QFETCH(QString, bank2);

        DeviceDriver device;
        device.send(entry);
        device.advanceClock(10s);
        QCOMPARE(device.letters(1), bank1);
        QCOMPARE(device.letters(2), bank2);
    }

    void reportTimers_data()
    {
        QTest::addColumn<QByteArray>("frames");
        QTest::addColumn<QByteArray>("report");

        QTest::newRow("none") << QByteArray() << QByteArray();
        QTest::newRow("port, 30 s later")
            << QByteArray("/T0231 0000430\\") << QByteArray("/T0231 000 04 00\\");
        QTest::newRow("bank entry once")
            << QByteArray("/D0100 0010000\\") << QByteArray("/D0100 000 59 30\\");
        QTest::newRow("all banks once")
            << QByteArray("/W0001 1670000\\") << QByteArray("/W0001 166 59 30\\");
        QTest::newRow("bank entry with one port cleared goes port by port")
            << QByteArray("/T0201 0000100\\/Q0231\\")
            << QByteArray("/T0211 000 00 30\\/T0221 000 00 30\\/T0241 000 00 30\\"
                          "/T0251 000 00 30\\/T0261 000 00 30\\/T0271 000 00 30\\"
                          "/T0281 000 00 30\\");
        QTest::newRow("both selectors in port order")
            << QByteArray("/T0120 0000200\\/D0121 0020000\\/T0111 0000100\\")
            << QByteArray("/T0111 000 00 30\\/D0121 001 59 30\\/T0120 000 01 30\\");
        QTest::newRow("bank entry overwritten on one port")
            << QByteArray("/D0201 0010000\\/T0231 0000100\\")
            << QByteArray("/D0211 000 59 30\\/D0221 000 59 30\\/T0231 000 00 30\\"
                          "/D0241 000 59 30\\/D0251 000 59 30\\/D0261 000 59 30\\"
                          "/D0271 000 59 30\\/D0281 000 59 30\\");
    }

    void reportTimers()
    {
        QFETCH(QByteArray, frames);
        QFETCH(QByteArray, report);

        DeviceDriver device;
        device.send(frames);
        device.wait(30s);
        QCOMPARE(device.model.reportTimers(device.now), int(report.count('/')));
        QCOMPARE(device.take(), report);
    }

    void reportRoundsUp()
    {
        DeviceDriver device;
        device.send("/T0111 9995959\\");
        device.wait(1500ms); // 999:59:57.5 left: shown as 999 59 58
        device.model.reportTimers(device.now);
        QCOMPARE(device.take(), "/T0111 999 59 58\\");
    }

    void clockSet_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("clockFail");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("clock"); // 1 s after the frame
        QTest::addColumn<QString>("event");

        QTest::newRow("accepted") << QByteArray("/SETTIME2026-12-06 21:30:05\\") << false
                                  << QByteArray() << "2026-12-06 21:30:06"
                                  << "CLOCK SET 2026-12-06 21:30:05";
        QTest::newRow("month 13") << QByteArray("/SETTIME2026-13-06 21:30:05\\") << false
                                  << QByteArray() << "2026-12-06 10:00:01"
                                  << "REJECT /SETTIME2026-13-06 21:30:05\\";
        QTest::newRow("clock failed") << QByteArray("/SETTIME2026-12-06 21:30:05\\") << true
                                      << QByteArray("/err\\") << "2026-12-06 10:00:01"
                                      << "CLOCK ERR 2026-12-06 21:30:05";
    }

    void clockSet()
    {
        QFETCH(QByteArray, frame);
        QFETCH(bool, clockFail);
        QFETCH(QByteArray, reply);
        QFETCH(QString, clock);
        QFETCH(QString, event);

        DeviceDriver device;
        device.model.setClockFail(clockFail);
        QCOMPARE(device.send(frame), reply);
        device.wait(1s);
        QCOMPARE(QString::fromStdString(formatCivil(device.model.clock(device.now))), clock);
        QCOMPARE(device.events.last(), event);
    }

    void clockSetMovesTimersWithIt()
    {
        // A timer keeps its moment on the switch's clock: setting the clock past it fires it.
        DeviceDriver device;
        device.send("/T0111 0010000\\"); // 11:00:00
        device.send("/SETTIME2026-12-06 10:59:59\\");
        QCOMPARE(device.letters(1), "CCCCCCCC");
        device.send("/SETTIME2026-12-06 11:00:00\\");
        QCOMPARE(device.letters(1), "OCCCCCCC");
    }

    void silentAnswersNothing()
    {
        DeviceSettings settings = DeviceDriver::settings();
        settings.silent = true;
        DeviceDriver device(settings);
        QCOMPARE(device.send("/uni\\/VER\\/C\\/T0111 0000010\\"), QByteArray());
        QCOMPARE(device.eventsStartingWith("RX ").size(), 4);
        device.model.setSilent(false);
        QCOMPARE(device.send("/uni\\"), "/xyz\\");
    }

    void driftStaysWithinRange()
    {
        DeviceSettings settings = DeviceDriver::settings(16);
        settings.drift = true;
        DeviceDriver device(settings);
        QSet<QString> seen;
        for (int second = 0; second < 600; ++second) {
            device.wait(1s);
            for (int bank = 1; bank <= 16; ++bank) {
                const double amps = device.model.current(bank);
                QVERIFY2(amps >= 0.0 && amps <= DeviceModel::kDriftCeiling,
                         qPrintable(QString::number(amps)));
            }
            seen << QString::number(device.model.current(1), 'f', 1);
        }
        QVERIFY2(seen.size() > 3, "the load does not drift");
    }

    void bankCountChange()
    {
        DeviceDriver device(DeviceDriver::settings(3));
        device.send("/T0311 0000010\\");
        QVERIFY(device.model.setBankCount(2));
        QCOMPARE(device.send("/C\\").left(4), "/M2\\");
        QVERIFY(!device.model.hasTimer(3, 1, 1)); // a bank that left forgets its timers
        QVERIFY(!device.model.setBankCount(0));
        QVERIFY(!device.model.setBankCount(17));
    }

    void controlCommands_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QByteArray>("sent");

        QTest::newRow("say") << "say M3"
                             << "OK say M3" << QByteArray("/M3\\");
        QTest::newRow("say keeps blanks")
            << "say S01  OOOOCCCC"
            << "OK say S01  OOOOCCCC" << QByteArray("/S01  OOOOCCCC\\");
        QTest::newRow("raw") << "raw 2f 78 79 7A 5c"
                             << "OK raw 2f 78 79 7A 5c" << QByteArray("/xyz\\");
        QTest::newRow("raw odd digits") << "raw 2f7"
                                        << "ERROR" << QByteArray();
        QTest::newRow("raw not hex") << "raw zz"
                                     << "ERROR" << QByteArray();
        QTest::newRow("banks 17") << "banks 17"
                                  << "ERROR" << QByteArray();
        QTest::newRow("current") << "current 2 7.5"
                                 << "OK current 2 7.5" << QByteArray();
        QTest::newRow("current too high") << "current 2 100"
                                          << "ERROR" << QByteArray();
        QTest::newRow("flag port 9") << "flag 1 9 on"
                                     << "ERROR" << QByteArray();
        QTest::newRow("flag") << "  flag 1 2 on  "
                              << "OK flag 1 2 on" << QByteArray();
        QTest::newRow("advance negative") << "advance -5"
                                          << "ERROR" << QByteArray();
        QTest::newRow("unknown") << "explode"
                                 << "ERROR" << QByteArray();
        QTest::newRow("expect-image missing file") << "expect-image /nonexistent/image.x"
                                                   << "ERROR" << QByteArray();
    }

    void controlCommands()
    {
        QFETCH(QString, command);
        QFETCH(QString, reply);
        QFETCH(QByteArray, sent);

        DeviceDriver device;
        const ControlResult result =
            ControlCommand::run(command.toStdString(), device.model, device.now);
        const QString answer = QString::fromStdString(result.reply);
        if (reply == "ERROR")
            QVERIFY2(answer.startsWith("ERROR "), qPrintable(answer));
        else
            QCOMPARE(answer, reply);
        QCOMPARE(device.take(), sent);
    }

    void faultCommands()
    {
        DeviceDriver device;
        ControlCommand::run("garbage", device.model, device.now);
        QCOMPARE(device.take().size(), int(ControlCommand::kGarbageBytes));
        ControlCommand::run("longline", device.model, device.now);
        const QByteArray line = device.take();
        QCOMPARE(line.size(), int(ControlCommand::kLongLine) + 2);
        QVERIFY(line.startsWith("/S01 O") && line.endsWith("9\\"));
        QCOMPARE(line.count('/'), 1); // one line, nothing that restarts it
    }
};

QTEST_APPLESS_MAIN(TestSimDevice)
#include "tst_simdevice.moc"
