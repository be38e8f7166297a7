#include "uploadsession.h"

#include <algorithm>

namespace relaybox {

UploadSession::UploadSession()
    : m_buffer(kBufferSize, 0)
{ }

bool UploadSession::load(std::span<const std::uint8_t> image)
{
    if (image.empty() || image.size() > kBufferSize)
        return false;
    std::fill(m_buffer.begin(), m_buffer.end(), 0);
    std::copy(image.begin(), image.end(), m_buffer.begin());
    m_length = int(image.size());
    m_index = 0;
    return true;
}

void UploadSession::forget()
{
    std::fill(m_buffer.begin(), m_buffer.end(), 0);
    m_length = 0;
    m_index = 0;
}

std::array<std::uint8_t, UploadSession::kBurst> UploadSession::firstBurst()
{
    std::array<std::uint8_t, kBurst> burst {};
    std::copy_n(m_buffer.begin(), kBurst, burst.begin());
    m_index = kBurst - 1;
    return burst;
}

std::optional<UploadSession::Step> UploadSession::nextByte()
{
    // Holds only for m_length >= 2, so the division below never meets zero.
    if (m_index >= m_length - 1)
        return std::nullopt;
    ++m_index;
    return Step { m_buffer[std::size_t(m_index)], m_index * 100 / (m_length - 1) };
}

} // namespace relaybox
