#include <QtTest>

#include "link/reply.h"

using namespace relaybox;

namespace {

const char *typeName(ReplyType type)
{
    switch (type) {
    case ReplyType::Ignored:
        return "Ignored";
    case ReplyType::ScheduleEntry:
        return "ScheduleEntry";
    case ReplyType::Spinner:
        return "Spinner";
    case ReplyType::BankCount:
        return "BankCount";
    case ReplyType::IdentifyAnswer:
        return "IdentifyAnswer";
    case ReplyType::ScheduleClear:
        return "ScheduleClear";
    case ReplyType::ClockError:
        return "ClockError";
    case ReplyType::ScheduleSet:
        return "ScheduleSet";
    case ReplyType::Success:
        return "Success";
    case ReplyType::LoaderFailure:
        return "LoaderFailure";
    case ReplyType::PortLetters:
        return "PortLetters";
    case ReplyType::Current:
        return "Current";
    case ReplyType::Completion:
        return "Completion";
    case ReplyType::Version:
        return "Version";
    case ReplyType::LoaderText:
        return "LoaderText";
    case ReplyType::LoaderPrompt:
        return "LoaderPrompt";
    case ReplyType::FullStatus:
        return "FullStatus";
    }
    return "?";
}

// One line of text that names the reply and every value it carries.
QString describe(const Reply &reply)
{
    QStringList parts { typeName(reply.type) };
    if (reply.number)
        parts << QStringLiteral("n=%1").arg(*reply.number);
    if (reply.switchLetters)
        parts << QStringLiteral("switch=%1").arg(QString::fromStdString(*reply.switchLetters));
    if (reply.timerLetters)
        parts << QStringLiteral("timer=%1").arg(QString::fromStdString(*reply.timerLetters));
    if (reply.current)
        parts << QStringLiteral("current=%1").arg(double(*reply.current));
    if (!reply.versionText.empty())
        parts << QStringLiteral("version=%1").arg(QString::fromStdString(reply.versionText));
    switch (reply.type) {
    case ReplyType::ScheduleEntry:
        parts << QStringLiteral("%1 %2/%3/%4 %5:%6:%7")
                     .arg(QChar::fromLatin1(reply.entry.letter))
                     .arg(reply.bank)
                     .arg(reply.port)
                     .arg(reply.selector)
                     .arg(reply.entry.hours)
                     .arg(reply.entry.minutes)
                     .arg(reply.entry.seconds);
        break;
    case ReplyType::ScheduleClear:
    case ReplyType::ScheduleSet:
        parts << QStringLiteral("%1/%2/%3").arg(reply.bank).arg(reply.port).arg(reply.selector);
        break;
    default:
        break;
    }
    return parts.join(' ');
}

} // namespace

class TestReplies : public QObject
{
    Q_OBJECT

private slots:
    void classify_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("reply");

        // Schedule entry replies come before every word rule.
        QTest::newRow("entry") << "T0110 002 30 15"
                               << "ScheduleEntry T 1/1/0 2:30:15";
        QTest::newRow("entry daily") << "D1681 000 00 05"
                                     << "ScheduleEntry D 16/8/1 0:0:5";
        QTest::newRow("entry without blanks") << "W01110500000"
                                              << "ScheduleEntry W 1/1/1 50:0:0";
        QTest::newRow("entry cut short") << "T0110 002 30"
                                         << "Ignored";
        QTest::newRow("Timer word dropped") << "Timer set ok"
                                            << "Ignored";
        QTest::newRow("D word dropped") << "DS001"
                                        << "Ignored";

        // One word.
        QTest::newRow("spinner bar") << "|"
                                     << "Spinner";
        QTest::newRow("spinner hyphen") << "-x"
                                        << "Spinner";
        QTest::newRow("spinner slash (raw mode only)") << "/"
                                                       << "Spinner";
        QTest::newRow("spinner backslash") << "\\"
                                           << "Spinner";
        QTest::newRow("bank count") << "M3"
                                    << "BankCount n=3";
        QTest::newRow("bank count without digits") << "Mx"
                                                   << "BankCount";
        QTest::newRow("bank count 17 is parsed as such") << "M17"
                                                         << "BankCount n=17";
        QTest::newRow("identify") << "xyz"
                                  << "IdentifyAnswer";
        QTest::newRow("identify is exact") << "xyzz"
                                           << "Ignored";
        QTest::newRow("clear") << "Q0231"
                               << "ScheduleClear 2/3/1";
        QTest::newRow("clear all banks") << "Q0000"
                                         << "ScheduleClear 0/0/0";
        QTest::newRow("clear without digits") << "Q02"
                                              << "Ignored";
        QTest::newRow("clock error") << "err"
                                     << "ClockError";
        QTest::newRow("set") << "E0231"
                             << "ScheduleSet 2/3/1";
        QTest::newRow("success") << "OK"
                                 << "Success";
        QTest::newRow("fail") << "Fail"
                              << "LoaderFailure";
        QTest::newRow("loader answer") << "abc"
                                       << "LoaderFailure";
        QTest::newRow("other word") << "hello"
                                    << "Ignored";

