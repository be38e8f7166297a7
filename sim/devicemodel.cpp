#include "sim/devicemodel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sim/replytext.h"

namespace relaybox::sim {

namespace {

// Frame bytes as they are, anything outside printable ASCII as \xHH.
std::string printable(std::string_view bytes)
{
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f) {
            text += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            text += hex;
        }
    }
    return text;
}

std::string scheduleWord(const HostCommand &command)
{
    char text[16];
    std::snprintf(text, sizeof text, "%c%02d%01d%01d", command.letter, command.bank, command.port,
                  command.selector);
    return text;
}

bool allDigits(const std::string &text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

DeviceModel::DeviceModel(const DeviceSettings &settings)
    : m_bankCount(std::clamp(settings.banks, 1, kMaxBanks))
    , m_version(settings.version)
    , m_status(settings.status)
    , m_clockFail(settings.clockFail)
    , m_silent(settings.silent)
    , m_clockBaseMs(toSeconds(settings.startTime) * 1000)
{
    for (Bank &bank : m_banks)
        bank.amps = std::clamp(settings.amps, 0.0, kMaxAmps);
    if (settings.drift)
        setDrift(true, Millis {});
    if (settings.loader)
        m_loader.enter();
    m_loader.setExpectedImage(settings.expectedImage);
}

void DeviceModel::event(std::string text)
{
    m_output.events.push_back(std::move(text));
}

void DeviceModel::send(std::string_view bytes)
{
    if (!m_silent)
        m_output.bytes += bytes;
}

DeviceOutput DeviceModel::takeOutput()
{
    DeviceOutput output = std::move(m_output);
    m_output = {};
    return output;
}

std::int64_t DeviceModel::clockMs(Millis now) const
{
    return m_clockBaseMs + (now - m_clockBaseAt).count();
}

Millis DeviceModel::whenClockReaches(std::int64_t ms) const
{
    return m_clockBaseAt + Millis(ms - m_clockBaseMs);
}

CivilTime DeviceModel::clock(Millis now) const
{
    const std::int64_t ms = clockMs(now);
    return fromSeconds(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
}

// ---- time ------------------------------------------------------------------------------------

void DeviceModel::tick(Millis now)
{
    advanceTo(now);
    if (m_collector.hasStray() && now - m_strayAt >= kStrayQuiet)
        handlePiece(*m_collector.takeStray(), now);
    takeLoaderStep(m_loader.tick(now), now);
}

void DeviceModel::advanceTo(Millis now)
{
    fireTimers(now);
    stepDrift(now);
}

std::optional<Millis> DeviceModel::nextDeadline() const
{
    std::optional<Millis> next = m_loader.nextDeadline();
    const auto earliest = [&next](Millis at) {
        if (!next || at < *next)
            next = at;
    };
    if (const auto due = m_timers.nextDueMs())
        earliest(whenClockReaches(*due));
    if (m_collector.hasStray())
        earliest(m_strayAt + kStrayQuiet);
    return next;
}

void DeviceModel::fireTimers(Millis now)
{
    const std::int64_t nowMs = clockMs(now);
    for (const TimerTable::Firing &firing : m_timers.fireDue(nowMs)) {
        const bool on = firing.selector == 1;
        std::array<bool, kMaxBanks> changed {};
        for (const auto &[bank, port] : firing.ports)
            if (bank <= m_bankCount)
                setPort(bank, port, on, changed);
        char text[96];
        std::snprintf(text, sizeof text, "TIMER FIRED %c%02d%01d%01d %s at %s", firing.letter,
                      firing.bank, firing.port, firing.selector, on ? "on" : "off",
                      formatCivil(fromSeconds(firing.dueMs / 1000)).c_str());
        event(text);
        reportChanged(changed);
    }
}

void DeviceModel::setDrift(bool on, Millis now)
{
    if (on && !m_drift) {
        for (int b = 0; b < kMaxBanks; ++b) {
            Bank &bank = m_banks[b];
            if (bank.amps <= 0.0)
                bank.amps = std::fmod(1.0 + 0.9 * b, kDriftCeiling - 1.0);
            bank.amps = std::min(bank.amps, kDriftCeiling);
        }
        m_driftAt = now;
    }
    m_drift = on;
}

void DeviceModel::stepDrift(Millis now)
{
    if (!m_drift)
        return;
    // A long gap (a stopped clock in a test) drifts by at most a minute's worth of steps.
    if (now - m_driftAt > 60 * kDriftStep)
        m_driftAt = now - 60 * kDriftStep;
    while (now - m_driftAt >= kDriftStep) {
        m_driftAt += kDriftStep;
        for (Bank &bank : m_banks) {
            const int tenths = int(m_random() % 5) - 2;
            bank.amps = std::clamp(bank.amps + tenths * 0.1, 0.0, kDriftCeiling);
        }
    }
}

// ---- bytes from the host ---------------------------------------------------------------------

void DeviceModel::receive(std::string_view bytes, Millis now)
{
    for (const char c : bytes)
        receive(static_cast<std::uint8_t>(c), now);
}

void DeviceModel::receive(std::uint8_t byte, Millis now)
{
    advanceTo(now);
    if (m_loader.receiving()) {
        takeLoaderStep(m_loader.imageByte(byte, now), now);
        return;
    }
    const auto piece = m_collector.push(char(byte));
    if (m_collector.hasStray())
        m_strayAt = now;
    if (piece)
        handlePiece(*piece, now);
}

void DeviceModel::takeLoaderStep(FirmwareLoader::Step step, Millis now)
{
    send(step.bytes);
    for (std::string &text : step.events)
        event(std::move(text));
    if (step.hangup)
        m_output.hangup = true;
    switch (step.outcome) {
    case FirmwareLoader::Outcome::Completed:
        m_version = nextVersion(m_version);
        send("Version " + dottedVersion(m_version) + " loaded OK\n");
        m_timers.clearAll();
        event("FIRMWARE " + m_version);
        break;
    case FirmwareLoader::Outcome::NotAnImage:
        receive(step.frames, now);
        break;
    case FirmwareLoader::Outcome::Failed:
    case FirmwareLoader::Outcome::None:
        break;
    }
}

void DeviceModel::handlePiece(const CollectedPiece &piece, Millis now)
{
    if (piece.kind == CollectedPiece::Kind::Rejected) {
        event("REJECT " + printable(piece.bytes));
        return;
    }
    handleFrame(piece.bytes, now);
}

void DeviceModel::handleFrame(const std::string &frame, Millis now)
{
    event("RX " + printable(frame));
    const std::optional<HostCommand> command = parseHostCommand(frame);
    if (m_loader.active()) {
        // The loader knows two frames; everything else goes unanswered.
        if (command && command->kind == HostCommand::Kind::Identify)
            takeLoaderStep(m_loader.identify(now), now);
        else if (command && command->kind == HostCommand::Kind::UpgradeStart)
            takeLoaderStep(m_loader.upgradeStart(now), now);
        return;
    }
    if (!command) {
        event("REJECT " + printable(frame));
        return;
    }
    handleCommand(*command, frame, now);
}

bool DeviceModel::inRange(int bank, int port) const
{
    // Bank 00 is every bank and only goes with port 0.
    if (bank == 0)
        return port == 0;
    return bank <= m_bankCount && port <= kPorts;
}

void DeviceModel::handleCommand(const HostCommand &command, const std::string &frame, Millis now)
{
    using Kind = HostCommand::Kind;
    switch (command.kind) {
    case Kind::Identify:
        send(replytext::identifyAnswer());
        return;
    case Kind::VersionQuery:
        for (int bank = 1; bank <= m_bankCount; ++bank)
            send(replytext::version(bank, m_version));
        return;
    case Kind::StatusPoll:
        sendStatus();
        return;
    case Kind::SwitchOn:
    case Kind::SwitchOff:
        if (!switchPorts(command.bank, command.port, command.kind == Kind::SwitchOn))
            event("REJECT " + printable(frame));
        return;
    case Kind::RestoreOn:
    case Kind::RestoreOff:
        m_restore = command.kind == Kind::RestoreOn;
        return;
    case Kind::ScheduleClear:
        if (!inRange(command.bank, command.port) || command.selector > 1) {
            event("REJECT " + printable(frame));
            return;
        }
        m_timers.clear(command.bank, command.port, command.selector);
        send(replytext::scheduleCleared(command.bank, command.port, command.selector));
        return;
    case Kind::ScheduleEntry: {
        if (!inRange(command.bank, command.port) || command.selector > 1 || command.minutes > 59
            || command.seconds > 59) {
            event("REJECT " + printable(frame));
            return;
        }
        const std::int64_t left =
            (std::int64_t(command.hours) * 3600 + command.minutes * 60 + command.seconds) * 1000;
        const std::int64_t due = clockMs(now) + left;
        m_timers.set(command.letter, command.bank, command.port, command.selector, due,
                     m_bankCount);
        event("TIMER SET " + scheduleWord(command) + " due "
              + formatCivil(fromSeconds(due / 1000)));
        send(replytext::scheduleSet(command.bank, command.port, command.selector));
        return;
    }
    case Kind::ClockSet:
        if (m_clockFail) {
            event("CLOCK ERR " + formatCivil(command.clock));
            send(replytext::clockError());
            return;
        }
        m_clockBaseMs = toSeconds(command.clock) * 1000;
        m_clockBaseAt = now;
        event("CLOCK SET " + formatCivil(command.clock));
        // Timers keep their moments on the switch's clock: a jump forward fires what it passed.
        fireTimers(now);
        return;
    case Kind::UpgradeStart:
        event("UPGRADE");
        takeLoaderStep(m_loader.upgradeStart(now), now);
        return;
    }
}

void DeviceModel::sendStatus()
{
    send(replytext::bankCount(m_bankCount));
    for (int bank = 1; bank <= m_bankCount; ++bank) {
        if (m_status == StatusForm::Full) {
            send(replytext::fullStatus(bank, timerLetters(bank), switchLetters(bank),
                                       current(bank)));
        } else {
            send(replytext::portLetters(bank, switchLetters(bank)));
            send(replytext::current(bank, current(bank)));
        }
    }
    if (m_clockFail)
        send(replytext::clockError());
}

// ---- ports -----------------------------------------------------------------------------------

void DeviceModel::setPort(int bank, int port, bool on, std::array<bool, kMaxBanks> &changed)
{
    if (m_banks[bank - 1].stuck[port - 1])
        return;
    bool &state = m_banks[bank - 1].on[port - 1];
    if (state != on) {
        state = on;
        changed[bank - 1] = true;
    }
}

void DeviceModel::reportChanged(const std::array<bool, kMaxBanks> &changed)
{
    for (int bank = 1; bank <= kMaxBanks; ++bank) {
        if (!changed[bank - 1])
            continue;
        char text[32];
        std::snprintf(text, sizeof text, "PORTS %02d %s", bank, switchLetters(bank).c_str());
        event(text);
    }
}

bool DeviceModel::switchPorts(int bank, int port, bool on)
{
    if (!inRange(bank, port))
        return false;
    std::array<bool, kMaxBanks> changed {};
    const int firstBank = bank == 0 ? 1 : bank;
    const int lastBank = bank == 0 ? m_bankCount : bank;
    for (int b = firstBank; b <= lastBank; ++b)
        for (int p = 1; p <= kPorts; ++p)
            if (port == 0 || p == port)
                setPort(b, p, on, changed);
    reportChanged(changed);
    return true;
}

std::string DeviceModel::switchLetters(int bank) const
{
    std::string letters(kPorts, 'C');
    if (bank >= 1 && bank <= kMaxBanks)
        for (int p = 0; p < kPorts; ++p)
            letters[p] = m_banks[bank - 1].on[p] ? 'O' : 'C';
    return letters;
}

std::string DeviceModel::timerLetters(int bank) const
{
    std::string letters(kPorts, 'G');
    if (bank >= 1 && bank <= kMaxBanks)
        for (int p = 0; p < kPorts; ++p)
            letters[p] = m_banks[bank - 1].flagged[p] ? 'F' : 'G';
    return letters;
}

double DeviceModel::current(int bank) const
{
    return bank >= 1 && bank <= kMaxBanks ? m_banks[bank - 1].amps : 0.0;
}

// ---- controls --------------------------------------------------------------------------------

bool DeviceModel::setBankCount(int banks)
{
    if (banks < 1 || banks > kMaxBanks)
        return false;
    m_bankCount = banks;
    m_timers.clearBanksFrom(banks);
    return true;
}

bool DeviceModel::setCurrent(int bank, double amps)
{
    if (bank < 1 || bank > kMaxBanks || !(amps >= 0.0 && amps <= kMaxAmps))
        return false;
    m_banks[bank - 1].amps = amps;
    return true;
}

bool DeviceModel::setFlag(int bank, int port, bool flagged)
{
    if (bank < 1 || bank > kMaxBanks || port < 1 || port > kPorts)
        return false;
    m_banks[bank - 1].flagged[port - 1] = flagged;
    return true;
}

bool DeviceModel::setStuck(int bank, int port, bool stuck)
{
    if (bank < 1 || bank > kMaxBanks || port < 1 || port > kPorts)
        return false;
    m_banks[bank - 1].stuck[port - 1] = stuck;
    return true;
}

int DeviceModel::reportTimers(Millis now)
{
    advanceTo(now);
    const std::int64_t nowMs = clockMs(now);
    const auto held = m_timers.held(m_bankCount);
    for (const TimerTable::Held &timer : held) {
        // Whole seconds left, rounded up; the three hour digits hold at most 999.
        std::int64_t left = std::max<std::int64_t>(0, (timer.dueMs - nowMs + 999) / 1000);
        left = std::min<std::int64_t>(left, 999 * 3600 + 59 * 60 + 59);
        send(replytext::timerReport(timer.letter, timer.bank, timer.port, timer.selector,
                                    int(left / 3600), int(left / 60 % 60), int(left % 60)));
    }
    return int(held.size());
}

bool DeviceModel::advanceClock(std::chrono::seconds by, Millis now)
{
    if (by.count() < 0)
        return false;
    advanceTo(now);
    m_clockBaseMs += by.count() * 1000;
    advanceTo(now);
    return true;
}

void DeviceModel::setExpectedImage(std::optional<std::vector<std::uint8_t>> image)
{
    m_loader.setExpectedImage(std::move(image));
}

void DeviceModel::sendLine(std::string_view text)
{
    m_output.bytes += replytext::framed(text);
}

void DeviceModel::sendRaw(std::string_view bytes)
{
    m_output.bytes += bytes;
}

void DeviceModel::sendGarbage(std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        m_output.bytes += char(m_random() & 0xff);
}

std::vector<std::string> DeviceModel::describe(Millis now) const
{
    std::vector<std::string> lines;
    char text[160];
    std::snprintf(text, sizeof text, "STATE banks=%d clock=%s restore=%s loader=%s silent=%s",
                  m_bankCount, formatCivil(clock(now)).c_str(),
                  !m_restore       ? "unset"
                      : *m_restore ? "on"
                                   : "off",
                  loaderMode() ? "on" : "off", m_silent ? "on" : "off");
    lines.emplace_back(text);
    for (int bank = 1; bank <= m_bankCount; ++bank) {
        std::snprintf(text, sizeof text, "STATE bank=%02d switch=%s timer=%s amps=%s version=%s",
                      bank, switchLetters(bank).c_str(), timerLetters(bank).c_str(),
                      replytext::amps(current(bank)).c_str(), m_version.c_str());
        lines.emplace_back(text);
    }
    return lines;
}

std::string DeviceModel::nextVersion(const std::string &version)
{
    if (version.size() != 4 || !allDigits(version))
        return version;
    char text[8];
    std::snprintf(text, sizeof text, "%.2s%02d", version.c_str(),
                  (std::stoi(version.substr(2)) + 1) % 100);
    return text;
}

std::string DeviceModel::dottedVersion(const std::string &version)
{
    if (version.size() != 4)
        return version;
    if (!allDigits(version))
        return std::string { version[0], '.', version[1], '.' } + version.substr(2);
    return std::string { version[0], '.', version[1], '.' }
    + std::to_string(std::stoi(version.substr(2)));
}

} // namespace relaybox::sim
