#include "cli/switchlink.h"

#include <algorithm>

#include "link/frames.h"
#include "link/reply.h"
#include "platform/stopsignals.h"

namespace relaybox::cli {

namespace {

using namespace std::chrono_literals;

// A read returns this long after the last byte of a burst (a byte takes 1.04 ms at 9600 baud),
// and waits at most kReadSlice, so that deadlines are kept.
constexpr auto kByteGap = 2ms;
constexpr auto kReadSlice = 50ms;
constexpr int kWriteLimitMs = 2000;
// A switch has said all it will about a query once the line stays quiet this long: a status
// answer that gave every bank's letters but no currents (a switch that sends none), or the
// Version answers of a chain.
constexpr auto kQuietAfterAnswer = 150ms;

} // namespace

SwitchLink::SwitchLink(std::unique_ptr<SerialPort> port)
    : m_port(std::move(port))
{ }

SwitchLink::~SwitchLink()
{
    if (m_port->isOpen())
        m_port->close();
}

OpenError SwitchLink::open(const std::string &path)
{
    if (!m_port->open(path, PortMode::Blocking))
        return m_port->openError();
    if (!m_port->readLineSettings() || !m_port->applyLineSettings()
        || !m_port->setBufferSizes(kProbeInputBuffer, kProbeOutputBuffer)) {
        m_port->close();
        return OpenError::NotASerialPort;
    }
    m_port->purge(true, true);
    return OpenError::None;
}

bool SwitchLink::send(const std::string &frame)
{
    if (m_portFailed)
        return false;
    m_port->setTimeouts({ 0, 0, 0, 0, kWriteLimitMs });
    if (m_port->write(frame.data(), frame.size()) != long(frame.size()))
        m_portFailed = true;
    return !m_portFailed;
}

bool SwitchLink::pump(Clock::time_point deadline, const std::function<bool()> &done)
{
    char buffer[64];
    while (!done()) {
        const auto now = Clock::now();
        if (now >= deadline || m_portFailed)
            return false;
        if (stopSignal() != 0) {
            m_stopped = true;
            return false;
        }
        const auto slice = std::min<Clock::duration>(kReadSlice, deadline - now);
        const int sliceMs = int(
            std::max<long long>(1, std::chrono::ceil<std::chrono::milliseconds>(slice).count()));
        m_port->setTimeouts({ int(kByteGap.count()), 0, sliceMs, 0, kWriteLimitMs });
        const long got = m_port->read(buffer, sizeof buffer);
        if (got < 0) {
            m_portFailed = true;
            return false;
        }
        if (got > 0)
            m_lastByte = Clock::now();
        for (long i = 0; i < got; ++i) {
            if (m_lines.push(buffer[i], false))
                take(m_lines.line());
        }
    }
    return true;
}

void SwitchLink::take(std::string_view line)
{
    const Reply reply = parseReply(line);
    const auto bankOf = [&]() -> BankReport * {
        if (!reply.number || !isBankNumber(*reply.number))
            return nullptr;
        return &m_report.banks[*reply.number];
    };
    switch (reply.type) {
    case ReplyType::IdentifyAnswer:
        m_identified = true;
        break;
    case ReplyType::LoaderFailure: // "abc": the loader answers the Identify command
        if (line == "abc")
            m_loader = true;
        break;
    case ReplyType::BankCount:
        if (reply.number && *reply.number >= 0 && *reply.number <= kMaxBanks) {
            m_report.bankCount = *reply.number;
            m_report.bankCountFresh = true;
        }
        break;
    case ReplyType::PortLetters:
    case ReplyType::FullStatus:
        if (BankReport *bank = bankOf()) {
            if (reply.switchLetters) {
                bank->switchLetters = *reply.switchLetters;
                bank->lettersFresh = true;
            }
            if (reply.timerLetters)
                bank->timerLetters = *reply.timerLetters;
            if (reply.current) {
                bank->current = *reply.current;
                bank->currentFresh = true;
            }
        }
        break;
    case ReplyType::Current:
        if (BankReport *bank = bankOf(); bank && reply.current) {
            bank->current = *reply.current;
            bank->currentFresh = true;
        }
        break;
    case ReplyType::Version:
        if (BankReport *bank = bankOf()) {
            bank->version = reply.versionText;
            bank->versionFresh = true;
        }
        break;
    default:
        break;
    }
}

IdentifyResult SwitchLink::identify(Clock::time_point deadline)
{
    m_identified = m_loader = false;
    if (!send(frames::identify()))
        return IdentifyResult::Silent;
    pump(deadline, [&] { return m_identified || m_loader; });
    if (m_identified)
        return IdentifyResult::Switch;
    return m_loader ? IdentifyResult::Loader : IdentifyResult::Silent;
}

bool SwitchLink::roundComplete(Clock::time_point lastByte) const
{
    if (!m_report.bankCountFresh)
        return false;
    bool currents = true;
    for (int bank = 1; bank <= m_report.bankCount; ++bank) {
        if (!m_report.banks[bank].lettersFresh)
            return false;
        currents = currents && m_report.banks[bank].currentFresh;
    }
    return currents || Clock::now() - lastByte >= kQuietAfterAnswer;
}

bool SwitchLink::pollStatus(Clock::time_point deadline,
                            const std::function<bool(const SwitchReport &)> &enough)
{
    m_report.bankCountFresh = false;
    for (BankReport &bank : m_report.banks)
        bank.lettersFresh = bank.currentFresh = false;
    if (!send(frames::statusPoll()))
        return false;
    m_lastByte = Clock::now();
    return pump(deadline,
                [&] { return (enough && enough(m_report)) || roundComplete(m_lastByte); });
}

bool SwitchLink::readVersions(Clock::time_point deadline)
{
    for (BankReport &bank : m_report.banks)
        bank.versionFresh = false;
    if (!send(frames::versionQuery()))
        return false;
    return pump(deadline, [&] {
        for (int bank = 1; bank <= m_report.bankCount; ++bank) {
            if (!m_report.banks[bank].versionFresh)
                return false;
        }
        return true;
    });
}

BankPresence SwitchLink::findBank(int bank, Clock::time_point deadline)
{
    // The banks answer the Version query in chain order, 10 bytes each: bank 16's answer comes
    // long before a status answer (27 bytes a bank) would end.
    for (BankReport &b : m_report.banks)
        b.versionFresh = false;
    if (!send(frames::versionQuery()))
        return BankPresence::Unknown;
    m_lastByte = Clock::now();
    pump(deadline, [&] {
        return m_report.banks[bank].versionFresh || Clock::now() - m_lastByte >= kQuietAfterAnswer;
    });
    if (m_report.banks[bank].versionFresh)
        return BankPresence::InChain;
    // A bank that gives no version may still be there: the status answer's bank count decides.
    if (m_stopped || m_portFailed || !pollStatus(deadline) || !m_report.bankCountFresh)
        return BankPresence::Unknown;
    return bank <= m_report.bankCount ? BankPresence::InChain : BankPresence::BeyondChain;
}

} // namespace relaybox::cli
