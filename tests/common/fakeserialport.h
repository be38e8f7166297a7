#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/serialport.h"

// A serial line in memory: the test plays the switch on one side, the program opens the other
// through a port factory. Thread-safe like the real port: the worker waits while the test
// thread feeds bytes and the UI thread writes.

namespace relaybox::testing {

class FakeLine
{
public:
    void feed(const std::string &bytes)
    {
        {
            std::lock_guard lock(m_mutex);
            m_input.insert(m_input.end(), bytes.begin(), bytes.end());
        }
        m_changed.notify_all();
    }

    void hangUp()
    {
        {
            std::lock_guard lock(m_mutex);
            m_hungUp = true;
        }
        m_changed.notify_all();
    }

    std::vector<std::string> written() const
    {
        std::lock_guard lock(m_mutex);
        return m_written;
    }

    int waits() const
    {
        std::lock_guard lock(m_mutex);
        return m_waits;
    }

    int opens() const
    {
        std::lock_guard lock(m_mutex);
        return m_opens;
    }

    bool refuseOpen = false;
    OpenError openError = OpenError::Other; // why a refused open failed
    // Answers written frames as the switch would, e.g. "/uni\" with "/xyz\".
    std::function<std::string(const std::string &frame)> responder;

private:
    friend class FakeSerialPort;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<char> m_input;
    std::vector<std::string> m_written;
    bool m_hungUp = false;
    bool m_interrupted = false;
    bool m_open = false;
    int m_waits = 0;
    int m_opens = 0;
    std::uint64_t m_purges = 0;
};

class FakeSerialPort final : public SerialPort
{
public:
    explicit FakeSerialPort(std::shared_ptr<FakeLine> line)
        : m_line(std::move(line))
    { }

    bool open(const std::string &, PortMode) override
    {
        std::lock_guard lock(m_line->m_mutex);
        if (m_line->refuseOpen)
            return false;
        m_line->m_open = true;
        m_line->m_interrupted = false;
        ++m_line->m_opens;
        return true;
    }
    bool readLineSettings() override { return true; }
    bool applyLineSettings() override { return true; }
    bool setBufferSizes(std::size_t, std::size_t) override { return true; }
    bool setTimeouts(const SerialTimeouts &) override { return true; }

    void purge(bool, bool receive) override
    {
        std::lock_guard lock(m_line->m_mutex);
        if (receive) {
            m_line->m_input.clear();
            ++m_line->m_purges;
        }
    }

    std::uint64_t receivePurges() const override
    {
        std::lock_guard lock(m_line->m_mutex);
        return m_line->m_purges;
    }

    long read(char *data, std::size_t size) override { return readAvailable(data, size); }

    long write(const char *data, std::size_t size) override
    {
        std::lock_guard lock(m_line->m_mutex);
        if (!m_line->m_open || m_line->m_hungUp)
            return -1;
        m_line->m_written.emplace_back(data, size);
        if (m_line->responder) {
            const std::string answer = m_line->responder(m_line->m_written.back());
            m_line->m_input.insert(m_line->m_input.end(), answer.begin(), answer.end());
            m_line->m_changed.notify_all();
        }
        return long(size);
    }

    WaitResult waitForInput() override
    {
        std::unique_lock lock(m_line->m_mutex);
        ++m_line->m_waits;
        m_line->m_changed.wait(lock, [this] {
            return !m_line->m_input.empty() || m_line->m_hungUp || m_line->m_interrupted;
        });
        if (m_line->m_interrupted)
            return { WaitResult::Interrupted, 0 };
        if (m_line->m_hungUp)
            return { WaitResult::Failed, 0 };
        return { WaitResult::Ready, m_line->m_input.size() };
    }

    long readAvailable(char *data, std::size_t size) override
    {
        std::lock_guard lock(m_line->m_mutex);
        std::size_t count = 0;
        while (count < size && !m_line->m_input.empty()) {
            data[count++] = m_line->m_input.front();
            m_line->m_input.pop_front();
        }
        return long(count);
    }

    void interrupt() override
    {
        {
            std::lock_guard lock(m_line->m_mutex);
            m_line->m_interrupted = true;
        }
        m_line->m_changed.notify_all();
    }

    void close() override
    {
        std::lock_guard lock(m_line->m_mutex);
        m_line->m_open = false;
    }

    bool isOpen() const override
    {
        std::lock_guard lock(m_line->m_mutex);
        return m_line->m_open;
    }

    OpenError openError() const override { return m_line->openError; }

private:
    std::shared_ptr<FakeLine> m_line;
};

inline auto fakePortFactory(std::shared_ptr<FakeLine> line)
{
    return [line]() -> std::unique_ptr<SerialPort> {
        return std::make_unique<FakeSerialPort>(line);
    };
}

} // namespace relaybox::testing
