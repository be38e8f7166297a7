#include <QtTest>

#include <filesystem>
#include <fstream>

#include "platform/hostports.h"
#include "platform/localportsources.h"

using namespace relaybox;

namespace {

QStringList names(const HostPortTable &table)
{
    QStringList list;
    for (int slot = 1; slot <= table.count(); ++slot)
        list << QString::fromStdString(table.name(slot));
    return list;
}

QStringList paths(const HostPortTable &table)
{
    QStringList list;
    for (int slot = 1; slot <= table.count(); ++slot)
        list << QString::fromStdString(table.path(slot));
    return list;
}

std::vector<std::string> toStd(const QStringList &list)
{
    std::vector<std::string> result;
    for (const QString &text : list)
        result.push_back(text.toStdString());
    return result;
}

std::vector<std::string> comValues(int first, int last)
{
    std::vector<std::string> values;
    for (int n = last; n >= first; --n)
        values.push_back("COM" + std::to_string(n));
    return values;
}

} // namespace

class TestHostPorts : public QObject
{
    Q_OBJECT

    QTemporaryDir m_linkFolder; // the links of the table's rows that must exist

private slots:
    void tableSlots()
    {
        const HostPortTable empty;
        QCOMPARE(empty.count(), 0);
        QCOMPARE(empty.name(0), std::string("AUTO"));
        QCOMPARE(empty.path(0), std::string());
        QVERIFY(!empty.isPort(0));
        QVERIFY(!empty.isPort(1));

        const HostPortTable table({ { "COM3", "\\\\.\\COM3" }, { "COM7", "\\\\.\\COM7" } });
        QCOMPARE(table.count(), 2);
        QCOMPARE(table.name(0), std::string("AUTO"));
        QCOMPARE(table.name(2), std::string("COM7"));
        QCOMPARE(table.path(1), std::string("\\\\.\\COM3"));
        QVERIFY(!table.isPort(0));
        QVERIFY(table.isPort(1));
        QVERIFY(table.isPort(2));
        QVERIFY(!table.isPort(3));
        QVERIFY(!table.isPort(-1));
        QCOMPARE(table.name(3), std::string());
        QCOMPARE(table.name(-1), std::string());
        QCOMPARE(table.path(3), std::string());
    }

