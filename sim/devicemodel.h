#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "sim/civiltime.h"
#include "sim/firmwareloader.h"
#include "sim/framecollector.h"
#include "sim/hostcommand.h"
#include "sim/timertable.h"

// The switch itself, without any terminal: bytes from the host go in with the time they arrive,
// reply bytes and observed events come out. Time is the caller's (milliseconds since start); the
// switch's clock runs from its start time with it and jumps with Clock set and advance.

namespace relaybox::sim {

enum class StatusForm {
    Full, // "/S01 GGGGGGGG OOOOCCCC 3.5\"
    Split, // "/S01 OOOOCCCC\" and "/C01 3.5\"
};

struct DeviceSettings
{
    int banks = 1;
    StatusForm status = StatusForm::Full;
    double amps = 0.0;
    bool drift = false;
    std::string version = "1203";
    bool loader = false;
    bool clockFail = false;
    bool silent = false;
    std::optional<std::vector<std::uint8_t>> expectedImage;
    CivilTime startTime; // the switch's clock at time 0
};

struct DeviceOutput
{
    std::string bytes;
    std::vector<std::string> events; // without time stamps
    bool hangup = false;
};

class DeviceModel
{
public:
    static constexpr int kMaxBanks = 16;
    static constexpr int kPorts = 8;
    static constexpr double kMaxAmps = 99.9; // what two digits and a decimal show
    static constexpr double kDriftCeiling = 15.0;
    static constexpr Millis kDriftStep { 1000 };
    static constexpr Millis kStrayQuiet { 50 }; // bytes between frames are shown after this

    explicit DeviceModel(const DeviceSettings &settings);

    void receive(std::uint8_t byte, Millis now);
    void receive(std::string_view bytes, Millis now);
    void tick(Millis now);
    std::optional<Millis> nextDeadline() const;
    DeviceOutput takeOutput();

    // The simulator's controls. Setters return false for values out of range.
    bool setBankCount(int banks);
    void setStatusForm(StatusForm form) { m_status = form; }
    bool setCurrent(int bank, double amps);
    void setDrift(bool on, Millis now);
    bool setFlag(int bank, int port, bool flagged);
    bool setStuck(int bank, int port, bool stuck); // the relay keeps its state whatever is asked
    int reportTimers(Millis now); // returns how many timers were sent
    void setClockFail(bool on) { m_clockFail = on; }
    bool advanceClock(std::chrono::seconds by, Millis now);
    void setExpectedImage(std::optional<std::vector<std::uint8_t>> image);
    void dropNextUploadByte() { m_loader.dropNextByte(); }
    void enterLoader() { m_loader.enter(); }
    void setSilent(bool on) { m_silent = on; }
    void sendLine(std::string_view text); // framed, even while silent
    void sendRaw(std::string_view bytes); // as they are, even while silent
    void sendGarbage(std::size_t count); // random bytes, even while silent

    // What the switch holds.
    int bankCount() const { return m_bankCount; }
    std::string switchLetters(int bank) const;
    std::string timerLetters(int bank) const;
    double current(int bank) const;
    std::optional<bool> restoreStatus() const { return m_restore; }
    bool loaderMode() const { return m_loader.active(); }
    bool silent() const { return m_silent; }
    const std::string &version() const { return m_version; }
    CivilTime clock(Millis now) const;
    bool hasTimer(int bank, int port, int selector) const
    {
        return m_timers.has(bank, port, selector);
    }
    std::vector<std::string> describe(Millis now) const; // one line per bank and one overall

    // "1203" -> "1204" (build number one up) and its dotted form "1.2.4".
    static std::string nextVersion(const std::string &version);
    static std::string dottedVersion(const std::string &version);

private:
    struct Bank
    {
        std::array<bool, kPorts> on {};
        std::array<bool, kPorts> flagged {};
        std::array<bool, kPorts> stuck {};
        double amps = 0.0;
    };

    void event(std::string text);
    void send(std::string_view bytes); // nothing while silent
    void advanceTo(Millis now);
    void stepDrift(Millis now);
    void fireTimers(Millis now);
    void takeLoaderStep(FirmwareLoader::Step step, Millis now);
    void handlePiece(const CollectedPiece &piece, Millis now);
    void handleFrame(const std::string &frame, Millis now);
    void handleCommand(const HostCommand &command, const std::string &frame, Millis now);
    void sendStatus();
    bool switchPorts(int bank, int port, bool on); // returns false when out of range
    void setPort(int bank, int port, bool on, std::array<bool, kMaxBanks> &changed);
    void reportChanged(const std::array<bool, kMaxBanks> &changed);
    bool inRange(int bank, int port) const;
    std::int64_t clockMs(Millis now) const;
    Millis whenClockReaches(std::int64_t ms) const;

    int m_bankCount = 1;
    std::array<Bank, kMaxBanks> m_banks {};
    std::string m_version;
    StatusForm m_status = StatusForm::Full;
    bool m_clockFail = false;
    bool m_silent = false;
    std::optional<bool> m_restore;

    std::int64_t m_clockBaseMs = 0; // the switch's clock at m_clockBaseAt
    Millis m_clockBaseAt {};
    TimerTable m_timers;

    bool m_drift = false;
    Millis m_driftAt {};
    std::minstd_rand m_random { 20261206 };

    FrameCollector m_collector;
    Millis m_strayAt {};
    FirmwareLoader m_loader;
    DeviceOutput m_output;
};

} // namespace relaybox::sim
