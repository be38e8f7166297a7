#include <QtTest>

#include "panel/panellogic.h"

using namespace relaybox;

class TestPanelLogic : public QObject
{
    Q_OBJECT

private slots:
    void layout_data()
    {
        QTest::addColumn<int>("banks");
        QTest::addColumn<QString>("panels"); // panel 1..3 and separator 1..2 shown, as 1/0
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("topAt100");
        QTest::addColumn<int>("scrollMaximum"); // 0: scroll bar hidden

        QTest::newRow("none") << 0 << "111 11" << 410 << true << 0;
        QTest::newRow("one") << 1 << "100 00" << 190 << false << 0;
        QTest::newRow("two") << 2 << "110 10" << 300 << false << 0;
        QTest::newRow("three") << 3 << "111 11" << 410 << true << 0;
        QTest::newRow("four") << 4 << "111 11" << 410 << true << 2;
        QTest::newRow("sixteen") << 16 << "111 11" << 410 << true << 14;
    }

    void layout()
    {
        QFETCH(int, banks);
        QFETCH(QString, panels);
        QFETCH(int, height);
        QFETCH(bool, topAt100);
        QFETCH(int, scrollMaximum);
        const BankLayout layout = layoutForBankCount(banks);
        const QString shown = QStringLiteral("%1%2%3 %4%5")
                                  .arg(int(layout.panels[0]))
                                  .arg(int(layout.panels[1]))
                                  .arg(int(layout.panels[2]))
                                  .arg(int(layout.separators[0]))
                                  .arg(int(layout.separators[1]));
        QCOMPARE(shown, panels);
        QCOMPARE(layout.windowHeight, height);
        QCOMPARE(layout.topAt100, topAt100);
        QCOMPARE(layout.scrollBarVisible ? layout.scrollMaximum : 0, scrollMaximum);
    }

    void currentDigits_data()
    {
        QTest::addColumn<float>("amperes");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");

        QTest::newRow("12.7") << 12.7f << 1 << 2;
        QTest::newRow("10.0 has no point") << 10.0f << 1 << 0;
        QTest::newRow("9.99") << 9.99f << 19 << 9;
        QTest::newRow("3.4") << 3.4f << 13 << 4;
        QTest::newRow("3.46") << 3.46f << 13 << 4;
        QTest::newRow("0.05") << 0.05f << 10 << 0;
        QTest::newRow("0.0") << 0.0f << 10 << 0;
        QTest::newRow("2.0") << 2.0f << 12 << 0;
        QTest::newRow("0.7") << 0.7f << 10 << 7;
        QTest::newRow("99.9") << 99.9f << 9 << 9;
        QTest::newRow("100 clamped") << 100.0f << 9 << 9;
        QTest::newRow("1e9 clamped") << 1e9f << 9 << 9;
        QTest::newRow("negative clamped") << -3.5f << 10 << 0;
        QTest::newRow("nan") << std::numeric_limits<float>::quiet_NaN() << 10 << 0;
    }

    void currentDigits()
    {
        QFETCH(float, amperes);
        QFETCH(int, first);
        QFETCH(int, second);
        QCOMPARE(relaybox::currentDigits(amperes), (CurrentDigits { first, second }));
    }

    void bankDigits_data()
    {
        QTest::addColumn<int>("bank");
        QTest::addColumn<int>("tens");
        QTest::addColumn<int>("units");
        QTest::newRow("7") << 7 << 0 << 7;
        QTest::newRow("12") << 12 << 1 << 2;
        QTest::newRow("16") << 16 << 1 << 6;
        QTest::newRow("10") << 10 << 1 << 0;
    }

    void bankDigits()
    {
        QFETCH(int, bank);
        QFETCH(int, tens);
        QFETCH(int, units);
        QCOMPARE(relaybox::bankDigits(bank), (BankDigits { tens, units }));
    }

    void lampIndexes()
    {
        QCOMPARE(lampIndex(false, false), 0);
        QCOMPARE(lampIndex(false, true), 1);
        QCOMPARE(lampIndex(true, false), 2);
        QCOMPARE(lampIndex(true, true), 3);
    }

    void tags_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<int>("panel");
        QTest::addColumn<int>("port");
        QTest::newRow("11") << 11 << 1 << 1;
        QTest::newRow("18") << 18 << 1 << 8;
        QTest::newRow("23") << 23 << 2 << 3;
        QTest::newRow("28") << 28 << 2 << 8;
        QTest::newRow("31") << 31 << 3 << 1;
        QTest::newRow("38") << 38 << 3 << 8;
    }

    void tags()
    {
        QFETCH(int, tag);
        QFETCH(int, panel);
        QFETCH(int, port);
        QCOMPARE(panelPortOfTag(tag), (PanelPort { panel, port }));
    }
};

QTEST_APPLESS_MAIN(TestPanelLogic)
#include "tst_panellogic.moc"
