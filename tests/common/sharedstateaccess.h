#pragma once

#include <mutex>
#include <utility>

#include "link/linkstate.h"

// The shared state's values for a test's set-up and checks, where the program's own operations
// do not reach.

namespace relaybox::testing {

struct SharedStateAccess
{
    static StateValues &values(SharedState &state) { return state.m_values; }
    static const StateValues &values(const SharedState &state) { return state.m_values; }

    // State is SharedState or const SharedState; use gets the values as const as it.
    template<typename State, typename Use> static auto locked(State &state, Use &&use)
    {
        std::lock_guard lock(state.m_mutex);
        return use(state.m_values);
    }
};

// The values without the lock: only while no worker thread runs.
inline StateValues &unguarded(SharedState &state)
{
    return SharedStateAccess::values(state);
}
inline const StateValues &unguarded(const SharedState &state)
{
    return SharedStateAccess::values(state);
}

// `use` gets the values with the state's lock held, as a worker thread writes them.
template<typename State, typename Use> auto locked(State &state, Use &&use)
{
    return SharedStateAccess::locked(state, std::forward<Use>(use));
}

} // namespace relaybox::testing
