#pragma once

// The host's local date and time, read through an interface so that tests can fix the moment.

namespace relaybox {

struct LocalTime
{
    int year = 2000;
    int month = 1; // 1 to 12
    int day = 1; // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 1; // 1 = Sunday to 7 = Saturday

    friend bool operator==(const LocalTime &, const LocalTime &) = default;
};

class HostClock
{
public:
    virtual ~HostClock() = default;
    virtual LocalTime now() const = 0;
};

// The operating system's local time, with its time zone and daylight-saving rules.
class SystemClock final : public HostClock
{
public:
    LocalTime now() const override;
};

// A clock that stays where a test puts it.
class FixedClock final : public HostClock
{
public:
    explicit FixedClock(LocalTime time = {})
        : m_time(time)
    { }
    LocalTime now() const override { return m_time; }
    void set(LocalTime time) { m_time = time; }

private:
    LocalTime m_time;
};

} // namespace relaybox
