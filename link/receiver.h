#pragma once

#include <functional>
#include <string_view>

#include "link/linebuilder.h"
#include "link/linkstate.h"

// The receiving half of the link without the port: bytes in, lines classified and applied to the
// shared state, one callback per line that asks for something.

namespace relaybox {

class Receiver
{
public:
    // Returns false to drop the rest of the bytes fed in this call (the link is ending, or the
    // UI thread discarded the port's unread input while it handled the line).
    using Sink = std::function<bool(const ReplyEffects &)>;

    Receiver(SharedState &state, const HostClock &clock)
        : m_state(state)
        , m_clock(clock)
    { }

    // Feeds bytes; sink runs for every line whose effects are not empty, before the next byte is
    // looked at (a reply may switch the line ends of what follows). Returns false when the sink
    // stopped it.
    bool feed(std::string_view bytes, const Sink &sink);

private:
    SharedState &m_state;
    const HostClock &m_clock;
    LineBuilder m_lines;
    bool m_raw = false; // the state's raw flag, read back after every line
};

} // namespace relaybox
