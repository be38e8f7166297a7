#include "linkstate.h"

#include <algorithm>
#include <utility>

#include "schedule/scheduletransfer.h"

// The one place that takes the state's lock.

namespace relaybox {

namespace {

bool inTable(int bankNumber)
{
    return bankNumber >= 0 && bankNumber < kBankRecordCount;
}

int knownBanks(const LinkVariables &link)
{
    return std::clamp(link.bankCount, 0, kScheduleBanks);
}

} // namespace

BankRecord SharedState::bank(int bankNumber) const
{
    std::lock_guard lock(m_mutex);
    return inTable(bankNumber) ? m_values.banks[bankNumber] : BankRecord {};
}

BankView SharedState::bankView(int bankNumber) const
{
    std::lock_guard lock(m_mutex);
    BankView view;
    if (!inTable(bankNumber))
        return view;
    view.record = m_values.banks[bankNumber];
    if (isBankIndex(bankNumber - 1)) {
        view.committed.on = m_values.schedules.committedOn[bankNumber - 1];
        view.committed.off = m_values.schedules.committedOff[bankNumber - 1];
    }
    return view;
}

int SharedState::bankCount() const
{
    std::lock_guard lock(m_mutex);
    return m_values.link.bankCount;
}

bool SharedState::linkUp() const
{
    std::lock_guard lock(m_mutex);
    return m_values.link.linkUp;
}

bool SharedState::loaderMode() const
{
    std::lock_guard lock(m_mutex);
    return m_values.link.loaderMode;
}

std::string SharedState::lastLine() const
{
    std::lock_guard lock(m_mutex);
    return m_values.link.lastLine;
}

ReplyEffects SharedState::applyReply(const Reply &reply, std::string_view line,
                                     const HostClock &clock)
{
    std::lock_guard lock(m_mutex);
    return relaybox::applyReply(m_values, reply, line, clock);
}

bool SharedState::noteIdentifyAnswer(bool loader)
{
    std::lock_guard lock(m_mutex);
    if (loader)
        m_values.link.loaderMode = true;
    return m_values.link.loaderMode;
}

void SharedState::storeVersionText(int bankNumber, std::string_view text)
{
    if (!isBankNumber(bankNumber))
        return;
    std::lock_guard lock(m_mutex);
    relaybox::storeVersionText(m_values, bankNumber, text);
}

bool SharedState::armNewLink()
{
    std::lock_guard lock(m_mutex);
    m_values.link.rtcWarningArmed = true;
    m_values.link.firstClockSet = true;
    return m_values.link.loaderMode;
}

void SharedState::rearmAnnouncement()
{
    std::lock_guard lock(m_mutex);
    m_values.link.linkAnnounced = false;
    m_values.link.pollCount = 0;
}

bool SharedState::claimAnnouncement()
{
    std::lock_guard lock(m_mutex);
    return !std::exchange(m_values.link.linkAnnounced, true);
}

bool SharedState::countPoll()
{
    std::lock_guard lock(m_mutex);
    return ++m_values.link.pollCount > 5 && !m_values.link.linkAnnounced;
}

void SharedState::setLinkDown()
{
    std::lock_guard lock(m_mutex);
    m_values.link.linkUp = false;
}

void SharedState::resetLink()
{
    std::lock_guard lock(m_mutex);
    resetLinkValues(m_values);
}

std::optional<int> SharedState::unshownBankCount() const
{
    std::lock_guard lock(m_mutex);
    const LinkVariables &link = m_values.link;
    if (link.bankCount == link.shownBankCount)
        return std::nullopt;
    return link.bankCount;
}

int SharedState::showBankCount(int count)
{
    std::lock_guard lock(m_mutex);
    const int shown = m_values.link.shownBankCount;
    for (int bank = shown; bank > count; --bank) {
        m_values.banks[bank].reset();
        m_values.schedules.clearBank(bank - 1);
    }
    m_values.link.shownBankCount = count;
    return shown;
}

std::optional<std::string> SharedState::advanceTransferQueue()
{
    std::lock_guard lock(m_mutex);
    TransferQueue &queue = m_values.transferQueue;
    if (queue.empty())
        return std::nullopt;
    queue.pop_front();
    if (queue.empty())
        return std::nullopt;
    return queue.front();
}

std::optional<BankRecord> SharedState::bankForLamps(int bankNumber)
{
    std::lock_guard lock(m_mutex);
    if (!inTable(bankNumber))
        return std::nullopt;
    const BankRecord &record = m_values.banks[bankNumber];
    if (isBankIndex(bankNumber - 1)) {
        for (int port = 0; port < kPortsPerBank; ++port) {
            const std::uint8_t invalid = record.isFlagged(port) ? 1 : 0;
            m_values.schedules.committedOn[bankNumber - 1][port].invalid = invalid;
            m_values.schedules.committedOff[bankNumber - 1][port].invalid = invalid;
        }
    }
    return record;
}

BankTimers SharedState::editorTimers(int bankIndex) const
{
    std::lock_guard lock(m_mutex);
    if (!isBankIndex(bankIndex))
        return {};
    return { m_values.schedules.editorOn[bankIndex], m_values.schedules.editorOff[bankIndex] };
}

BankTimers SharedState::revertEditor(int bankIndex)
{
    std::lock_guard lock(m_mutex);
    ScheduleTables &tables = m_values.schedules;
    for (int bank = 0; bank < knownBanks(m_values.link); ++bank) {
        tables.editorOn[bank] = tables.committedOn[bank];
        tables.editorOff[bank] = tables.committedOff[bank];
    }
    if (!isBankIndex(bankIndex))
        return {};
    return { tables.editorOn[bankIndex], tables.editorOff[bankIndex] };
}

void SharedState::storeEditorPages(int bankIndex, const PageSettings &on, const PageSettings &off)
{
    std::lock_guard lock(m_mutex);
    const int banks = knownBanks(m_values.link);
    collectPage(m_values.schedules.editorOn, banks, bankIndex, on);
    collectPage(m_values.schedules.editorOff, banks, bankIndex, off);
}

void SharedState::markEditorForClearing()
{
    std::lock_guard lock(m_mutex);
    const int banks = knownBanks(m_values.link);
    markEnabledForClearing(m_values.schedules.editorOn, banks);
    markEnabledForClearing(m_values.schedules.editorOff, banks);
}

ScheduleLoadResult SharedState::loadEditorTables(std::string_view scheduleText)
{
    std::lock_guard lock(m_mutex);
    return loadScheduleText(scheduleText, m_values.schedules.editorOn, m_values.schedules.editorOff,
                            knownBanks(m_values.link));
}

std::string SharedState::editorFileText() const
{
    std::lock_guard lock(m_mutex);
    return scheduleFileText(m_values.schedules.editorOn, m_values.schedules.editorOff,
                            knownBanks(m_values.link));
}

std::optional<std::string> SharedState::returnToTransfer(const LocalTime &now)
{
    std::lock_guard lock(m_mutex);
    const std::vector<std::string> frames =
        relaybox::returnToTransfer(m_values.schedules, m_values.link.bankCount, now);
    TransferQueue &queue = m_values.transferQueue;
    queue.insert(queue.end(), frames.begin(), frames.end());
    if (queue.empty())
        return std::nullopt;
    return queue.front();
}

bool SharedState::takeFirstClockSetWarning()
{
    std::lock_guard lock(m_mutex);
    const bool first = std::exchange(m_values.link.firstClockSet, false);
    return first && m_values.schedules.timersExist(m_values.link.bankCount);
}

bool SharedState::takeClockFailureWarning()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_values.link.rtcWarningArmed, false);
}

void SharedState::newFirmwareLoaded(std::string_view pendingVersion)
{
    std::lock_guard lock(m_mutex);
    m_values.link.loaderMode = false;
    const int banks = std::min(m_values.link.bankCount, kMaxBanks);
    m_values.schedules.clearAll(banks);
    m_values.transferQueue.clear();
    for (int bank = 1; bank <= banks; ++bank)
        m_values.banks[bank].versionText = std::string(pendingVersion);
}

} // namespace relaybox
