#include "sim/framecollector.h"

namespace relaybox::sim {

std::optional<CollectedPiece> FrameCollector::push(char c)
{
    if (c == '/') {
        std::optional<CollectedPiece> dropped;
        if (m_state == State::InFrame)
            dropped = CollectedPiece { CollectedPiece::Kind::Rejected, m_frame };
        else if (!m_stray.empty())
            dropped = takeStray();
        m_state = State::InFrame;
        m_frame.assign(1, c);
        return dropped;
    }
    switch (m_state) {
    case State::Outside:
        m_stray.push_back(c);
        if (m_stray.size() >= kMaxStray)
            return takeStray();
        return std::nullopt;
    case State::Skipping:
        if (c == '\\')
            m_state = State::Outside;
        return std::nullopt;
    case State::InFrame:
        break;
    }
    m_frame.push_back(c);
    if (c == '\\') {
        m_state = State::Outside;
        return CollectedPiece { CollectedPiece::Kind::Frame, std::move(m_frame) };
    }
    if (m_frame.size() >= kMaxFrame) {
        m_state = State::Skipping;
        return CollectedPiece { CollectedPiece::Kind::Rejected, std::move(m_frame) + "..." };
    }
    return std::nullopt;
}

std::optional<CollectedPiece> FrameCollector::takeStray()
{
    if (m_stray.empty())
        return std::nullopt;
    CollectedPiece piece { CollectedPiece::Kind::Rejected, std::move(m_stray) };
    m_stray.clear();
    return piece;
}

} // namespace relaybox::sim