        // Two words.
        QTest::newRow("switch letters") << "S01 CCOOCCCC"
                                        << "PortLetters n=1 switch=CCOOCCCC";
        QTest::newRow("timer letters") << "S01 GGFGGGGG"
                                       << "PortLetters n=1 timer=GGFGGGGG";
        QTest::newRow("letters cut to the word limit") << "S01 OOOOOOOOOOOOOOOOOOOO"
                                                       << "PortLetters n=1 switch=OOOOOOOOOOOOOO";
        QTest::newRow("letters without bank") << "S CCCCCCCO"
                                              << "PortLetters switch=CCCCCCCO";
        QTest::newRow("current") << "C03 12.3"
                                 << "Current n=3 current=12.3";
        QTest::newRow("current with sign") << "C03 +1.5"
                                           << "Current n=3 current=1.5";
        QTest::newRow("current not a number") << "C03 abc"
                                              << "Current n=3";
        QTest::newRow("current nan") << "C03 nan"
                                     << "Current n=3";
        QTest::newRow("current inf") << "C03 inf"
                                     << "Current n=3";
        QTest::newRow("version") << "V01 1203"
                                 << "Version n=1 version=1203";
        QTest::newRow("V01 OK is completion") << "V01 OK"
                                              << "Completion";
        QTest::newRow("S01 OK is letters") << "S01 OK"
                                           << "PortLetters n=1 switch=OK";
        QTest::newRow("completion") << "Upgrade OK"
                                    << "Completion";
        QTest::newRow("other two words") << "hello there"
                                         << "Ignored";

        // Three words.
        QTest::newRow("loader banner") << "Kavtron Loader V2"
                                       << "LoaderText";
        QTest::newRow("other three words") << "a b c"
                                           << "Ignored";

        // Four words, and longer lines taken as their first four.
        QTest::newRow("firmware ignored") << "Firmware is now running"
                                          << "Ignored";
        QTest::newRow("prompt") << "Please send firmware image"
                                << "LoaderPrompt";
        QTest::newRow("start ignored") << "Start of the loader"
                                       << "Ignored";
        QTest::newRow("loader serial") << "Serial port at 9600"
                                       << "LoaderText";
        QTest::newRow("loader check") << "Check flash memory OK"
                                      << "LoaderText";
        QTest::newRow("version completion") << "Version 1.2.4 loaded OK"
                                            << "Completion";
        QTest::newRow("version prefix") << "Versions a b c"
                                        << "Completion";
        QTest::newRow("full status timers first")
            << "S02 GGGGGGGG OOOOCCCC 3.5"
            << "FullStatus n=2 switch=OOOOCCCC timer=GGGGGGGG current=3.5";
        QTest::newRow("full status switches first")
            << "S02 OOOOCCCC GGFGGGGG 0.25"
            << "FullStatus n=2 switch=OOOOCCCC timer=GGFGGGGG current=0.25";
        QTest::newRow("full status bad current") << "S02 GGGGGGGG OOOOCCCC x"
                                                 << "FullStatus n=2 switch=OOOOCCCC timer=GGGGGGGG";
        QTest::newRow("five words") << "Please send the image now"
                                    << "LoaderPrompt";
        QTest::newRow("blanks only") << "   "
                                     << "Ignored";
        QTest::newRow("tabs split words") << "S01\tCCCCCCCO"
                                          << "PortLetters n=1 switch=CCCCCCCO";
    }

    void classify()
    {
        QFETCH(QString, line);
        QFETCH(QString, reply);
        const std::string text = line.toStdString();
        QCOMPARE(describe(parseReply(text)), reply);
    }
};

QTEST_APPLESS_MAIN(TestReplies)
#include "tst_replies.moc"
