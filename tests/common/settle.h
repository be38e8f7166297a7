#pragma once

#include <QtTest>
#include <chrono>

// For the checks that nothing more happens: there is no event to wait for, so the test lets the
// event loop (and the link's worker) run for this long, at least one of the timers under test,
// before it looks.

namespace relaybox::testing {

inline void settle(std::chrono::milliseconds time)
{
    QTest::qWait(static_cast<int>(time.count()));
}

} // namespace relaybox::testing
