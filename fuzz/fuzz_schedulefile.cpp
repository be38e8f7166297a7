// Feeds arbitrary bytes to the schedule file loader with a few bank counts. Whatever it loads
// must save and load again to the same timers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    for (int bankCount : { 0, 1, 3, 16, 40 }) {
        ScheduleTable on;
        ScheduleTable off;
        loadScheduleText(text, on, off, bankCount);

        ScheduleTable reloadedOn;
        ScheduleTable reloadedOff;
        const ScheduleLoadResult again = loadScheduleText(scheduleFileText(on, off, bankCount),
                                                          reloadedOn, reloadedOff, bankCount);
        check(again.end == ScheduleLoadResult::End::Complete && again.skipped == 0);
        for (int bank = 0; bank < kScheduleBanks; ++bank) {
            for (int port = 0; port < kPortsPerBank; ++port) {
                check(sameTimers(on[bank][port], reloadedOn[bank][port]));
                check(sameTimers(off[bank][port], reloadedOff[bank][port]));
            }
        }
    }
    return 0;
}
