#include "scheduletransfer.h"

#include <algorithm>

#include "link/frames.h"
#include "schedule/timetonext.h"

namespace relaybox {
namespace {

constexpr int kAllBanks = 0; // bank number 00 on the wire
constexpr int kWholeBank = 0; // port number 0 on the wire

class TransferBuilder
{
public:
    TransferBuilder(int bankCount, const LocalTime &now)
        : m_banks(bankCount)
        , m_now(now)
    { }

    void run(ScheduleTable &committed, ScheduleTable &editor, int selector)
    {
        for (int bank = 0; bank < m_banks; ++bank)
            committed[bank] = editor[bank];
        clearPass(committed, selector);
        setPass(committed, selector);
        // Every change is now in the queue, port removals under a bank clear included; the
        // editor starts again from what was committed, so that a later transfer, whichever
        // bank the dialog shows, does not send the same change again.
        for (int bank = 0; bank < m_banks; ++bank) {
            for (ScheduleEntry &entry : committed[bank])
                entry.pending = 0;
            editor[bank] = committed[bank];
        }
    }

    std::vector<std::string> takeFrames() { return std::move(m_frames); }

private:
    void clearPass(ScheduleTable &committed, int selector)
    {
        for (int bank = 0; bank < m_banks; ++bank) {
            ScheduleEntry &first = committed[bank][0];
            switch (first.scope) {
            case ClearAllBanks:
            case ClearAllBanksThenPort:
                m_frames.push_back(frames::scheduleClear(kAllBanks, kWholeBank, selector));
                if (first.scope == ClearAllBanks)
                    done(first);
                break;
            case ClearBank:
            case ClearBankThenPort:
                m_frames.push_back(frames::scheduleClear(bank + 1, kWholeBank, selector));
                if (first.scope == ClearBank)
                    done(first);
                break;
            default:
                for (int port = 0; port < kPortsPerBank; ++port) {
                    ScheduleEntry &entry = committed[bank][port];
                    if (entry.pending && !entry.enabled) {
                        m_frames.push_back(frames::scheduleClear(bank + 1, port + 1, selector));
                        entry.pending = 0;
                    }
                }
                break;
            }
        }
    }

    void setPass(ScheduleTable &committed, int selector)
    {
        for (int bank = 0; bank < m_banks; ++bank) {
            for (int port = 0; port < kPortsPerBank; ++port) {
                ScheduleEntry &entry = committed[bank][port];
                if (!entry.pending || !entry.enabled)
                    continue;
                // Until the switch confirms it, the entry shows no countdown.
                if (entry.scope == AllBanksScope) {
                    queueEntry(entry, kAllBanks, kWholeBank, selector);
                    entry.pending = 0;
                    entry.enabled = 0;
                    const ScheduleEntry copy = entry;
                    for (int other = 0; other < m_banks; ++other)
                        committed[other][0] = copy;
                } else if (entry.scope == BankScope) {
                    queueEntry(entry, bank + 1, kWholeBank, selector);
                    entry.pending = 0;
                    entry.enabled = 0;
                } else {
                    // Also the port entry that follows a bank or all-banks clear.
                    queueEntry(entry, bank + 1, port + 1, selector);
                    entry.pending = 0;
                    entry.enabled = 0;
                    entry.scope = PortScope;
                }
            }
        }
    }

    void queueEntry(ScheduleEntry &entry, int bank, int port, int selector)
    {
        entry.appliedWeekday = m_now.weekday;
        entry.appliedDate = appliedDateText(m_now);
        entry.appliedHour = m_now.hour;
        entry.appliedMinute = m_now.minute;
        entry.appliedSecond = entry.mode == ModeAfter ? m_now.second : 0;
        const TimeLeft left = timeToNext(entry, TimeToNextVariant::Transfer, m_now);
        m_frames.push_back(frames::scheduleEntry(scheduleLetter(entry.mode), bank, port, selector,
                                                 left.hours, left.minutes, left.seconds));
    }

    static void done(ScheduleEntry &first)
    {
        first.pending = 0;
        first.scope = PortScope;
    }

    int m_banks;
    LocalTime m_now;
    std::vector<std::string> m_frames;
};

} // namespace

char scheduleLetter(int mode)
{
    switch (mode) {
    case ModeEveryDay:
        return 'D';
    case ModeEveryWeek:
        return 'W';
    default:
        return 'T';
    }
}

std::vector<std::string> returnToTransfer(ScheduleTables &tables, int bankCount,
                                          const LocalTime &now)
{
    TransferBuilder builder(std::clamp(bankCount, 0, kScheduleBanks), now);
    builder.run(tables.committedOn, tables.editorOn, 1);
    builder.run(tables.committedOff, tables.editorOff, 0);
    return builder.takeFrames();
}

} // namespace relaybox
