#include <QtTest>

#include "settings/inifile.h"
#include "settings/profileinteger.h"
#include "settings/settingskeys.h"

using relaybox::IniFile;
using relaybox::Settings;

namespace {

std::string bytes(const QByteArray &text)
{
    return text.toStdString();
}

QByteArray qbytes(const std::string &text)
{
    return QByteArray(text.data(), qsizetype(text.size()));
}

} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT

private slots:
    void profileInteger_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");

        QTest::newRow("zero") << QByteArray("0") << true << 0;
        QTest::newRow("two") << QByteArray("2") << true << 2;
        QTest::newRow("negative") << QByteArray("-1") << true << -1;
        QTest::newRow("plus sign") << QByteArray("+5") << true << 5;
        QTest::newRow("leading zeros") << QByteArray("007") << true << 7;
        QTest::newRow("largest") << QByteArray("2147483647") << true << 2147483647;
        QTest::newRow("smallest") << QByteArray("-2147483648") << true << int(-2147483648LL);
        QTest::newRow("hex 0x0") << QByteArray("0x0") << true << 0;
        QTest::newRow("hex 0x10") << QByteArray("0x10") << true << 16;
        QTest::newRow("hex upper X, mixed case") << QByteArray("0X1fA") << true << 0x1fa;
        QTest::newRow("hex all ones is -1") << QByteArray("0xFFFFFFFF") << true << -1;
        QTest::newRow("empty") << QByteArray("") << false << 0;
        QTest::newRow("word") << QByteArray("yes") << false << 0;
        QTest::newRow("0x alone") << QByteArray("0x") << false << 0;
        QTest::newRow("hex, bad digit") << QByteArray("0xg") << false << 0;
        QTest::newRow("hex, signed") << QByteArray("0x-1") << false << 0;
        QTest::newRow("hex, plus") << QByteArray("0x+1") << false << 0;
        QTest::newRow("hex, 33 bits") << QByteArray("0x100000000") << false << 0;
        QTest::newRow("decimal overflow") << QByteArray("2147483648") << false << 0;
        QTest::newRow("trailing text") << QByteArray("12abc") << false << 0;
        QTest::newRow("inner blank") << QByteArray("1 2") << false << 0;
        QTest::newRow("two signs") << QByteArray("+-1") << false << 0;
        QTest::newRow("two minus signs") << QByteArray("--1") << false << 0;
        QTest::newRow("minus hex") << QByteArray("-0x10") << false << 0;
    }

    void profileInteger()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        QFETCH(int, value);

        const auto parsed = relaybox::parseProfileInteger(bytes(text));
        QCOMPARE(parsed.has_value(), valid);
        if (valid)
            QCOMPARE(*parsed, value);
    }

    void value_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QByteArray>("value");

        QTest::newRow("LF") << QByteArray("[Form]\nAuto=0\nPrompt=1") << QByteArray("Form")
                            << QByteArray("Prompt") << true << QByteArray("1");
        QTest::newRow("CR LF") << QByteArray("[Form]\r\nAuto=0\r\nPrompt=1\r\n")
                               << QByteArray("Form") << QByteArray("Auto") << true
                               << QByteArray("0");
        QTest::newRow("names without letter case")
            << QByteArray("[fORM]\nSETRTC=1\n") << QByteArray("Form") << QByteArray("SetRTC")
            << true << QByteArray("1");
        QTest::newRow("blanks around name and value")
            << QByteArray("  [ Form ]  \n\t Auto \t=  7 \n") << QByteArray("Form")
            << QByteArray("Auto") << true << QByteArray("7");
        QTest::newRow("empty value is present")
            << QByteArray("[Form]\nAuto=\n") << QByteArray("Form") << QByteArray("Auto") << true
            << QByteArray("");
        QTest::newRow("value keeps later equals signs")
            << QByteArray("[Form]\nA=b=c\n") << QByteArray("Form") << QByteArray("A") << true
            << QByteArray("b=c");
        QTest::newRow("first section of that name")
            << QByteArray("[Form]\nA=1\n[form]\nA=2\n") << QByteArray("Form") << QByteArray("A")
            << true << QByteArray("1");
        QTest::newRow("first key of that name")
            << QByteArray("[Form]\nA=1\na=2\n") << QByteArray("Form") << QByteArray("A") << true
            << QByteArray("1");
        QTest::newRow("key of another section")
            << QByteArray("[Other]\nAuto=0\n[Form]\nPrompt=1\n") << QByteArray("Form")
            << QByteArray("Auto") << false << QByteArray();
        QTest::newRow("key before any section")
            << QByteArray("Auto=0\n[Form]\n") << QByteArray("Form") << QByteArray("Auto") << false
            << QByteArray();
        QTest::newRow("no such section") << QByteArray("[Other]\nAuto=0\n") << QByteArray("Form")
                                         << QByteArray("Auto") << false << QByteArray();
        QTest::newRow("comment line") << QByteArray("[Form]\n;Auto=0\n") << QByteArray("Form")
                                      << QByteArray("Auto") << false << QByteArray();
        QTest::newRow("unclosed section header is no section")
            << QByteArray("[Form\nAuto=0\n") << QByteArray("Form") << QByteArray("Auto") << false
            << QByteArray();
        QTest::newRow("over-long line is not read")
            << QByteArray("[Form]\nAuto=").append(QByteArray(2100, '1')).append("\n")
            << QByteArray("Form") << QByteArray("Auto") << false << QByteArray();
        QTest::newRow("line of exactly 2047 is read")
            << QByteArray("[Form]\nA=").append(QByteArray(2045, '1')) << QByteArray("Form")
            << QByteArray("A") << true << QByteArray(2045, '1');
        QTest::newRow("UTF-8 byte-order mark before the section")
            << QByteArray("\xEF\xBB\xBF[Form]\r\nAuto=0\r\n") << QByteArray("Form")
            << QByteArray("Auto") << true << QByteArray("0");
        QTest::newRow("byte-order mark later in the file is text")
            << QByteArray("[Other]\n\xEF\xBB\xBF[Form]\nAuto=0\n") << QByteArray("Form")
            << QByteArray("Auto") << false << QByteArray();
        QTest::newRow("nul bytes are text")
            << QByteArray("[Form]\n\0x=1\nAuto=3", 18) << QByteArray("Form") << QByteArray("Auto")
            << true << QByteArray("3");
    }

    void value()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(bool, found);
        QFETCH(QByteArray, value);

        const auto read = IniFile(bytes(content)).value(bytes(section), bytes(key));
        QCOMPARE(read.has_value(), found);
        if (found)
            QCOMPARE(qbytes(*read), value);
    }

    void setValue_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("rewritten with the key as written")
            << QByteArray("[Form]\nAuto=0\nChkExist=1") << QByteArray("auto")
            << QByteArray("[Form]\nauto=9\nChkExist=1");
        QTest::newRow("CR LF and blanks of other lines kept")
            << QByteArray("[Form]\r\n Auto = 0 \r\n  X =1\r\n") << QByteArray("Auto")
            << QByteArray("[Form]\r\nAuto=9\r\n  X =1\r\n");
        QTest::newRow("last line without line end")
            << QByteArray("[Form]\nAuto=0") << QByteArray("Auto") << QByteArray("[Form]\nAuto=9");
        QTest::newRow("absent key goes to the end of its section")
            << QByteArray("[Form]\nA=1\n\n[Other]\nB=2\n") << QByteArray("C")
            << QByteArray("[Form]\nA=1\nC=9\n\n[Other]\nB=2\n");
        QTest::newRow("absent key after a last line without line end")
            << QByteArray("[Form]\nA=1") << QByteArray("C") << QByteArray("[Form]\nA=1\nC=9");
        QTest::newRow("absent key in a CR LF file")
            << QByteArray("[Form]\r\nA=1\r\n") << QByteArray("C")
            << QByteArray("[Form]\r\nA=1\r\nC=9\r\n");
        QTest::newRow("absent key in an empty section")
            << QByteArray("[Form]\n[Other]\n") << QByteArray("C")
            << QByteArray("[Form]\nC=9\n[Other]\n");
        QTest::newRow("same key of another section untouched")
            << QByteArray("[Other]\nC=1\n[Form]\n") << QByteArray("C")
            << QByteArray("[Other]\nC=1\n[Form]\nC=9\n");
        QTest::newRow("absent section appended") << QByteArray("[Other]\nB=2") << QByteArray("C")
                                                 << QByteArray("[Other]\nB=2\n[Form]\nC=9\n");
        QTest::newRow("empty file")
            << QByteArray("") << QByteArray("C") << QByteArray("[Form]\nC=9\n");
        QTest::newRow("over-long line kept, key added after it")
            << QByteArray("[Form]\nC=").append(QByteArray(3000, 'x')).append('\n')
            << QByteArray("C")
            << QByteArray("[Form]\nC=").append(QByteArray(3000, 'x')).append("\nC=9\n");
        QTest::newRow("odd bytes kept")
            << QByteArray("\xff\0=\r\r\n[Form]\nC=1\n;c\n", 20) << QByteArray("C")
            << QByteArray("\xff\0=\r\r\n[Form]\nC=9\n;c\n", 20);
        QTest::newRow("byte-order mark kept, its section found")
            << QByteArray("\xEF\xBB\xBF[Form]\nC=1\n") << QByteArray("C")
            << QByteArray("\xEF\xBB\xBF[Form]\nC=9\n");
        QTest::newRow("byte-order mark alone") << QByteArray("\xEF\xBB\xBF") << QByteArray("C")
                                               << QByteArray("\xEF\xBB\xBF[Form]\nC=9\n");
        QTest::newRow("line break in a key is cut")
            << QByteArray("[Form]\n") << QByteArray("C\nD=5") << QByteArray("[Form]\nC=9\n");
    }

    void setValue()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, expected);

        IniFile file(bytes(content));
        file.setValue("Form", bytes(key), "9");
        QCOMPARE(qbytes(file.content()), expected);
    }

    void untouchedContentIsKept_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("one line end") << QByteArray("\n");
        QTest::newRow("mixed line ends") << QByteArray("a\r\nb\nc\r\r\n\rd");
        QTest::newRow("nul and high bytes") << QByteArray("\0\xff\n[\0]\n", 7);
    }

    void untouchedContentIsKept()
    {
        QFETCH(QByteArray, content);
        QCOMPARE(qbytes(IniFile(bytes(content)).content()), content);
    }

    // comPort, autoConnect, prompt, comMeg, setRtc, restoreStatus as one row of digits.
    void readSettings_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("portCount");
        QTest::addColumn<QString>("expected");

        QTest::newRow("fallback content")
            << QByteArray(relaybox::kFallbackSettingsContent.data()) << 3 << "0 01111";
        QTest::newRow("only ComPort=2: every switch on")
            << QByteArray("[Form]\nComPort=2") << 3 << "2 11111";
        QTest::newRow("no section: defaults") << QByteArray("Auto=0\nComPort=1") << 3 << "0 11111";
        QTest::newRow("SetRTC 2 is on, yes is the default, 0x0 is off")
            << QByteArray("[Form]\nSetRTC=2\nPrompt=yes\nComMeg=0x0\nAuto=0") << 3 << "0 01011";
        QTest::newRow("empty values take the defaults")
            << QByteArray("[Form]\nAuto=\nComPort=\nPrompt=\n") << 3 << "0 11111";
        QTest::newRow("lower-case keys written by a save")
            << QByteArray("[Form]\nauto=0\ncomport=1\n") << 3 << "1 01111";
        QTest::newRow("CR LF file")
            << QByteArray("[Form]\r\nComPort=3\r\nAuto=0\r\nRestoreStatus=0\r\n") << 3 << "3 01110";
        QTest::newRow("port equal to the count stays")
            << QByteArray("[Form]\nComPort=3") << 3 << "3 11111";
        QTest::newRow("port above the count is 0")
            << QByteArray("[Form]\nComPort=4") << 3 << "0 11111";
        QTest::newRow("port -1 is 0") << QByteArray("[Form]\nComPort=-1") << 3 << "0 11111";
        QTest::newRow("port 0xFFFFFFFF is 0")
            << QByteArray("[Form]\nComPort=0xFFFFFFFF") << 3 << "0 11111";
        QTest::newRow("port 0x10 with 16 ports")
            << QByteArray("[Form]\nComPort=0x10") << 16 << "16 11111";
        QTest::newRow("port with no host ports")
            << QByteArray("[Form]\nComPort=1") << 0 << "0 11111";
    }

    void readSettings()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, portCount);
        QFETCH(QString, expected);

        const Settings s = relaybox::readSettings(IniFile(bytes(content)), unsigned(portCount));
        const auto bit = [](bool on) {
            return on ? QLatin1Char('1') : QLatin1Char('0');
        };
        const QString got = QString::number(s.comPort) + QLatin1Char(' ') + bit(s.autoConnect)
            + bit(s.prompt) + bit(s.comMeg) + bit(s.setRtc) + bit(s.restoreStatus);
        QCOMPARE(got, expected);
    }

    void writeSettings_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("over the fallback content")
            << QByteArray(relaybox::kFallbackSettingsContent.data())
            << QByteArray("[Form]\nComPort=12\nChkExist=1\nauto=1\nPrompt=0\nComMeg=0\n"
                          "SetRTC=1\nRestoreStatus=0");
        QTest::newRow("into an empty file, in writing order")
            << QByteArray()
            << QByteArray("[Form]\nauto=1\nComPort=12\nPrompt=0\nComMeg=0\n"
                          "SetRTC=1\nRestoreStatus=0\n");
    }

    void writeSettings()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, expected);

        IniFile file(bytes(content));
        relaybox::writeSettings(file, Settings { 12, true, false, false, true, false });
        QCOMPARE(qbytes(file.content()), expected);
    }
};

QTEST_APPLESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
