#ifdef _WIN32

#include "platform/portqueue.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <windows.h>

#include "platform/win/winportkey.h"

namespace relaybox {

namespace {

// Seen from every session.
std::string mutexName(const std::string &path)
{
    return "Global\\relaybox-port-" + windowsPortKey(path);
}

// "Local\relaybox-holder-COM5": a record of who has the port's turn ("4242 relaybox"), kept in
// memory that lives exactly as long as its holder keeps it open. A mutex cannot say who owns it.
std::string holderRecordName(const std::string &path)
{
    return "Local\\relaybox-holder-" + windowsPortKey(path);
}

constexpr DWORD kHolderRecordBytes = 80;

HANDLE publishHolder(const std::string &path, const std::string &program)
{
    const HANDLE record = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                             kHolderRecordBytes, holderRecordName(path).c_str());
    if (!record)
        return nullptr;
    if (void *view = MapViewOfFile(record, FILE_MAP_WRITE, 0, 0, kHolderRecordBytes)) {
        std::snprintf(static_cast<char *>(view), kHolderRecordBytes, "%lu %.60s",
                      GetCurrentProcessId(), program.c_str());
        UnmapViewOfFile(view);
    }
    return record;
}

std::optional<PortHolder> readHolder(const std::string &path)
{
    const HANDLE record = OpenFileMappingA(FILE_MAP_READ, FALSE, holderRecordName(path).c_str());
    if (!record)
        return std::nullopt;
    std::optional<PortHolder> holder;
    if (const void *view = MapViewOfFile(record, FILE_MAP_READ, 0, 0, kHolderRecordBytes)) {
        char text[kHolderRecordBytes + 1] = {};
        std::memcpy(text, view, kHolderRecordBytes);
        UnmapViewOfFile(view);
        unsigned long pid = 0;
        char program[kHolderRecordBytes + 1] = {};
        if (std::sscanf(text, "%lu %80s", &pid, program) == 2 && pid > 0)
            holder = PortHolder { long(pid), program };
    }
    CloseHandle(record);
    return holder;
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
    MutexQueue(HANDLE mutex, std::string path, std::string program)
        : m_mutex(mutex)
        , m_path(std::move(path))
        , m_program(std::move(program))
    { }

    ~MutexQueue() override
    {
        if (m_holderRecord)
            CloseHandle(m_holderRecord);
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
            if (m_owned)
                m_holderRecord = publishHolder(m_path, m_program);
        }
        return m_owned;
    }

    std::optional<PortHolder> holderAhead() const override
    {
        return m_owned ? std::nullopt : readHolder(m_path);
    }

private:
    HANDLE m_mutex;
    const std::string m_path;
    const std::string m_program;
    bool m_owned = false;
    HANDLE m_holderRecord = nullptr;
};

} // namespace

std::unique_ptr<PortQueue> joinPortQueue(const std::string &path, const std::string &program)
{
    const HANDLE mutex = CreateMutexA(nullptr, FALSE, mutexName(path).c_str());
    if (!mutex)
        return std::make_unique<EveryTurnAtOnce>();
    return std::make_unique<MutexQueue>(mutex, path, program);
}

// Only programs of this project say who they are; another holder stays unnamed.
std::optional<PortHolder> findPortHolder(const std::string &path)
{
    return readHolder(path);
}

} // namespace relaybox

#endif
