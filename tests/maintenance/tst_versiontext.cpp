#include <QtTest>

#include "common/scripteddialogs.h"
#include "maintenance/bankversiondisplay.h"
#include "maintenance/versiontext.h"

using namespace relaybox;

class TestVersionText : public QObject
{
    Q_OBJECT

private slots:
    void message_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("1203") << "1203"
                              << "Firmware Version: 1.2.3";
        QTest::newRow("1234") << "1234"
                              << "Firmware Version: 1.2.34";
        QTest::newRow("characters after four ignored") << "12345"
                                                       << "Firmware Version: 1.2.34";
        QTest::newRow("letters after four ignored") << "1203abc"
                                                    << "Firmware Version: 1.2.3";
        QTest::newRow("three digits") << "123"
                                      << "Firmware Version: 1.2.3";
        QTest::newRow("build then a letter") << "123x"
                                             << "Firmware Version: 1.2.3";
        QTest::newRow("blanks before each number") << " 1 2 03"
                                                   << "Firmware Version: 1.2.3";
        QTest::newRow("pending") << "Wait a minute"
                                 << "Wait a minute";
        QTest::newRow("pending in other case") << "wait a minute"
                                               << "Firmware Version: unknown";
        QTest::newRow("empty") << ""
                               << "Firmware Version: unknown";
        QTest::newRow("letters") << "abcd"
                                 << "Firmware Version: unknown";
        QTest::newRow("two digits") << "12"
                                    << "Firmware Version: unknown";
        QTest::newRow("letter in the middle") << "1a23"
                                              << "Firmware Version: unknown";
        QTest::newRow("sign") << "12-3"
                              << "Firmware Version: unknown";
        QTest::newRow("dotted") << "1.2.3"
                                << "Firmware Version: unknown";
    }

    void message()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        QCOMPARE(QString::fromStdString(bankVersionMessage(text.toStdString())), message);
    }

    void title_data()
    {
        QTest::addColumn<int>("bank");
        QTest::addColumn<QString>("title");
        QTest::newRow("bank 3 with its space") << 3 << "Bank 3 Version";
        QTest::newRow("bank 16") << 16 << "Bank16 Version";
    }

    void title()
    {
        QFETCH(int, bank);
        QFETCH(QString, title);
        QCOMPARE(QString::fromStdString(bankVersionTitle(bank)), title);
    }

    // The box shows the stored text of the bank asked for, with no icon, and nothing else.
    void showBankVersion()
    {
        SharedState state;
        state.storeVersionText(1, "1203");
        state.storeVersionText(4, "Wait a minute");
        testing::ScriptedDialogs dialogs;
        BankVersionDisplay display(state, dialogs);
        display.ShowBankVersion(4);
        display.ShowBankVersion(1);
        display.ShowBankVersion(2);
        display.ShowBankVersion(99); // no such record
        QCOMPARE(
            dialogs.messages,
            (QStringList { "Bank 4 Version|Wait a minute", "Bank 1 Version|Firmware Version: 1.2.3",
                           "Bank 2 Version|Firmware Version: unknown",
                           "Bank99 Version|Firmware Version: unknown" }));
        QCOMPARE(dialogs.icons, std::vector<MessageIcon>(4, MessageIcon::None));
    }
};

QTEST_APPLESS_MAIN(TestVersionText)
#include "tst_versiontext.moc"
