// Arbitrary bytes from the switch, in normal and raw line mode, through line building,
// classification and the shared state.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "link/receiver.h"
#include "tests/common/sharedstateaccess.h"

using namespace relaybox;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Built once: a fresh SharedState and Receiver per input cost more than the input itself.
struct Fixture
{
    Fixture()
    {
        for (int bank = 0; bank < 8; ++bank)
            queue.push_back("/Q0" + std::to_string(bank) + "01\\");
        reset();
    }

    // Back to the state every input starts from.
    void reset()
    {
        StateValues &values = testing::unguarded(state);
        values.banks = testing::unguarded(pristine).banks;
        values.link = LinkVariables {};
        values.transferQueue = queue;
        // Built afresh: copying 512 entries costs several times more than constructing them.
        std::destroy_at(&values.schedules);
        std::construct_at(&values.schedules);
    }

    const FixedClock clock { LocalTime { 2026, 12, 7, 23, 59, 59, 7 } };
    const SharedState pristine;
    TransferQueue queue;
    SharedState state;
    const Receiver::Sink ignore = [](const ReplyEffects &) {
        return true;
    };
    const Receiver::Sink checkEffects = [](const ReplyEffects &effects) {
        check(effects.updateCount >= 0 && effects.updateCount <= 2);
        for (int i = 0; i < effects.updateCount; ++i)
            check(int(effects.updates[i].kind) >= 0 && int(effects.updates[i].kind) <= 13);
        return true;
    };
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static Fixture fixture;
    fixture.reset();
    SharedState &state = fixture.state;
    Receiver receiver(state, fixture.clock); // a line builder and a flag: nothing to reuse

    std::string_view bytes(reinterpret_cast<const char *>(data), size);
    // The first byte picks the starting mode, so raw mode is reached without a prompt too.
    if (!bytes.empty() && (bytes.front() & 1))
        receiver.feed("Please send firmware image\r", fixture.ignore);
    receiver.feed(bytes, fixture.checkEffects);

    const StateValues &values = testing::unguarded(state);
    check(values.link.bankCount >= 0 && values.link.bankCount <= kMaxBanks);
    check(isBankNumber(values.link.replyBank));
    check(values.link.lastLine.size() <= LineBuilder::kMaxLine);
    for (const BankRecord &record : values.banks) {
        check(record.switchLetters.size() <= kLettersPerBank);
        check(record.timerLetters.size() <= kLettersPerBank);
        check(record.versionText.size() <= kVersionTextMax);
    }
    return 0;
}
