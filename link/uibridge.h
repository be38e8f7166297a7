#pragma once

#include "link/replyeffects.h"

// The worker thread's synchronized call into the UI thread.

namespace relaybox {

class UiBridge
{
public:
    virtual ~UiBridge() = default;

    // Runs the UI update for a reply in the UI thread and returns once it has run. Returns false,
    // at once, when the link is ending: the worker must not wait for the UI thread then.
    virtual bool deliver(const ReplyEffects &effects) = 0;
};

} // namespace relaybox
