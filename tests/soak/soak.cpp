// Runs the main window against a 16-bank simulated switch that answers at full speed, with
// flashing, paging and a Transfer queue that is refilled whenever it has drained, and checks that
// nothing grows.
//
// relaybox-soak [--seconds S] [--lines N] [--max-growth-kb K]
// Ends after S seconds or N status lines, whichever comes first; exits non-zero when the link
// was lost, too few lines arrived, or resident memory grew by more than K KiB after warm-up.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <malloc.h>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/scripteddialogs.h"
#include "common/sharedstateaccess.h"
#include "panel/mainmenu.h"
#include "panel/panelstack.h"
#include "panel/tform1.h"
#include <QTest>

using namespace relaybox;
using namespace std::chrono_literals;

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// The simulator as a process of its own, so that only the manager's memory is measured. It is
// started before any thread of ours exists (the thread checker cannot follow a fork from a
// threaded process) and runs until its standard input closes.
struct Simulator
{
    Simulator(const std::string &program, const std::string &link)
    {
        int input[2];
        if (::pipe(input) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        posix_spawn_file_actions_addclose(&actions, input[1]);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        const char *arguments[] = { program.c_str(), "--banks",    "16",   "--drift",
                                    "--link",        link.c_str(), nullptr };
        if (posix_spawn(&pid, program.c_str(), &actions, nullptr, const_cast<char **>(arguments),
                        environ)
            != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(input[0]);
        control = input[1];
    }

    ~Simulator()
    {
        if (control >= 0)
            ::close(control);
        if (pid > 0)
            ::waitpid(pid, nullptr, 0);
    }

    pid_t pid = -1;
    int control = -1;
};

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

// What the program holds on the heap: unlike the resident size, blind to freed pages that the
// allocator keeps. (Under the sanitizers their own heap, which this does not see.)
long heapKiB()
{
    return long(::mallinfo2().uordblks / 1024);
}

struct Options
{
    double seconds = 60;
    long lines = 1'000'000;
    long maxGrowthKiB = 1024;
};

Options parse(const QStringList &arguments)
{
    Options options;
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == "--seconds")
            options.seconds = arguments[i + 1].toDouble();
        else if (arguments[i] == "--lines")
            options.lines = arguments[i + 1].toLong();
        else if (arguments[i] == "--max-growth-kb")
            options.maxGrowthKiB = arguments[i + 1].toLong();
    }
    return options;
}

// One transfer of a bank's eight ports, a frame each, with room to spare.
constexpr std::size_t kMaxTransferFrames = 16;