    void registryValues_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("no key or no ports") << QStringList() << QStringList();
        QTest::newRow("sorted") << QStringList { "COM3", "COM1", "COM4" }
                                << QStringList { "COM1", "COM3", "COM4" };
        QTest::newRow("whole number, not the fourth character")
            << QStringList { "COM10", "COM1", "COM2" } << QStringList { "COM1", "COM2", "COM10" };
        QTest::newRow("duplicates kept")
            << QStringList { "COM5", "COM2", "COM5" } << QStringList { "COM2", "COM5", "COM5" };
        QTest::newRow("highest and past it")
            << QStringList { "COM255", "COM256", "COM1000" } << QStringList { "COM255" };
        QTest::newRow("zero and leading zeros")
            << QStringList { "COM0", "COM007" } << QStringList { "COM7" };
        QTest::newRow("not a port name") << QStringList {
            "", "COM", "COMx", "COM3x", "COM-3", "COM 3", "LPT1", "CNCA0", "COM99999999999999999999"
        } << QStringList();
        QTest::newRow("lower case") << QStringList { "com4" } << QStringList { "COM4" };
    }

    void registryValues()
    {
        QFETCH(QStringList, values);
        QFETCH(QStringList, expected);
        const HostPortTable table = portsFromRegistryValues(toStd(values));
        QCOMPARE(names(table), expected);
        QStringList expectedPaths;
        for (const QString &name : expected)
            expectedPaths << QStringLiteral("\\\\.\\") + name;
        QCOMPARE(paths(table), expectedPaths);
    }

    void registryKeepsTheLowest29()
    {
        const HostPortTable table = portsFromRegistryValues(comValues(1, 40));
        QCOMPARE(table.count(), HostPortTable::kMaxPorts);
        QCOMPARE(table.name(1), std::string("COM1"));
        QCOMPARE(table.name(29), std::string("COM29"));
        QCOMPARE(table.path(29), std::string("\\\\.\\COM29"));
    }

    void linuxList_data()
    {
        QTest::addColumn<QStringList>("system");
        QTest::addColumn<QStringList>("consoles");
        QTest::addColumn<QStringList>("links");
        QTest::addColumn<QStringList>("expectedNames");
        QTest::addColumn<QStringList>("expectedPaths");

        QTest::newRow("nothing") << QStringList() << QStringList() << QStringList() << QStringList()
                                 << QStringList();
        QTest::newRow("console left out")
            << QStringList { "ttyS1", "ttyS0", "ttyUSB0" } << QStringList { "tty0", "ttyS0" }
            << QStringList() << QStringList { "ttyS1", "ttyUSB0" }
            << QStringList { "/dev/ttyS1", "/dev/ttyUSB0" };
        QTest::newRow("numbers sort by value")
            << QStringList { "ttyS10", "ttyS2", "ttyACM0", "ttyS1" } << QStringList()
            << QStringList() << QStringList { "ttyACM0", "ttyS1", "ttyS2", "ttyS10" }
            << QStringList { "/dev/ttyACM0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS10" };
        QTest::newRow("links after system ports")
            << QStringList { "ttyUSB0" } << QStringList()
            << QStringList { "/run/relaybox/ports/sim2", "/run/relaybox/ports/sim10",
                             "/run/relaybox/ports/relaybox" }
            << QStringList { "ttyUSB0", "relaybox", "sim2", "sim10" }
            << QStringList { "/dev/ttyUSB0", "/run/relaybox/ports/relaybox",
                             "/run/relaybox/ports/sim2", "/run/relaybox/ports/sim10" };
        // Links that lead to the active console or a virtual terminal (stand-in devices here).
        namespace fs = std::filesystem;
        const fs::path root = m_linkFolder.path().toStdString();
        fs::create_directories(root / "dev");
        fs::create_directories(root / "ports");
        for (const char *device : { "ttyS0", "tty1", "pts7" }) {
            std::ofstream(root / "dev" / device) << "";
            fs::create_symlink(root / "dev" / device,
                               root / "ports" / (std::string("to-") + device));
        }
        const QString ports = QString::fromStdString((root / "ports").string());
        QTest::newRow("links to consoles left out")
            << QStringList() << QStringList { "ttyS0" }
            << QStringList { ports + "/to-ttyS0", ports + "/to-tty1", ports + "/to-pts7" }
            << QStringList { "to-pts7" } << QStringList { ports + "/to-pts7" };
        QTest::newRow("only the console")
            << QStringList { "ttyS0" } << QStringList { "ttyS0" } << QStringList { "/p/sim" }
            << QStringList { "sim" } << QStringList { "/p/sim" };
    }

    void linuxList()
    {
        QFETCH(QStringList, system);
        QFETCH(QStringList, consoles);
        QFETCH(QStringList, links);
        QFETCH(QStringList, expectedNames);
        QFETCH(QStringList, expectedPaths);

        std::vector<HostPort> systemPorts;
        for (const QString &name : system)
            systemPorts.push_back({ name.toStdString(), "/dev/" + name.toStdString() });
        const HostPortTable table = linuxHostPorts(systemPorts, toStd(consoles), toStd(links));
        QCOMPARE(names(table), expectedNames);
        QCOMPARE(paths(table), expectedPaths);
    }

    void linuxConsoleMatchedByDevicePath()
    {
        // A port whose shown name differs from its device still counts as the console.
        const HostPortTable table =
            linuxHostPorts({ { "serial0", "/dev/ttyS0" } }, { "ttyS0" }, {});
        QCOMPARE(table.count(), 0);
    }

    void linuxCapKeepsSystemPortsFirst()
    {
        std::vector<HostPort> systemPorts;
        for (int n = 0; n < 27; ++n)
            systemPorts.push_back(
                { "ttyUSB" + std::to_string(n), "/dev/ttyUSB" + std::to_string(n) });
        const HostPortTable table = linuxHostPorts(systemPorts, {}, { "/p/c", "/p/b", "/p/a" });
        QCOMPARE(table.count(), HostPortTable::kMaxPorts);
        QCOMPARE(table.name(27), std::string("ttyUSB26"));
        QCOMPARE(table.name(28), std::string("a"));
        QCOMPARE(table.name(29), std::string("b"));
    }

    void activeConsoles_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("one") << "ttyS0\n" << QStringList { "ttyS0" };
        QTest::newRow("several") << "tty0 ttyS0 hvc0\n" << QStringList { "tty0", "ttyS0", "hvc0" };
        QTest::newRow("empty") << "" << QStringList();
        QTest::newRow("blank") << " \n\t" << QStringList();
    }

    void activeConsoles()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        std::vector<std::string> parsed = parseActiveConsoles(text.toStdString());
        QStringList got;
        for (const std::string &name : parsed)
            got << QString::fromStdString(name);
        QCOMPARE(got, expected);

        QTemporaryDir dir;
        const std::string file = dir.filePath("active").toStdString();
        std::ofstream(file) << text.toStdString();
        QCOMPARE(readActiveConsoles(file), parsed);
    }

    void missingConsolesFileGivesNone()
    {
        QCOMPARE(readActiveConsoles("/nonexistent/console/active"), std::vector<std::string>());
    }

    void portsDirectory()
    {
        namespace fs = std::filesystem;
        QTemporaryDir dir;
        const fs::path root = dir.path().toStdString();
        fs::create_symlink("/dev/pts/77", root / "sim"); // dangling links still count
        fs::create_symlink("/dev/null", root / "socat0");
        fs::create_directory(root / "folder");
        std::ofstream(root / ".hidden") << "x";

        std::vector<std::string> entries = portsDirectoryEntries(root.string());
        std::sort(entries.begin(), entries.end());
        QCOMPARE(
            entries,
            (std::vector<std::string> { (root / "sim").string(), (root / "socat0").string() }));
        QCOMPARE(portsDirectoryEntries((root / "missing").string()), std::vector<std::string>());
    }

    void sysfsPortsNeedADeviceAndAKnownUart()
    {
        // A sysfs tty class folder: what each entry holds decides whether it is a serial port.
        namespace fs = std::filesystem;
        QTemporaryDir dir;
        const fs::path root = dir.path().toStdString();
        const auto entry = [&](const char *name, bool device, const char *type) {
            fs::create_directory(root / name);
            if (device)
                fs::create_directory(root / name / "device");
            if (type)
                std::ofstream(root / name / "type") << type << "\n";
        };
        entry("ttyS0", true, "4"); // a 16550A
        entry("ttyS1", true, "0"); // registered without a UART
        entry("ttyUSB0", true, nullptr); // USB serial: no type file
        entry("tty1", false, nullptr); // a virtual console
        entry("ptmx", false, nullptr);

        std::vector<HostPort> ports = sysfsSerialPorts(root.string());
        std::sort(ports.begin(), ports.end(),
                  [](const HostPort &a, const HostPort &b) { return a.name < b.name; });
        QCOMPARE(
            ports,
            (std::vector<HostPort> { { "ttyS0", "/dev/ttyS0" }, { "ttyUSB0", "/dev/ttyUSB0" } }));
        QCOMPARE(sysfsSerialPorts((root / "missing").string()), std::vector<HostPort>());
    }
};

QTEST_APPLESS_MAIN(TestHostPorts)
#include "tst_hostports.moc"
