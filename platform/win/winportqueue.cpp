#ifdef _WIN32

#include "platform/portqueue.h"

#include <algorithm>
#include <cctype>
#include <windows.h>

namespace relaybox {

namespace {

// "Global\relaybox-port-COM5" for "COM5" and "\\.\COM5" alike, seen from every session.
std::string mutexName(const std::string &path)
{
    const std::string port = path.substr(path.find_last_of('\\') + 1);
    std::string name = "Global\\relaybox-port-";
    for (const char c : port)
        name += std::isalnum(static_cast<unsigned char>(c))
            ? static_cast<char>(std::toupper(static_cast<unsigned char>(c)))
            : '_';
    return name;
}

class EveryTurnAtOnce final : public PortQueue
{
public:
    bool waitForTurn(std::chrono::milliseconds) override { return true; }
};

// Windows hands a mutex to its waiters first in, first out; a holder that ends without releasing
// it abandons it to the next.
class MutexQueue final : public PortQueue
{
public:
    explicit MutexQueue(HANDLE mutex)
        : m_mutex(mutex)
    { }

    ~MutexQueue() override
    {
        if (m_owned)
            ReleaseMutex(m_mutex);
        CloseHandle(m_mutex);
    }

    MutexQueue(const MutexQueue &) = delete;
    MutexQueue &operator=(const MutexQueue &) = delete;

    bool waitForTurn(std::chrono::milliseconds wait) override
    {
        if (!m_owned) {
            const DWORD result = WaitForSingleObject(
                m_mutex, static_cast<DWORD>(std::max<long long>(0, wait.count())));
            m_owned = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
        }
        return m_owned;
    }

private:
    HANDLE m_mutex;
    bool m_owned = false;
};

} // namespace

std::unique_ptr<PortQueue> joinPortQueue(const std::string &path, const std::string &)
{
    const HANDLE mutex = CreateMutexA(nullptr, FALSE, mutexName(path).c_str());
    if (!mutex)
        return std::make_unique<EveryTurnAtOnce>();
    return std::make_unique<MutexQueue>(mutex);
}

std::optional<PortHolder> findPortHolder(const std::string &)
{
    return std::nullopt;
}

} // namespace relaybox

#endif
