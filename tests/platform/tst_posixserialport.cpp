#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>

#include "platform/posix/posixserialport.h"
#include "pseudoterminal.h"

using namespace relaybox;
using Clock = std::chrono::steady_clock;

Q_DECLARE_METATYPE(relaybox::PortMode)

namespace {

std::unique_ptr<SerialPort> openedPort(const PseudoTerminal &pty,
                                       const SerialTimeouts &timeouts = kLinkTimeouts,
                                       PortMode mode = PortMode::Overlapped)
{
    auto port = makeSerialPort();
    if (!port->open(pty.slavePath(), mode) || !port->readLineSettings()
        || !port->applyLineSettings() || !port->setTimeouts(timeouts))
        return nullptr;
    return port;
}

std::string readExactly(SerialPort &port, std::size_t size)
{
    std::string bytes(size, '\0');
    const long count = port.read(bytes.data(), size);
    bytes.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    return bytes;
}

// The pseudo-terminal hands bytes over a moment after they were written: wait until all are queued.
std::size_t waitForQueued(SerialPort &port, std::size_t expected)
{
    const auto start = Clock::now();
    std::size_t queued = 0;
    while (millisecondsSince(start) < 1000) {
        const WaitResult result = port.waitForInput();
        if (result.status != WaitResult::Ready)
            return 0;
        queued = result.queued;
        if (queued >= expected)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return queued;
}

// Runs in a forked child as user and group 65534 and tries the slave path twice: with a plain
// open, then through the port. Bits: 1 plain open worked, 2 it failed with EBUSY, 4 the port
// opened, 8 the port reported a permission failure. Only calls that are safe after fork() run in
// the child.
int openAsOtherUser(const std::string &path)
{
    auto port = makeSerialPort();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(64);
        int result = 0;
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd >= 0) {
            result |= 1;
            ::close(fd);
        } else if (errno == EBUSY) {
            result |= 2;
        }
        if (port->open(path, PortMode::Blocking))
            result |= 4;
        else if (port->openError() == OpenError::PermissionDenied)
            result |= 8;
        ::_exit(result);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace

class TestPosixSerialPort : public QObject
{
    Q_OBJECT

private slots:
    void setupSucceedsOnPseudoTerminal_data()
    {
        QTest::addColumn<PortMode>("mode");
        QTest::newRow("probe") << PortMode::Blocking;
        QTest::newRow("link") << PortMode::Overlapped;
    }

    void setupSucceedsOnPseudoTerminal()
    {
        QFETCH(PortMode, mode);
        PseudoTerminal pty;
        QVERIFY(pty.isValid());
        auto port = makeSerialPort();
        QVERIFY(port->open(pty.slavePath(), mode));
        QVERIFY(port->isOpen());
        QVERIFY(port->readLineSettings());
        QVERIFY(port->applyLineSettings());
        QVERIFY(port->setBufferSizes(kLinkInputBuffer, kLinkOutputBuffer));
        QVERIFY(port->setTimeouts(mode == PortMode::Blocking ? kProbeTimeouts : kLinkTimeouts));

        // Terminal settings ioctls on the master act on the slave.
        termios settings {};
        QCOMPARE(::tcgetattr(pty.master(), &settings), 0);
        QCOMPARE(::cfgetispeed(&settings), speed_t(B9600));
        QCOMPARE(::cfgetospeed(&settings), speed_t(B9600));
        QCOMPARE(settings.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(settings.c_cflag & (PARENB | CSTOPB), tcflag_t(0));
        QCOMPARE(settings.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
        QCOMPARE(settings.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
        QCOMPARE(settings.c_iflag & (ICRNL | IXON), tcflag_t(0));
        QCOMPARE(settings.c_oflag & OPOST, tcflag_t(0));

        port->close();
        QVERIFY(!port->isOpen());
    }

    void openRejectsWhatIsNoTerminal_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing") << QStringLiteral("/nonexistent/ttyRelaybox");
        QTest::newRow("empty") << QString();
        QTest::newRow("device that is no terminal") << QStringLiteral("/dev/null");
        QTest::newRow("regular file") << QString::fromLocal8Bit(__FILE__);
        QTest::newRow("folder") << QStringLiteral("/tmp");
    }

    void openRejectsWhatIsNoTerminal()
    {
        QFETCH(QString, path);
        auto port = makeSerialPort();
        QVERIFY(!port->open(path.toStdString(), PortMode::Blocking));
        QVERIFY(!port->isOpen());
    }

    void closedPortFailsEveryOperation()
    {
        auto port = makeSerialPort();
        char buffer[8] = {};
        QVERIFY(!port->readLineSettings());
        QVERIFY(!port->applyLineSettings());
        QVERIFY(!port->setBufferSizes(1024, 1024));
        QVERIFY(!port->setTimeouts(kProbeTimeouts));
        QCOMPARE(port->read(buffer, sizeof(buffer)), -1L);
        QCOMPARE(port->write("/C\\", 3), -1L);
        QCOMPARE(port->readAvailable(buffer, sizeof(buffer)), -1L);
        QCOMPARE(port->waitForInput().status, WaitResult::Failed);
        port->purge(true, true);
        QCOMPARE(port->receivePurges(), std::uint64_t(0));
    }

    void probeReadTimesOutAfterItsConstant()
    {
        PseudoTerminal pty;
        auto port = openedPort(pty, kProbeTimeouts, PortMode::Blocking);
        QVERIFY(port);
        char answer[5];
        const auto start = Clock::now();
        QCOMPARE(port->read(answer, sizeof(answer)), 0L);
        const long long elapsed = millisecondsSince(start);
        QVERIFY2(elapsed >= 1990 && elapsed < 2500, qPrintable(QString::number(elapsed)));
    }

    void readTimeouts_data()
    {
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("multiplier");
        QTest::addColumn<int>("constant");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<int>("asked");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");

        // Nothing sent: multiplier x size + constant = 50 x 4 + 100.
        QTest::newRow("silent: total limit")
            << 0 << 50 << 100 << QByteArray() << 4 << QByteArray() << 290 << 600;
        // The link's 100 ms interval ends a short answer long before the 5.5 s total.
        QTest::newRow("short answer: interval")
            << 100 << 500 << 500 << QByteArray("/xy") << 10 << QByteArray("/xy") << 90 << 1000;
        QTest::newRow("whole answer: at once")
            << 0 << 0 << 2000 << QByteArray("/xyz\\") << 5 << QByteArray("/xyz\\") << 0 << 1000;
        QTest::newRow("more sent than asked")
            << 0 << 0 << 2000 << QByteArray("/V01 1.2A\\") << 5 << QByteArray("/V01 ") << 0 << 1000;
        QTest::newRow("binary bytes unchanged")
            << 0 << 0 << 2000 << QByteArray("\r\n\0\x7f\xff\x03\x11\x13", 8) << 8
            << QByteArray("\r\n\0\x7f\xff\x03\x11\x13", 8) << 0 << 1000;
    }

    void readTimeouts()
    {
        QFETCH(int, interval);
        QFETCH(int, multiplier);
        QFETCH(int, constant);
        QFETCH(QByteArray, sent);
        QFETCH(int, asked);
        QFETCH(QByteArray, expected);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);

        PseudoTerminal pty;
        auto port = openedPort(pty, { interval, multiplier, constant, 0, 5000 });
        QVERIFY(port);
        QVERIFY(pty.send(sent.toStdString()));
        const auto start = Clock::now();
        const std::string got = readExactly(*port, static_cast<std::size_t>(asked));
        const long long elapsed = millisecondsSince(start);
        QCOMPARE(QByteArray::fromStdString(got), expected);
        QVERIFY2(elapsed >= minMs && elapsed <= maxMs, qPrintable(QString::number(elapsed)));
    }

    void writeDeliversWholeFrames_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("identify") << QByteArray("/uni\\");
        QTest::newRow("clock") << QByteArray("/SETTIME2026-12-06 21:30:05\\");
        QTest::newRow("line ends unchanged") << QByteArray("a\nb\r\n", 5);
        QTest::newRow("firmware bytes") << QByteArray("\0\x01\xfe\xff\x11\x13", 6);
        QTest::newRow("4 KiB") << QByteArray(4096, 'x');
    }

    void writeDeliversWholeFrames()
    {
        QFETCH(QByteArray, frame);
        PseudoTerminal pty;
        auto port = openedPort(pty);
        QVERIFY(port);
        QCOMPARE(port->write(frame.constData(), frame.size()), long(frame.size()));
        QCOMPARE(QByteArray::fromStdString(pty.receive(frame.size() + 1)), frame);
    }

    void writeGivesUpAtItsDeadline()
    {
        // Nobody reads the master side, so the pseudo-terminal's queue fills up.
        PseudoTerminal pty;
        auto port = openedPort(pty, { 0, 0, 0, 0, 200 });
        QVERIFY(port);
        const std::string block(1 << 20, 'z');
        const auto start = Clock::now();
        const long sent = port->write(block.data(), block.size());
        const long long elapsed = millisecondsSince(start);
        QVERIFY2(sent > 0 && sent < long(block.size()), qPrintable(QString::number(sent)));
        QVERIFY2(elapsed >= 190 && elapsed < 1000, qPrintable(QString::number(elapsed)));
    }

    void waitReportsQueuedBytes()
    {
        PseudoTerminal pty;
        auto port = openedPort(pty);
        QVERIFY(port);
        QVERIFY(pty.send("/O058\\"));
        QCOMPARE(waitForQueued(*port, 6), std::size_t(6));
        char buffer[16] = {};
        QCOMPARE(port->readAvailable(buffer, sizeof(buffer)), 6L);
        QCOMPARE(QByteArray(buffer, 6), QByteArray("/O058\\"));
        QCOMPARE(port->readAvailable(buffer, sizeof(buffer)), 0L);
    }

    void readAvailableStopsAtTheBufferSize()
    {
        PseudoTerminal pty;
        auto port = openedPort(pty);
        QVERIFY(port);
        QVERIFY(pty.send("0123456789"));
        QCOMPARE(waitForQueued(*port, 10), std::size_t(10));
        char buffer[4] = {};
        QCOMPARE(port->readAvailable(buffer, sizeof(buffer)), 4L);
        QCOMPARE(QByteArray(buffer, 4), QByteArray("0123"));
        QCOMPARE(port->waitForInput().queued, std::size_t(6));
    }

    void purgeDiscardsInputAndCountsIt()
    {
        PseudoTerminal pty;
        auto port = openedPort(pty);
        QVERIFY(port);
        QVERIFY(pty.send("stale bytes"));
        QCOMPARE(waitForQueued(*port, 11), std::size_t(11));

        port->purge(true, false);
        QCOMPARE(port->receivePurges(), std::uint64_t(0));
        port->purge(false, true);
        QCOMPARE(port->receivePurges(), std::uint64_t(1));
        char buffer[16];
        QCOMPARE(port->readAvailable(buffer, sizeof(buffer)), 0L);

        port->purge(true, true);
        QCOMPARE(port->receivePurges(), std::uint64_t(2));
        QVERIFY(pty.send("/xyz\\"));
        QCOMPARE(readExactly(*port, 5), std::string("/xyz\\"));
    }

    void interruptIsStickyUntilReopened()
    {
        PseudoTerminal pty;
        auto port = openedPort(pty);
        QVERIFY(port);
        port->interrupt();
        QVERIFY(pty.send("x"));
        QCOMPARE(port->waitForInput().status, WaitResult::Interrupted);
        QCOMPARE(port->waitForInput().status, WaitResult::Interrupted);

        port->close();
        QVERIFY(port->open(pty.slavePath(), PortMode::Overlapped));
        QVERIFY(port->applyLineSettings());
        QVERIFY(pty.send("y"));
        const WaitResult result = port->waitForInput();
        QCOMPARE(result.status, WaitResult::Ready);
    }

    void hangUpFailsTheLink()
    {
        PseudoTerminal pty;
        auto port = openedPort(pty);
        QVERIFY(port);
        pty.closeMaster();
        QCOMPARE(port->waitForInput().status, WaitResult::Failed);
        char buffer[8];
        QCOMPARE(port->readAvailable(buffer, sizeof(buffer)), -1L);
        QCOMPARE(port->read(buffer, sizeof(buffer)), -1L);
        QCOMPARE(port->write("/C\\", 3), -1L);
    }

    void secondOpenFailsWhileBusy()
    {
        // Root passes TIOCEXCL; the lock is what keeps a second manager off.
        PseudoTerminal pty;
        auto first = makeSerialPort();
        auto second = makeSerialPort();
        QVERIFY(first->open(pty.slavePath(), PortMode::Overlapped));
        QVERIFY(!second->open(pty.slavePath(), PortMode::Blocking));
        QVERIFY(!second->isOpen());
        first->close();
        QVERIFY(second->open(pty.slavePath(), PortMode::Blocking));
    }

    void otherUserIsKeptOffABusyPort()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to switch to another user");
        PseudoTerminal pty;
        auto port = makeSerialPort();
        QVERIFY(port->open(pty.slavePath(), PortMode::Overlapped));
        // Exclusive use turns even a plain open away with EBUSY.
        QCOMPARE(openAsOtherUser(pty.slavePath()), 2);

        // Closing gives the port free again, though the pseudo-terminal's other side stays open.
        port->close();
        QCOMPARE(openAsOtherUser(pty.slavePath()), 1 | 4);
    }

    // A user outside the device's group is told so, and the operator can be sent to dialout.
    void permissionFailureIsReported()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to switch to another user");
        PseudoTerminal pty;
        QCOMPARE(::chmod(pty.slavePath().c_str(), 0600), 0);
        QCOMPARE(openAsOtherUser(pty.slavePath()), 8);
    }
};

QTEST_APPLESS_MAIN(TestPosixSerialPort)
#include "tst_posixserialport.moc"
