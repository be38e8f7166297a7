#include "benchwindow.h"

#include <cstdio>
#include <cstring>
#include <fstream>

#include "app/tform2.h"
#include "bench/benchapplication.h"
#include "panel/mainmenu.h"
#include "platform/localportsources.h"
#include "tests/common/sharedstateaccess.h"

namespace relaybox::bench {

MessageAnswer BenchDialogs::message(const QString &, const QString &text, MessageIcon,
                                    MessageButtons)
{
    messages << text;
    return MessageAnswer::Ok;
}

std::optional<QString> BenchDialogs::openFileName(const QString &, const QString &, const QString &)
{
    return std::nullopt;
}

std::optional<QString> BenchDialogs::saveFileName(const QString &, const QString &, const QString &)
{
    return std::nullopt;
}

bool writeSettingsFile(const std::string &folder, bool autoConnect, int comPort)
{
    std::ofstream file(folder + "/define.ini", std::ios::binary);
    file << "[Form]\nComPort=" << comPort << "\nChkExist=1\nAuto=" << (autoConnect ? 1 : 0)
         << "\nPrompt=0\nComMeg=1\nSetRTC=1\nRestoreStatus=1";
    return bool(file);
}

BenchWindow::BenchWindow(const std::string &folder)
{
    MainWindowEnvironment environment { m_state, m_clock, m_dialogs };
    environment.settingsPath = folder + "/define.ini";
    const std::string ports = folder + "/ports";
    environment.hostPorts = [ports] {
        return linuxHostPorts({}, readActiveConsoles(), portsDirectoryEntries(ports));
    };
    m_form = std::make_unique<TForm1>(std::move(environment));
    // The About box, as the program entry makes it after the main window.
    auto *about = new TForm2(m_form.get());
    QObject::connect(m_form.get(), &TForm1::aboutRequested, about, &QDialog::exec);
}

BenchWindow::~BenchWindow()
{
    m_form.reset();
}

int BenchWindow::shownBankCount()
{
    return testing::locked(m_state, [](StateValues &v) { return v.link.shownBankCount; });
}

bool BenchWindow::linkTo(const std::string &path, int banks,
                         const std::function<bool(const std::string &)> &send,
                         std::chrono::milliseconds timeout)
{
    m_form->menu().setConnected(true);
    if (!m_form->link().startLink(path))
        return false;
    if (!send("/xyz\\/M" + std::to_string(banks) + "\\"))
        return false;
    return waitFor([&] { return shownBankCount() == banks; }, timeout);
}

long residentKilobytes(const char *field)
{
    std::FILE *file = std::fopen("/proc/self/status", "r");
    if (!file)
        return -1;
    char line[256];
    long kilobytes = -1;
    const std::size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, file)) {
        if (std::strncmp(line, field, length) == 0) {
            kilobytes = std::strtol(line + length, nullptr, 10);
            break;
        }
    }
    std::fclose(file);
    return kilobytes;
}

} // namespace relaybox::bench
