// Feeds arbitrary bytes to the schedule file loader with one of a few bank counts. Whatever it
// loads must save and load again to the same timers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string_view>

#include "schedule/schedulefile.h"

using namespace relaybox;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool sameTimers(const ScheduleEntry &a, const ScheduleEntry &b)
{
    return a.enabled == b.enabled && a.invalid == b.invalid && a.mode == b.mode && a.day == b.day
        && a.hour == b.hour && a.minute == b.minute;
}

// Reused between inputs: building and zeroing tables per input cost more than the input.
struct Tables
{
    ScheduleTable on;
    ScheduleTable off;
    ScheduleTable reloadedOn;
    ScheduleTable reloadedOff;
    ScheduleTable empty; // never written

    void clear()
    {
        on = empty;
        off = empty;
        reloadedOn = empty;
        reloadedOff = empty;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static Tables tables;
    // One bank count per input, picked by its length, so that every count meets every kind of text.
    constexpr int kBankCounts[] = { 0, 1, 3, 16, 40 };
    const int bankCount = kBankCounts[size % std::size(kBankCounts)];
    const std::string_view text(reinterpret_cast<const char *>(data), size);

    tables.clear();
    const ScheduleLoadResult loaded = loadScheduleText(text, tables.on, tables.off, bankCount);
    check(loaded.applied >= 0 && loaded.skipped >= 0);
    if (loaded.applied == 0)
        return 0; // the tables are as they started: nothing new to write and read back

    // Whatever was loaded saves and loads again to the same timers.
    const ScheduleLoadResult again =
        loadScheduleText(scheduleFileText(tables.on, tables.off, bankCount), tables.reloadedOn,
                         tables.reloadedOff, bankCount);
    check(again.end == ScheduleLoadResult::End::Complete && again.skipped == 0);
    for (int bank = 0; bank < kScheduleBanks; ++bank) {
        for (int port = 0; port < kPortsPerBank; ++port) {
            check(sameTimers(tables.on[bank][port], tables.reloadedOn[bank][port]));
            check(sameTimers(tables.off[bank][port], tables.reloadedOff[bank][port]));
        }
    }
    return 0;
}
