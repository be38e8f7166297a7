#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The switch's firmware loader: its banner and prompt, the raw image bytes it takes (the first 20
// in a burst, then one per spinner it prints), the byte-by-byte check against an expected image,
// and how an upload ends. Time is passed in; nothing here sleeps or reads a clock.

namespace relaybox::sim {

using Millis = std::chrono::milliseconds;

class FirmwareLoader
{
public:
    static constexpr std::size_t kBurst = 20; // bytes the host sends before the first spinner
    static constexpr Millis kBannerDelay { 300 }; // after answering "/abc\" in loader mode
    static constexpr Millis kBannerRepeat { 3000 }; // again while no image byte arrives
    static constexpr Millis kEndSilence { 500 }; // without an expected image: the end
    // Fewer than kBurst bytes and then this long nothing: the host is not uploading; what came
    // was frames (a new link probing with "/uni\") and is read as such.
    static constexpr Millis kBurstGap { 1000 };
    // With an expected image, an upload that stalls this long is given up (the host has timed
    // out); the loader waits for the next host.
    static constexpr Millis kStall { 5000 };

    enum class Outcome {
        None,
        Completed, // the whole image arrived: the caller answers "Version ... loaded OK"
        Failed, // a byte did not match: "Fail" was sent, the loader stays
        NotAnImage, // the bytes in `frames` are host frames, not image bytes
    };

    struct Step
    {
        std::string bytes; // to the host
        std::vector<std::string> events;
        Outcome outcome = Outcome::None;
        std::string frames;
        bool hangup = false; // drop-upload: the cable goes now
    };

    bool active() const { return m_state != State::Off; }
    bool receiving() const { return m_state == State::Receiving; }

    void enter(); // loader mode, silent until the host identifies
    void leave(); // back to normal firmware without an upload
    Step upgradeStart(Millis now); // "/UPGRADE\": banner and prompt at once
    Step identify(Millis now); // "/uni\" in loader mode: "/abc\", banner a moment later
    Step imageByte(std::uint8_t byte, Millis now);
    Step tick(Millis now);
    std::optional<Millis> nextDeadline() const;

    // The image to check against, zero-padded to kBurst bytes; empty: no check.
    void setExpectedImage(std::optional<std::vector<std::uint8_t>> image);
    void dropNextByte() { m_dropNext = true; }

    static std::string banner(); // text lines and prompt, CR LF each

private:
    enum class State { Off, Waiting, Receiving };

    void prompt(Step &step, Millis now);
    void endUpload(Step &step, const std::string &verdict);

    State m_state = State::Off;
    std::optional<Millis> m_bannerDue; // Waiting
    Millis m_repeatDue {}; // Receiving, no byte yet
    Millis m_lastByteAt {};
    std::size_t m_count = 0;
    std::uint32_t m_sum = 0;
    std::string m_burst; // the first bytes, in case they turn out to be frames
    std::size_t m_spinner = 0;
    bool m_dropNext = false;
    std::optional<std::vector<std::uint8_t>> m_expected;
};

} // namespace relaybox::sim
