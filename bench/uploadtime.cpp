// Time of a 65,535-byte firmware upload through the program's link and upgrade against the
// relaybox-sim program: paced at 9600 baud, against the line's own bound, and unpaced, for the
// host's own cost per byte.
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <sys/resource.h>

#include "bench/simstart.h"
#include "figure.h"
#include "maintenance/firmwareupgrade.h"
#include "maintenance/maintenancemessages.h"

namespace relaybox::bench {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kImageSize = 65535;
constexpr double kByteMs = 10.0 / 9.6; // ten bits at 9600 baud
constexpr int kLineBytesPerImageByte = 3; // the byte down, a spinner and its backspace up

// Answers the file dialog with the image and notes the messages.
class BenchDialogs final : public OperatorDialogs
{
public:
    explicit BenchDialogs(QString image)
        : m_image(std::move(image))
    { }
    MessageAnswer message(const QString &, const QString &text, MessageIcon,
                          MessageButtons) override
    {
        messages << text;
        return MessageAnswer::Ok;
    }
    std::optional<QString> openFileName(const QString &, const QString &, const QString &) override
    {
        return m_image;
    }
    std::optional<QString> saveFileName(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
    QStringList messages;

private:
    QString m_image;
};

struct Run
{
    bool ok = false;
    std::string failure;
    double seconds = 0; // first burst to last byte
    double userSeconds = 0; // this process, over the same span
    double systemSeconds = 0;
};

struct CpuTime
{
    double user = 0;
    double system = 0;
};

CpuTime cpuTime()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) {
        return double(t.tv_sec) + t.tv_usec / 1e6;
    };
    return { seconds(usage.ru_utime), seconds(usage.ru_stime) };
}

Run upload(const std::string &dir, const std::string &image, bool pace)
{
    Run run;
    std::vector<std::string> options { "--banks",        "1",  "--link", dir + "/switch",
                                       "--expect-image", image };
    if (pace)
        options.push_back("--pace");
    SimProcess sim;
    const std::string link = startSim(sim, options, dir + (pace ? "/paced.log" : "/unpaced.log"));
    if (link.empty()) {
        run.failure = "relaybox-sim did not start";
        return run;
    }

    SharedState state;
    SystemClock clock;
    BenchDialogs dialogs(QString::fromStdString(image));
    LinkController controller(state, clock, dialogs);
    FirmwareUpgrade upgrade(state, controller, dialogs);
    QObject::connect(&controller, &LinkController::updateArrived, &upgrade,
                     &FirmwareUpgrade::handleUpdate);
    QObject::connect(&controller, &LinkController::linkResetRequested, &upgrade,
                     &FirmwareUpgrade::linkReset);

    QEventLoop loop;
    // The bar stays at 0 for the first 655 bytes: the span starts at its first report only.
    Clock::time_point burst, last;
    CpuTime cpuAtBurst, cpuAtLast;
    QObject::connect(&upgrade, &FirmwareUpgrade::progressChanged, [&](int percent) {
        if (burst == Clock::time_point {}) {
            burst = Clock::now();
            cpuAtBurst = cpuTime();
        } else if (percent == 100) {
            last = Clock::now();
            cpuAtLast = cpuTime();
        }
    });
    // The operator chooses Upgrade once the link is up and polling runs.
    QObject::connect(
        &controller, &LinkController::linkUp, &upgrade,
        [&] {
            if (upgrade.session().length() == 0)
                upgrade.Upgrade1Click();
        },
        Qt::QueuedConnection);
    dialogs.messages.clear();
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (!dialogs.messages.isEmpty())
            loop.quit();
    });
    check.start(20);
    QTimer::singleShot(std::chrono::minutes(8), &loop, &QEventLoop::quit);
    if (!controller.startLink(link)) {
        run.failure = "cannot open " + link;
        return run;
    }
    loop.exec();
    controller.closeLink();

    const std::string end =
        SimProcess::withoutStamp(sim.waitForLine(QStringLiteral("UPLOAD END"), 2000)
                                     .value_or(QStringLiteral("no UPLOAD END")))
            .toStdString();
    if (dialogs.messages.value(0) != kUpgradeCompletedMessage
        || end.find(" ok") == std::string::npos || last == Clock::time_point {}) {
        run.failure = dialogs.messages.value(0).toStdString() + " / " + end;
        return run;
    }
    run.ok = true;
    run.seconds = std::chrono::duration<double>(last - burst).count();
    run.userSeconds = cpuAtLast.user - cpuAtBurst.user;
    run.systemSeconds = cpuAtLast.system - cpuAtBurst.system;
    return run;
}

std::vector<Figure> uploadTime()
{
    int argc = 1;
    char name[] = "relaybox-bench";
    char *argv[] = { name, nullptr };
    QCoreApplication app(argc, argv);

    char dirTemplate[] = "/tmp/relaybox-upload-XXXXXX";
    const char *dir = mkdtemp(dirTemplate);
    if (!dir)
        return { { "Firmware upload", "no temporary folder", "-", false } };
    const std::string image = std::string(dir) + "/image.x";
    {
        std::minstd_rand random(65535);
        std::ofstream file(image, std::ios::binary);
        for (int i = 0; i < kImageSize; ++i)
            file.put(char(random() & 0xff));
    }

    std::vector<Figure> figures;
    const Run unpaced = upload(dir, image, false);
    if (!unpaced.ok) {
        figures.push_back({ "Firmware upload, unpaced", "failed: " + unpaced.failure, "-", false });
    } else {
        const double bytes = kImageSize - 20; // the bytes sent one per request
        figures.push_back({ "Upload round trip per byte, unpaced (host, terminal and simulator)",
                            formatNumber(unpaced.seconds / bytes * 1e6, 1) + " us", "-", true });
        const double user = unpaced.userSeconds / bytes * 1e6;
        const double cpu = user + unpaced.systemSeconds / bytes * 1e6;
        figures.push_back({ "Host CPU per uploaded byte, unpaced (worker and UI thread)",
                            formatNumber(cpu, 1) + " us", "< 50 us", cpu < 50.0 });
        figures.push_back({ "  of which user space (the rest: system calls, thread switches)",
                            formatNumber(user, 1) + " us", "-", true });
    }

    const Run paced = upload(dir, image, true);
    // The span measured: from the first byte request to the last byte, one round trip each.
    const double boundSeconds = (kImageSize - 20) * kLineBytesPerImageByte * kByteMs / 1000.0;
    if (!paced.ok) {
        figures.push_back({ "Firmware upload, 9600 baud", "failed: " + paced.failure, "-", false });
    } else {
        const double ratio = paced.seconds / boundSeconds;
        figures.push_back(
            { "Firmware upload of 65,535 bytes at 9600 baud (simulator --pace)",
              formatNumber(paced.seconds, 1) + " s",
              "<= 1.03 x " + formatNumber(boundSeconds, 1) + " s (3 line bytes a byte)",
              ratio <= 1.03 });
        figures.push_back({ "Upload time against the line's bound", formatNumber(ratio, 3) + " x",
                            "<= 1.03 x", ratio <= 1.03 });
        figures.push_back({ "Paced time per uploaded byte",
                            formatNumber(paced.seconds * 1000.0 / (kImageSize - 20), 3) + " ms",
                            "-", true });
    }
    std::remove((std::string(dir) + "/image.x").c_str());
    std::remove((std::string(dir) + "/paced.log").c_str());
    std::remove((std::string(dir) + "/unpaced.log").c_str());
    rmdir(dir);
    return figures;
}

const Register registered { "upload", uploadTime };

} // namespace
} // namespace relaybox::bench
