#include "receiver.h"

namespace relaybox {

bool Receiver::feed(std::string_view bytes, const Sink &sink)
{
    for (const char c : bytes) {
        if (!m_lines.push(c, m_raw))
            continue;
        const std::string_view line = m_lines.line();
        const ReplyEffects effects = m_state.applyReply(parseReply(line), line, m_clock);
        m_raw = effects.rawReceive;
        if ((effects.identified || effects.updateCount > 0) && !sink(effects))
            return false;
    }
    return true;
}

} // namespace relaybox
