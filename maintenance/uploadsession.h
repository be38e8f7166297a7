#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The firmware image being uploaded and how far it got: the first bytes go out in one burst when
// the loader prompts, every further byte on one request of the loader.

namespace relaybox {

class UploadSession
{
public:
    static constexpr std::size_t kBufferSize = 65535;
    static constexpr int kBurst = 20;

    struct Step
    {
        std::uint8_t byte = 0;
        int percent = 0; // reaches 100 exactly with the last byte
    };

    UploadSession();

    // The buffer is zeroed and filled from index 0. An empty image or one larger than the buffer
    // is refused and the previous image stays.
    bool load(std::span<const std::uint8_t> image);

    // Completion, failure and link reset: no image until the operator chooses one again.
    void forget();

    bool hasImage() const { return m_length > 0; }
    int length() const { return m_length; }
    int index() const { return m_index; } // the last byte sent

    // Bytes 0 to 19; an image shorter than that is followed by zero bytes.
    std::array<std::uint8_t, kBurst> firstBurst();
    // The next byte and the bar value; empty once every byte has gone.
    std::optional<Step> nextByte();

private:
    std::vector<std::uint8_t> m_buffer;
    int m_length = 0;
    int m_index = 0;
};

} // namespace relaybox
