#include "replyeffects.h"

#include <algorithm>

#include "schedule/schedulereplies.h"

namespace relaybox {
namespace {

// The bank a status reply goes to: its own number, or the previous reply's when the digits did
// not parse. Empty for a bank outside the table.
std::optional<int> replyBank(LinkVariables &link, const Reply &reply)
{
    if (!reply.number)
        return link.replyBank;
    if (!isBankNumber(*reply.number))
        return std::nullopt;
    link.replyBank = *reply.number;
    return link.replyBank;
}

// A clear reply matches the head "/Q0231\" by its whole word "Q0231"; a set reply matches the
// head "/T0231 0000430\" by its four digits "0231".
bool matchesHead(const std::string &head, const Reply &reply, bool clear)
{
    if (clear)
        return head.size() >= 6 && head.compare(1, 5, reply.word) == 0;
    return head.size() >= 6 && reply.word.size() >= 5 && head.compare(2, 4, reply.word, 1, 4) == 0;
}

void advanceQueue(StateValues &values, const Reply &reply, bool clear, ReplyEffects &effects)
{
    TransferQueue &queue = values.transferQueue;
    if (queue.empty())
        return;
    const bool wholeBankOrFirstPort = reply.port == 0 || reply.port == 1;
    if (!matchesHead(queue.front(), reply, clear) && !wholeBankOrFirstPort)
        return;
    if (queue.size() > 1)
        effects.add({ clear ? UpdateKind::ClearAdvance : UpdateKind::SetAdvance, 0 });
    else
        queue.pop_front();
}

void applySchedule(StateValues &values, const Reply &reply, const HostClock &clock,
                   ReplyEffects &effects)
{
    const auto target = scheduleTarget(reply.bank, reply.port);
    if (!target)
        return;
    const bool powerOn = isPowerOnSelector(reply.selector);
    ScheduleTables &tables = values.schedules;
    switch (reply.type) {
    case ReplyType::ScheduleEntry:
        if (reply.entry.hours < 0 || reply.entry.minutes < 0 || reply.entry.seconds < 0)
            return;
        applyEntryReport(tables, *target, powerOn, reply.entry, clock.now());
        return;
    case ReplyType::ScheduleClear:
        applyClearReply(tables, values.link.bankCount, *target, powerOn);
        advanceQueue(values, reply, true, effects);
        break;
    default:
        applySetReply(tables, *target, powerOn);
        advanceQueue(values, reply, false, effects);
        break;
    }
    effects.add({ UpdateKind::EditorRefresh, target->bankIndex });
}

} // namespace

ReplyEffects applyReply(StateValues &values, const Reply &reply, std::string_view line,
                        const HostClock &clock)
{
    ReplyEffects effects;
    LinkVariables &link = values.link;
    link.lastLine.assign(line);

    switch (reply.type) {
    case ReplyType::Ignored:
        break;
    case ReplyType::ScheduleEntry:
    case ReplyType::ScheduleClear:
    case ReplyType::ScheduleSet:
        applySchedule(values, reply, clock, effects);
        break;
    case ReplyType::Spinner:
        effects.add({ UpdateKind::Spinner, 0 });
        break;
    case ReplyType::BankCount:
        if (reply.number)
            link.bankCount = std::clamp(*reply.number, 0, kMaxBanks);
        effects.add({ UpdateKind::BankCount, link.replyBank });
        break;
    case ReplyType::IdentifyAnswer:
        link.linkUp = true;
        effects.identified = true;
        break;
    case ReplyType::ClockError:
        effects.add({ UpdateKind::ClockError, 0 });
        break;
    case ReplyType::Success:
        link.loaderMode = false;
        link.rawReceive = false;
        break;
    case ReplyType::LoaderFailure:
        link.loaderMode = true;
        effects.add({ UpdateKind::LoaderFailure, 0 });
        break;
    case ReplyType::PortLetters:
    case ReplyType::FullStatus: {
        const auto bank = replyBank(link, reply);
        if (!bank)
            break;
        values.banks[*bank].bankNumber = static_cast<std::uint32_t>(*bank);
        if (reply.timerLetters)
            storeTimerLetters(values, *bank, *reply.timerLetters);
        if (reply.switchLetters)
            storeSwitchLetters(values, *bank, *reply.switchLetters);
        if (reply.current)
            storeCurrent(values, *bank, *reply.current);
        const bool full = reply.type == ReplyType::FullStatus;
        effects.add({ full ? UpdateKind::FullStatus : UpdateKind::PortLetters, *bank });
        break;
    }
    case ReplyType::Current: {
        const auto bank = replyBank(link, reply);
        if (!bank)
            break;
        if (reply.current)
            storeCurrent(values, *bank, *reply.current);
        effects.add({ UpdateKind::Current, *bank });
        break;
    }
    case ReplyType::Completion:
        // The loader is done whichever completion it sent; staying in raw mode after "xx OK"
        // would leave the switch's next answers without a line end.
        link.rawReceive = false;
        effects.add({ UpdateKind::Completion, 0 });
        break;
    case ReplyType::Version: {
        const auto bank = replyBank(link, reply);
        if (!bank)
            break;
        storeVersionText(values, *bank, reply.versionText);
        effects.add({ UpdateKind::Version, *bank });
        break;
    }
    case ReplyType::LoaderText:
        effects.add({ UpdateKind::LoaderText, 0 });
        break;
    case ReplyType::LoaderPrompt:
        link.rawReceive = true;
        effects.add({ UpdateKind::LoaderPrompt, 0 });
        break;
    }
    effects.rawReceive = link.rawReceive;
    return effects;
}

} // namespace relaybox