// New timers for eight ports of one bank, so that every transfer has frames to drain.
void editTimers(SharedState &state, std::mt19937 &random)
{
    testing::locked(state, [&](StateValues &v) {
        // What the last transfer sent is no longer an edit: each transfer carries this one bank.
        for (ScheduleBank &bank : v.schedules.editorOn)
            for (ScheduleEntry &entry : bank)
                entry.pending = 0;
        const int bank = int(random() % 16);
        for (int port = 0; port < 8; ++port) {
            ScheduleEntry &entry = v.schedules.editorOn[bank][port];
            entry.enabled = random() % 4 != 0;
            entry.pending = 1;
            entry.mode = int(random() % 4);
            entry.day = entry.mode == ModeEveryWeek ? 1 + int(random() % 7) : 0;
            entry.hour = int(random() % 24);
            entry.minute = int(random() % 60);
        }
    });
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir folder;
    const QString link = folder.filePath("relaybox-sim");
    const std::string programFolder =
        QFileInfo(QString::fromLocal8Bit(argv[0])).absolutePath().toStdString();
    Simulator simulator(programFolder + "/relaybox-sim", link.toStdString());

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const Options options = parse(application.arguments());
    if (simulator.pid < 0 || !QTest::qWaitFor([&] { return QFileInfo::exists(link); }, 5000)) {
        std::printf("FAIL: the simulator did not start\n");
        return 2;
    }

    {
        std::ofstream ini(folder.filePath("define.ini").toStdString());
        ini << "[Form]\nAuto=0\nPrompt=0\nSetRTC=0\n";
    }
    SharedState state;
    SystemClock clock;
    testing::ScriptedDialogs dialogs;
    MainWindowEnvironment environment(state, clock, dialogs);
    environment.settingsPath = folder.filePath("define.ini").toStdString();
    environment.useNotificationArea = false;
    // Poll as fast as the switch answers: a poll a millisecond, each answered by 17 lines.
    environment.linkTimings.firstPoll = 1ms;
    environment.linkTimings.poll = 1ms;
    environment.linkTimings.watchdog = 5s;
    TForm1 window(std::move(environment));

    long lines = 0;
    long transferReplies = 0;
    QObject::connect(&window.link(), &LinkController::panelRefresh, [&] { ++lines; });
    QObject::connect(&window.link(), &LinkController::updateArrived, [&](UiUpdate update) {
        transferReplies += update.kind == UpdateKind::EditorRefresh;
    });
    window.menu().setConnected(true);
    if (!window.link().startLink(link.toStdString()))
        return 2;

    // A new transfer once the switch has answered the last one, so that the queue drains as fast as
    // it fills: a queue that outgrew the switch would measure the soak, not the program.
    std::mt19937 random(7);
    std::size_t queuePeak = 0;
    const auto queued = [&] {
        return testing::locked(state, [](StateValues &v) { return v.transferQueue.size(); });
    };
    QTimer transfers;
    QObject::connect(&transfers, &QTimer::timeout, [&] {
        const std::size_t waiting = queued();
        queuePeak = std::max(queuePeak, waiting);
        if (waiting != 0)
            return;
        editTimers(state, random);
        window.ReturnToTransfer();
    });
    transfers.start(20ms);
    QTimer paging;
    QObject::connect(&paging, &QTimer::timeout, [&] {
        QScrollBar *bar = window.panels().scrollBar();
        bar->setValue(bar->value() % bar->maximum() + 1);
    });
    paging.start(1s);

    QElapsedTimer elapsed;
    elapsed.start();
    long warmRss = 0;
    long warmHeap = 0;
    long linesAtWarm = 0;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        const double seconds = elapsed.elapsed() / 1000.0;
        if (warmRss == 0
            && (seconds >= std::min(10.0, options.seconds / 4) || lines >= options.lines / 10)) {
            warmRss = residentKiB();
            warmHeap = heapKiB();
            linesAtWarm = lines;
        }
        if (seconds >= options.seconds || lines >= options.lines || !window.link().isPortOpen())
            application.quit();
    });
    check.start(100ms);
    application.exec();

    const double seconds = elapsed.elapsed() / 1000.0;
    const long endRss = residentKiB();
    const long endHeap = heapKiB();
    const std::size_t queuedAtEnd = queued();
    const bool linked = window.link().isPortOpen();
    window.link().closeLink();
    std::printf("status lines        %ld (%.0f a second)\n", lines, lines / seconds);
    std::printf("transfer replies    %ld\n", transferReplies);
    std::printf("seconds             %.1f\n", seconds);
    std::printf(
        "resident memory     %.1f MB after warm-up (%ld lines), %.1f MB at the end: %+ld KiB\n",
        warmRss / 1024.0, linesAtWarm, endRss / 1024.0, endRss - warmRss);
    std::printf("heap in use         %.1f MB after warm-up, %.1f MB at the end: %+ld KiB\n",
                warmHeap / 1024.0, endHeap / 1024.0, endHeap - warmHeap);
    std::printf("transfer queue      at most %zu frames, %zu at the end\n", queuePeak, queuedAtEnd);
    std::printf("messages shown      %lld\n", static_cast<long long>(dialogs.messages.size()));

    bool passed = true;
    if (!linked || !dialogs.messages.isEmpty()) {
        std::printf("FAIL: the link was lost\n");
        passed = false;
    }
    if (lines < 1000) {
        std::printf("FAIL: hardly any status lines arrived\n");
        passed = false;
    }
    if (transferReplies == 0) {
        std::printf("FAIL: the Transfer queue never drained\n");
        passed = false;
    }
    if (queuePeak > kMaxTransferFrames) {
        std::printf("FAIL: the Transfer queue grew beyond one transfer\n");
        passed = false;
    }
    // Sanitizers keep freed memory in quarantine, so the resident size only means something
    // in a plain build.
    if (!kSanitized && endRss - warmRss > options.maxGrowthKiB) {
        std::printf("FAIL: resident memory grew by more than %ld KiB\n", options.maxGrowthKiB);
        passed = false;
    }
    return passed ? 0 : 1;
}
