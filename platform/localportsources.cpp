#include "platform/localportsources.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace relaybox {

namespace {

// Far above any real list; the file and the folder are read only this far.
constexpr std::size_t kMaxConsolesText = 4096;
constexpr std::size_t kMaxDirectoryEntries = 256;

} // namespace

std::vector<std::string> parseActiveConsoles(const std::string &text)
{
    std::vector<std::string> names;
    std::istringstream words(text);
    std::string word;
    while (words >> word)
        names.push_back(word);
    return names;
}

std::vector<std::string> readActiveConsoles(const std::string &file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return {};
    std::string text(kMaxConsolesText, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return parseActiveConsoles(text);
}

std::vector<std::string> portsDirectoryEntries(const std::string &dir)
{
    namespace fs = std::filesystem;
    std::vector<std::string> entries;
    std::error_code error;
    fs::directory_iterator it(dir, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        if (entries.size() >= kMaxDirectoryEntries)
            break;
        const std::string name = it->path().filename().string();
        std::error_code ignored;
        if (name.empty() || name.front() == '.' || it->is_directory(ignored))
            continue;
        entries.push_back(it->path().string());
    }
    return entries;
}

std::vector<HostPort> sysfsSerialPorts(const std::string &ttyClassFolder)
{
    namespace fs = std::filesystem;
    std::vector<HostPort> ports;
    std::error_code error;
    fs::directory_iterator it(ttyClassFolder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        if (ports.size() >= kMaxDirectoryEntries)
            break;
        const fs::path entry = it->path();
        std::error_code ignored;
        if (!fs::exists(entry / "device", ignored))
            continue;
        // A serial-core port's type: 0 is PORT_UNKNOWN, a placeholder without a UART.
        if (std::ifstream type(entry / "type"); type) {
            int value = 0;
            if (!(type >> value) || value == 0)
                continue;
        }
        const std::string name = entry.filename().string();
        ports.push_back({ name, "/dev/" + name });
    }
    return ports;
}

} // namespace relaybox
