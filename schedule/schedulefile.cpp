#include "schedulefile.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <system_error>

#include "platform/textfile.h"

namespace relaybox {
namespace {

constexpr int kFieldsPerRecord = 9;
// Delays rebuilt from the switch's reports reach three digits; times of day stay below 24.
constexpr int kLongestDelayHours = 999;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads decimal integers separated by any whitespace, as "%d" would.
class NumberReader
{
public:
    enum class Status { Number, End, Malformed };

    explicit NumberReader(std::string_view text)
        : m_text(text)
    { }

    Status next(int &value)
    {
        while (m_pos < m_text.size() && isBlank(m_text[m_pos]))
            ++m_pos;
        if (m_pos == m_text.size())
            return Status::End;
        bool negative = false;
        if (m_text[m_pos] == '+' || m_text[m_pos] == '-')
            negative = m_text[m_pos++] == '-';
        if (m_pos == m_text.size() || !isDigit(m_text[m_pos]))
            return Status::Malformed;
        long long number = 0;
        while (m_pos < m_text.size() && isDigit(m_text[m_pos])) {
            number = number * 10 + (m_text[m_pos++] - '0');
            if (number > static_cast<long long>(INT_MAX) + 1)
                return Status::Malformed;
        }
        number = negative ? -number : number;
        if (number > INT_MAX)
            return Status::Malformed;
        value = static_cast<int>(number);
        return Status::Number;
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

struct Record
{
    int table, bank, port, enabled, invalid, mode, day, hour, minute;
};

bool hasIndexInTables(const Record &record)
{
    return record.bank >= 0 && record.port >= 0 && record.port < kPortsPerBank;
}

// Values the editor and the transfer can hold; anything else is not a timer this program wrote.
// The editor refuses to tick "Every week" without a day, so such a record would show unticked
// yet be sent.
bool holdsTimer(const Record &record)
{
    const int maxHour = record.mode == ModeAfter ? kLongestDelayHours : 23;
    const bool weekWithoutDay =
        record.enabled != 0 && record.mode == ModeEveryWeek && record.day == 0;
    return record.mode >= ModeAfter && record.mode <= ModeEveryWeek && record.day >= 0
        && record.day <= 7 && record.hour >= 0 && record.hour <= maxHour && record.minute >= 0
        && record.minute <= 59 && !weekWithoutDay;
}

// A record is the timer of its own port. An entry that held a whole-bank or all-banks timer
// stops standing for the other ports: that timer is cleared first, then the port's own is sent.
std::int32_t loadedScope(std::int32_t scope, int bank, int port, bool enabled)
{
    if (port != 0)
        return PortScope;
    switch (scope) {
    case AllBanksScope:
        // Every bank holds a copy; bank 1's is the one the switch has.
        if (bank != 0)
            return PortScope;
        [[fallthrough]];
    case ClearAllBanks:
    case ClearAllBanksThenPort:
        return enabled ? ClearAllBanksThenPort : ClearAllBanks;
    case BankScope:
    case ClearBank:
    case ClearBankThenPort:
        return enabled ? ClearBankThenPort : ClearBank;
    default:
        return PortScope;
    }
}

void apply(const Record &record, ScheduleEntry &entry)
{
    const bool wasEnabled = entry.enabled != 0;
    entry.enabled = record.enabled != 0 ? 1 : 0;
    // An enabled record is sent; one that disables an enabled entry is sent as its clear, so
    // that the switch does not keep a timer the tables no longer hold.
    if (entry.enabled || wasEnabled)
        entry.pending = 1;
    entry.scope = loadedScope(entry.scope, record.bank, record.port, entry.enabled != 0);
    entry.invalid = record.invalid != 0 ? 1 : 0;
    entry.mode = record.mode;
    entry.day = record.day;
    entry.hour = record.hour;
    entry.minute = record.minute;
}

// The entry whose timer a port has on the switch: its own, or the whole-bank or all-banks timer
// that a port-1 entry holds. The file keeps timers per port, so that loading it sets the same
// ports at the same times whatever the tables held.
const ScheduleEntry &timerOfPort(const ScheduleTable &table, int banks, int bank, int port)
{
    const ScheduleEntry &own = table[bank][port];
    if (own.enabled && own.scope != BankScope && own.scope != AllBanksScope)
        return own;
    const ScheduleEntry &first = table[bank][0];
    if (first.enabled && first.scope == BankScope)
        return first;
    for (int holder = 0; holder < banks; ++holder) {
        if (table[holder][0].enabled && table[holder][0].scope == AllBanksScope)
            return table[holder][0];
    }
    return own;
}

} // namespace

std::string scheduleFileText(const ScheduleTable &editorOn, const ScheduleTable &editorOff,
                             int bankCount)
{
    const int banks = std::clamp(bankCount, 0, kScheduleBanks);
    std::string text;
    int tableValue = 0;
    for (const ScheduleTable *table : { &editorOn, &editorOff }) {
        for (int bank = 0; bank < banks; ++bank) {
            for (int port = 0; port < kPortsPerBank; ++port) {
                const ScheduleEntry &timer = timerOfPort(*table, banks, bank, port);
                // The switch's flag belongs to the port.
                const int invalid = (*table)[bank][port].invalid;
                char record[160];
                const int length = std::snprintf(
                    record, sizeof record, "%d %d %d %d %d %d %d %d %d ", tableValue, bank, port,
                    int(timer.enabled), invalid, timer.mode, timer.day, timer.hour, timer.minute);
                text.append(record, static_cast<std::size_t>(length));
            }
        }
        tableValue = 1;
    }
    return text;
}

ScheduleLoadResult loadScheduleText(std::string_view text, ScheduleTable &editorOn,
                                    ScheduleTable &editorOff, int bankCount)
{
    using End = ScheduleLoadResult::End;
    const int banks = std::clamp(bankCount, 0, kScheduleBanks);
    NumberReader reader(text);
    ScheduleLoadResult result;
    for (;;) {
        std::array<int, kFieldsPerRecord> fields {};
        for (int i = 0; i < kFieldsPerRecord; ++i) {
            switch (reader.next(fields[i])) {
            case NumberReader::Status::Number:
                break;
            case NumberReader::Status::End:
                result.end = i == 0 ? End::Complete : End::CutShort;
                return result;
            case NumberReader::Status::Malformed:
                result.end = End::Malformed;
                return result;
            }
        }
        const Record record { fields[0], fields[1], fields[2], fields[3], fields[4],
                              fields[5], fields[6], fields[7], fields[8] };
        if (!hasIndexInTables(record) || record.bank >= banks || !holdsTimer(record)) {
            ++result.skipped;
            continue;
        }
        ScheduleTable &table = record.table == 0 ? editorOn : editorOff;
        apply(record, table[record.bank][record.port]);
        ++result.applied;
    }
}

std::optional<std::string> readScheduleFile(const std::filesystem::path &path)
{
    return readTextFile(path, kMaxScheduleFileBytes);
}

bool saveScheduleFile(const std::filesystem::path &path, std::string_view text)
{
    return replaceTextFile(path, text);
}

} // namespace relaybox
