#pragma once

#include <cstddef>
#include <optional>
#include <string>

// Cuts the host's byte stream into command frames: "/" starts a frame, a backslash ends it. What
// cannot be a frame (bytes between frames, a frame cut short by a new "/", an over-long frame) is
// handed back as rejected text so that it can be shown; nothing grows without bound.

namespace relaybox::sim {

struct CollectedPiece
{
    enum class Kind { Frame, Rejected };
    Kind kind = Kind::Frame;
    std::string bytes; // a frame with its "/" and backslash; rejected bytes as received
};

class FrameCollector
{
public:
    static constexpr std::size_t kMaxFrame = 40; // the longest frame, the clock set, has 28
    static constexpr std::size_t kMaxStray = 64;

    std::optional<CollectedPiece> push(char c);

    // Hands back the bytes seen outside any frame so far, if there are any.
    std::optional<CollectedPiece> takeStray();
    bool hasStray() const { return !m_stray.empty(); }

private:
    enum class State { Outside, InFrame, Skipping };
    State m_state = State::Outside;
    std::string m_frame;
    std::string m_stray;
};

} // namespace relaybox::sim
