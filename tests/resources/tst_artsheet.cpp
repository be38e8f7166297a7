#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Runs the relaybox-artsheet tool as a developer would.
class TestArtSheet : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writesTheContactSheet();
    void writesTheIcon();
    void rejectsBadArguments_data();
    void rejectsBadArguments();

private:
    int run(const QStringList &arguments);
    QString m_program;
    QTemporaryDir m_dir;
};

void TestArtSheet::initTestCase()
{
    m_program = qEnvironmentVariable("RELAYBOX_BIN_DIR") + QStringLiteral("/relaybox-artsheet");
    QVERIFY2(QFile::exists(m_program), qPrintable(m_program));
    QVERIFY(m_dir.isValid());
}

int TestArtSheet::run(const QStringList &arguments)
{
    QProcess process;
    process.start(m_program, arguments);
    if (!process.waitForFinished(60000))
        return -1;
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

void TestArtSheet::writesTheContactSheet()
{
    const QString path = m_dir.filePath(QStringLiteral("sheet.png"));
    QCOMPARE(run({ path }), 0);
    const QImage sheet(path);
    QVERIFY(!sheet.isNull());
    QVERIFY(sheet.width() >= 3 * 590); // the 3x panels fit
    QVERIFY(sheet.height() > 3 * 99 * 3);
}

void TestArtSheet::writesTheIcon()
{
    const QString path = m_dir.filePath(QStringLiteral("relaybox.png"));
    QCOMPARE(run({ QStringLiteral("--icon"), QStringLiteral("256"), path }), 0);
    QCOMPARE(QImage(path).size(), QSize(256, 256));
}

void TestArtSheet::rejectsBadArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("none") << QStringList();
    QTest::newRow("icon size not a number") << QStringList { "--icon", "big", "x.png" };
    QTest::newRow("icon size too large") << QStringList { "--icon", "100000", "x.png" };
    QTest::newRow("too many") << QStringList { "a.png", "b.png" };
}

void TestArtSheet::rejectsBadArguments()
{
    QFETCH(QStringList, arguments);
    QCOMPARE(run(arguments), 2);
}

QTEST_MAIN(TestArtSheet)
#include "tst_artsheet.moc"
