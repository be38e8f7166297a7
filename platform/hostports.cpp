#include "platform/hostports.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace relaybox {

namespace {

constexpr int kHighestComNumber = 255;

bool isDigit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// The number of a "COMn" text, or 0 when the text is not one.
int comNumber(const std::string &text)
{
    if (text.size() < 4 || text.size() > 3 + 10)
        return 0;
    for (int i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != "COM"[i])
            return 0;
    }
    long number = 0;
    for (std::size_t i = 3; i < text.size(); ++i) {
        if (!isDigit(text[i]))
            return 0;
        number = std::min<long>(number * 10 + (text[i] - '0'), kHighestComNumber + 1);
    }
    return number <= kHighestComNumber ? static_cast<int>(number) : 0;
}

std::string baseName(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void sortByName(std::vector<HostPort> &ports)
{
    std::stable_sort(ports.begin(), ports.end(), [](const HostPort &a, const HostPort &b) {
        return portNameLess(a.name, b.name);
    });
}

bool isVirtualTerminal(const std::string &name)
{
    if (name == "console" || name == "tty")
        return true;
    return name.size() > 3 && name.starts_with("tty")
        && std::all_of(name.begin() + 3, name.end(), isDigit);
}

// The name of the device a link in the ports folder finally names, or the link's own name when
// it names none (a simulator's link outlives its terminal).
std::string deviceNameOfLink(const std::string &entry)
{
    std::error_code error;
    const std::filesystem::path device = std::filesystem::canonical(entry, error);
    return error ? baseName(entry) : device.filename().string();
}

} // namespace

HostPortTable::HostPortTable(std::vector<HostPort> ports)
    : m_ports(std::move(ports))
{
    if (m_ports.size() > static_cast<std::size_t>(kMaxPorts))
        m_ports.resize(kMaxPorts);
}

std::string HostPortTable::name(int slot) const
{
    if (slot == 0)
        return "AUTO";
    return isPort(slot) ? m_ports[slot - 1].name : std::string();
}

std::string HostPortTable::path(int slot) const
{
    return isPort(slot) ? m_ports[slot - 1].path : std::string();
}

bool portNameLess(const std::string &a, const std::string &b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const std::size_t startA = i;
            const std::size_t startB = j;
            while (i < a.size() && isDigit(a[i]))
                ++i;
            while (j < b.size() && isDigit(b[j]))
                ++j;
            std::string numberA = a.substr(startA, i - startA);
            std::string numberB = b.substr(startB, j - startB);
            numberA.erase(0, std::min(numberA.find_first_not_of('0'), numberA.size()));
            numberB.erase(0, std::min(numberB.find_first_not_of('0'), numberB.size()));
            if (numberA.size() != numberB.size())
                return numberA.size() < numberB.size();
            if (numberA != numberB)
                return numberA < numberB;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    if ((i < a.size()) != (j < b.size()))
        return j < b.size();
    return a < b; // equal by value, as "ttyS01" and "ttyS1": keep an order all the same
}

HostPortTable portsFromRegistryValues(const std::vector<std::string> &valueData)
{
    std::vector<int> numbers;
    for (const std::string &text : valueData) {
        if (const int number = comNumber(text); number > 0)
            numbers.push_back(number);
    }
    std::sort(numbers.begin(), numbers.end());
    std::vector<HostPort> ports;
    for (const int number : numbers) {
        const std::string name = "COM" + std::to_string(number);
        // The device-namespace form is what opens COM10 and above.
        ports.push_back({ name, "\\\\.\\" + name });
    }
    return HostPortTable(std::move(ports));
}

HostPortTable linuxHostPorts(const std::vector<HostPort> &systemPorts,
                             const std::vector<std::string> &activeConsoles,
                             const std::vector<std::string> &portsDirEntries)
{
    const auto isActiveConsole = [&](const std::string &name) {
        return std::find(activeConsoles.begin(), activeConsoles.end(), name)
            != activeConsoles.end();
    };
    const auto isConsole = [&](const HostPort &port) {
        return isActiveConsole(port.name) || isActiveConsole(baseName(port.path));
    };
    std::vector<HostPort> system;
    for (const HostPort &port : systemPorts) {
        if (!isConsole(port))
            system.push_back(port);
    }
    sortByName(system);

    std::vector<HostPort> linked;
    // A link to a console (an active one, or a virtual terminal) is no switch's port either.
    for (const std::string &entry : portsDirEntries) {
        const std::string device = deviceNameOfLink(entry);
        if (!isActiveConsole(device) && !isVirtualTerminal(device))
            linked.push_back({ baseName(entry), entry });
    }
    sortByName(linked);

    system.insert(system.end(), linked.begin(), linked.end());
    return HostPortTable(std::move(system));
}

} // namespace relaybox
