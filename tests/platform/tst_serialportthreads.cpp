#include <QtTest>

#include <algorithm>
#include <atomic>
#include <future>
#include <thread>

#include "platform/serialport.h"
#include "pseudoterminal.h"

using namespace relaybox;
using Clock = std::chrono::steady_clock;

namespace {

std::unique_ptr<SerialPort> openedPort(const PseudoTerminal &pty)
{
    auto port = makeSerialPort();
    if (!port->open(pty.slavePath(), PortMode::Overlapped) || !port->readLineSettings()
        || !port->applyLineSettings() || !port->setTimeouts(kLinkTimeouts))
        return nullptr;
    return port;
}

// The worker's side of a wait: blocks in waitForInput() and notes when it came back.
struct BlockedWait
{
    explicit BlockedWait(SerialPort &port)
        : thread([this, &port] {
            result = port.waitForInput();
            returnedAt = Clock::now();
        })
    {
        // Long enough for the thread to sit in poll(); a wait that ends early fails the checks.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ~BlockedWait() { join(); }
    void join()
    {
        if (thread.joinable())
            thread.join();
    }

    WaitResult result { WaitResult::Failed };
    Clock::time_point returnedAt;
    std::thread thread;
};

} // namespace

class TestSerialPortThreads : public QObject
{
    Q_OBJECT

private slots:
    void interruptWakesABlockedWait()
    {
        PseudoTerminal pty;
        QVERIFY(pty.isValid());
        constexpr int kRounds = 20;
        std::vector<double> latencies;
        for (int round = 0; round < kRounds; ++round) {
            auto port = openedPort(pty);
            QVERIFY(port);
            BlockedWait wait(*port);
            const auto interruptedAt = Clock::now();
            port->interrupt();
            wait.join();
            QCOMPARE(wait.result.status, WaitResult::Interrupted);
            latencies.push_back(
                std::chrono::duration<double, std::milli>(wait.returnedAt - interruptedAt).count());
            // Later waits end at once.
            QCOMPARE(port->waitForInput().status, WaitResult::Interrupted);
            port->close();
        }
        std::sort(latencies.begin(), latencies.end());
        const double median = latencies[latencies.size() / 2];
        const double worst = latencies.back();
        qInfo("interrupt() wake-up over %d rounds: median %.3f ms, worst %.3f ms", kRounds, median,
              worst);
        QVERIFY2(worst < 50.0, qPrintable(QString::number(worst)));
    }

    void inputWakesABlockedWait()
    {
        PseudoTerminal pty;
        auto port = openedPort(pty);
        QVERIFY(port);
        BlockedWait wait(*port);
        QVERIFY(pty.send("/xyz\\"));
        wait.join();
        QCOMPARE(wait.result.status, WaitResult::Ready);
        QVERIFY(wait.result.queued >= 1 && wait.result.queued <= 5);
    }

    void hangUpWakesABlockedWait()
    {
        PseudoTerminal pty;
        auto port = openedPort(pty);
        QVERIFY(port);
        BlockedWait wait(*port);
        const auto hungUpAt = Clock::now();
        pty.closeMaster();
        wait.join();
        QCOMPARE(wait.result.status, WaitResult::Failed);
        QVERIFY(wait.returnedAt - hungUpAt < std::chrono::milliseconds(500));
    }

    void largeWriteReachesASlowReader()
    {
        // Far more than the pseudo-terminal buffers: write() has to wait for room again and again.
        PseudoTerminal pty;
        auto port = openedPort(pty);
        QVERIFY(port);
        QVERIFY(port->setTimeouts({ 0, 0, 0, 1, 5000 }));
        std::string block(256 * 1024, '\0');
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>(i * 7 + i / 251);
        auto received = std::async(std::launch::async,
                                   [&pty, &block] { return pty.receive(block.size(), 2000); });
        QCOMPARE(port->write(block.data(), block.size()), long(block.size()));
        QVERIFY(received.get() == block);
    }

    void workerReadsWhileTheUiThreadWritesAndPurges()
    {
        // The link's threads: the worker waits and reads, this thread writes, purges and finally
        // interrupts. Every frame the switch sends before the purges arrives whole and in order.
        PseudoTerminal pty;
        auto port = openedPort(pty);
        QVERIFY(port);
        std::atomic<bool> purging { false };
        std::string beforePurges;
        std::atomic<std::size_t> bytesRead { 0 };
        std::thread worker([&] {
            char buffer[64];
            for (;;) {
                const WaitResult result = port->waitForInput();
                if (result.status != WaitResult::Ready)
                    return;
                const std::uint64_t purges = port->receivePurges();
                const long count = port->readAvailable(buffer, sizeof(buffer));
                if (count < 0)
                    return;
                if (!purging && purges == port->receivePurges())
                    beforePurges.append(buffer, static_cast<std::size_t>(count));
                bytesRead += static_cast<std::size_t>(count);
            }
        });

        std::string sent;
        for (int i = 0; i < 200; ++i) {
            const std::string reply = "/S0" + std::to_string(i % 10) + "OOCCOOCC\\";
            QVERIFY(pty.send(reply));
            sent += reply;
            QCOMPARE(port->write("/C\\", 3), 3L);
        }
        QCOMPARE(QByteArray::fromStdString(pty.receive(600)), QByteArray("/C\\").repeated(200));
        QTRY_COMPARE_WITH_TIMEOUT(bytesRead.load(), sent.size(), 2000);

        purging = true;
        for (int i = 0; i < 50; ++i) {
            QVERIFY(pty.send("/A01 0.5\\"));
            port->purge(i % 2 == 0, true);
            QCOMPARE(port->write("/C\\", 3), 3L);
        }
        QCOMPARE(port->receivePurges(), std::uint64_t(50));

        port->interrupt();
        worker.join();
        QCOMPARE(QByteArray::fromStdString(beforePurges), QByteArray::fromStdString(sent));
        port->close();
    }
};

QTEST_GUILESS_MAIN(TestSerialPortThreads)
#include "tst_serialportthreads.moc"
