#include "childprobe.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace relaybox::bench {
namespace {

constexpr const char *kProbeVariable = "RELAYBOX_BENCH_PROBE";
constexpr std::size_t kMaxOutput = 1 << 20; // a probe prints a few hundred bytes

std::vector<std::string> probeEnvironment(const std::string &key, const EnvironmentList &added)
{
    EnvironmentList all = added;
    all.emplace_back(kProbeVariable, key);
    // Offscreen unless the probe is given a display of its own.
    if (std::none_of(added.begin(), added.end(),
                     [](const auto &variable) { return variable.first == "QT_QPA_PLATFORM"; }))
        all.emplace_back("QT_QPA_PLATFORM", "offscreen");
    std::vector<std::string> result;
    for (char **entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const auto &variable : all)
            replaced = replaced || variable.first == name;
        if (!replaced)
            result.push_back(text);
    }
    for (const auto &[name, value] : all)
        result.push_back(name + "=" + value);
    return result;
}

void parseOutput(const std::string &output, ProbeRun &run)
{
    std::istringstream lines(output);
    std::string line;
    std::string lastOther;
    while (std::getline(lines, line)) {
        if (line.rfind("RESULT ", 0) == 0) {
            std::istringstream fields(line.substr(7));
            std::string name;
            double value = NAN;
            if (fields >> name >> value)
                run.values[name] = value;
        } else if (line.rfind("FAILED ", 0) == 0) {
            run.failure = line.substr(7);
        } else if (!line.empty() && line[0] != '|' && line.rfind("Machine:", 0) != 0) {
            lastOther = line;
        }
    }
    if (run.failure.empty() && run.values.empty())
        run.failure = lastOther.empty() ? "no result" : lastOther;
}

} // namespace

double ProbeRun::value(const std::string &name) const
{
    const auto found = values.find(name);
    return found == values.end() ? NAN : found->second;
}

ProbeRun runProbe(const std::string &key, const EnvironmentList &environment,
                  std::chrono::seconds timeout, SteadyClock::time_point *started)
{
    ProbeRun run;
    const std::string program = programDir() + "/relaybox-bench";
    std::vector<std::string> args { program, key };
    std::vector<std::string> variables = probeEnvironment(key, environment);
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<char *> envp;
    for (std::string &variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0) {
        run.failure = "no pipe";
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    if (started)
        *started = SteadyClock::now();
    const int spawned =
        posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (spawned != 0) {
        close(output[0]);
        run.failure = "cannot start " + program + ": " + std::strerror(spawned);
        return run;
    }

    std::string text;
    const auto deadline = SteadyClock::now() + timeout;
    bool timedOut = false;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd entry { output[0], POLLIN, 0 };
        const int ready = poll(&entry, 1, int(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            continue;
        char buffer[4096];
        const ssize_t count = read(output[0], buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break; // the probe ended
        if (text.size() < kMaxOutput)
            text.append(buffer, std::size_t(count));
    }
    close(output[0]);
    if (timedOut)
        kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);

    parseOutput(text, run);
    if (timedOut)
        run.failure = "timed out after " + std::to_string(timeout.count()) + " s";
    else if (!WIFEXITED(status))
        run.failure = "ended by signal " + std::to_string(WTERMSIG(status));
    run.ok = run.failure.empty();
    return run;
}

RegisterProbe::RegisterProbe(const std::string &key, std::function<void()> run)
{
    registry().push_back({ key, [key, run = std::move(run)] {
                              if (probeSetting(kProbeVariable) == key)
                                  run();
                              return std::vector<Figure> {};
                          } });
}

std::string probeSetting(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

void reportValue(const std::string &name, double value)
{
    std::printf("RESULT %s %.17g\n", name.c_str(), value);
    std::fflush(stdout);
}

void reportFailure(const std::string &why)
{
    std::printf("FAILED %s\n", why.c_str());
    std::fflush(stdout);
}

double stampNs(SteadyClock::time_point time)
{
    return double(
        std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count());
}

std::string programDir()
{
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return ".";
    const std::string exe(path, std::size_t(length));
    return exe.substr(0, exe.rfind('/'));
}

} // namespace relaybox::bench
