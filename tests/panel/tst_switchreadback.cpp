#include <QtTest>

#include "panel/switchreadback.h"

using namespace relaybox;

// Each row plays a script of events and reads one bank's eight marks: "." none, "P" pending,
// "U" unconfirmed. Events: "n3" bank count 3, "w/O012\" frame written, "s1 COCCCCCC" status
// of bank 1, "a1 2" click on bank 1 port 2, "r" link reset.
class TestSwitchReadback : public QObject
{
    Q_OBJECT

private slots:
    void marks_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("bank");
        QTest::addColumn<QString>("marks");

        const QString wrote = QStringLiteral("n2;w/O012\\");
        const QString stuck = wrote + QStringLiteral(";s1 CCCCCCCC;s1 CCCCCCCC");
        QTest::newRow("written: pending") << wrote << 1 << ".P......";
        QTest::newRow("status shows it: gone") << wrote + ";s1 COCCCCCC" << 1 << "........";
        QTest::newRow("one old status: still pending") << wrote + ";s1 CCCCCCCC" << 1 << ".P......";
        QTest::newRow("late but followed") << wrote + ";s1 CCCCCCCC;s1 COCCCCCC" << 1 << "........";
        QTest::newRow("two old statuses: unconfirmed") << stuck << 1 << ".U......";
        QTest::newRow("unconfirmed stays") << stuck + ";s1 CCCCCCCC" << 1 << ".U......";
        QTest::newRow("unconfirmed until it changes") << stuck + ";s1 COCCCCCC" << 1 << "........";
        QTest::newRow("click acknowledges") << stuck + ";a1 2" << 1 << "........";
        QTest::newRow("click on another port") << stuck + ";a1 3" << 1 << ".U......";
        QTest::newRow("sent again: pending anew")
            << stuck + ";w/O012\\;s1 CCCCCCCC" << 1 << ".P......";
        QTest::newRow("other bank's statuses")
            << wrote + ";s2 CCCCCCCC;s2 CCCCCCCC" << 1 << ".P......";
        QTest::newRow("bank off, some already off") << "n2;w/F020\\;s2 OCCCCCCO" << 2 << "P......P";
        QTest::newRow("all banks") << "n2;w/O000\\" << 2 << "PPPPPPPP";
        QTest::newRow("all banks: only the count") << "n2;w/O000\\;n3" << 3 << "........";
        QTest::newRow("bank beyond the count") << "n2;w/O031\\" << 3 << "........";
        QTest::newRow("count shrinks") << "n3;w/O031\\;n2;n3" << 3 << "........";
        QTest::newRow("switched by a timer") << "n2;s1 OOOOOOOO;s1 CCCCCCCC" << 1 << "........";
        QTest::newRow("link reset") << stuck + ";w/O013\\;r;n2" << 1 << "........";
        QTest::newRow("not switching frames")
            << "n2;w/C\\;w/Q0121\\;w/O001\\;w/O171\\;w/O01x\\;w/O019\\;w/O0120\\" << 1
            << "........";
        QTest::newRow("short letters read as off") << "n2;w/F011\\;s1 O" << 1 << "P.......";
        QTest::newRow("short letters confirm off") << "n2;w/F012\\;s1 O" << 1 << "........";
    }

    void marks()
    {
        QFETCH(QString, script);
        QFETCH(int, bank);
        QFETCH(QString, marks);
        SwitchReadback readback;
        for (const QString &event : script.split(QLatin1Char(';'))) {
            const QString rest = event.mid(1);
            switch (event.at(0).toLatin1()) {
            case 'n':
                readback.setBankCount(rest.toInt());
                break;
            case 'w':
                readback.frameWritten(rest.toStdString());
                break;
            case 's':
                readback.statusArrived(rest.section(QLatin1Char(' '), 0, 0).toInt(),
                                       rest.section(QLatin1Char(' '), 1).toStdString());
                break;
            case 'a':
                readback.acknowledge(rest.section(QLatin1Char(' '), 0, 0).toInt(),
                                     rest.section(QLatin1Char(' '), 1).toInt());
                break;
            case 'r':
                readback.clear();
                break;
            default:
                QFAIL(qPrintable("unknown event " + event));
            }
        }
        QString seen;
        for (int port = 1; port <= 8; ++port) {
            const SwitchMark mark = readback.mark(bank, port);
            seen += mark == SwitchMark::Pending ? 'P' : mark == SwitchMark::Unconfirmed ? 'U' : '.';
        }
        QCOMPARE(seen, marks);
    }
};

QTEST_APPLESS_MAIN(TestSwitchReadback)
#include "tst_switchreadback.moc"
