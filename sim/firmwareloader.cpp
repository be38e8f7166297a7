#include "sim/firmwareloader.h"

#include <cstdio>

#include "sim/replytext.h"

namespace relaybox::sim {

namespace {

constexpr char kSpinner[] = { '|', '/', '-', '\\' };

std::string uploadSummary(std::size_t count, std::uint32_t sum)
{
    char text[64];
    std::snprintf(text, sizeof text, "UPLOAD END bytes=%zu checksum=%08x", count, unsigned(sum));
    return text;
}

} // namespace

std::string FirmwareLoader::banner()
{
    return "Kavtron Loader V2\r\n"
           "Serial port 9600 8N1\r\n"
           "CPU self test passed\r\n"
           "System clock 40MHz ready\r\n"
           "Read flash id 0xBF\r\n"
           "LAN interface not fitted\r\n"
           "Check boot block good\r\n"
           "Please send firmware image\r\n";
}

void FirmwareLoader::enter()
{
    if (m_state == State::Off) {
        m_state = State::Waiting;
        m_bannerDue.reset();
    }
}

void FirmwareLoader::leave()
{
    m_state = State::Off;
    m_bannerDue.reset();
    m_count = 0;
}

void FirmwareLoader::prompt(Step &step, Millis now)
{
    step.bytes += banner();
    step.events.emplace_back("LOADER PROMPT");
    m_state = State::Receiving;
    m_bannerDue.reset();
    m_repeatDue = now + kBannerRepeat;
    m_count = 0;
    m_sum = 0;
    m_burst.clear();
    m_spinner = 0;
}

void FirmwareLoader::endUpload(Step &step, const std::string &verdict)
{
    step.events.push_back(uploadSummary(m_count, m_sum) + ' ' + verdict);
    m_count = 0;
}

FirmwareLoader::Step FirmwareLoader::upgradeStart(Millis now)
{
    Step step;
    prompt(step, now);
    return step;
}

FirmwareLoader::Step FirmwareLoader::identify(Millis now)
{
    Step step;
    step.bytes = replytext::loaderIdentifyAnswer();
    m_state = State::Waiting;
    m_bannerDue = now + kBannerDelay;
    return step;
}

FirmwareLoader::Step FirmwareLoader::imageByte(std::uint8_t byte, Millis now)
{
    Step step;
    if (m_dropNext) {
        m_dropNext = false;
        step.hangup = true;
        step.events.emplace_back("UPLOAD DROPPED");
        if (m_count > 0)
            endUpload(step, "incomplete");
        m_state = State::Waiting;
        return step;
    }
    if (m_count == 0)
        step.events.emplace_back("UPLOAD BEGIN");
    const std::size_t index = m_count++;
    m_sum += byte;
    m_lastByteAt = now;
    if (m_burst.size() < kBurst)
        m_burst.push_back(char(byte));

    if (m_expected && (index >= m_expected->size() || (*m_expected)[index] != byte)) {
        endUpload(step, "mismatch at " + std::to_string(index));
        step.bytes += "Fail\n";
        step.outcome = Outcome::Failed;
        m_state = State::Waiting;
        m_bannerDue = now + kBannerRepeat;
        return step;
    }
    if (m_count >= kBurst) {
        step.bytes += kSpinner[m_spinner++ % std::size(kSpinner)];
        step.bytes += '\b';
    }
    if (m_expected && m_count == m_expected->size()) {
        endUpload(step, "ok");
        step.outcome = Outcome::Completed;
        m_state = State::Off;
    }
    return step;
}

FirmwareLoader::Step FirmwareLoader::tick(Millis now)
{
    Step step;
    if (m_state == State::Waiting) {
        if (m_bannerDue && now >= *m_bannerDue)
            prompt(step, now);
        return step;
    }
    if (m_state != State::Receiving)
        return step;
    if (m_count == 0) {
        if (now >= m_repeatDue)
            prompt(step, now);
    } else if (m_count < kBurst) {
        if (now - m_lastByteAt >= kBurstGap) {
            endUpload(step, "incomplete");
            step.outcome = Outcome::NotAnImage;
            step.frames = std::move(m_burst);
            m_burst.clear();
            m_state = State::Waiting;
        }
    } else if (!m_expected) {
        if (now - m_lastByteAt >= kEndSilence) {
            endUpload(step, "ok");
            step.outcome = Outcome::Completed;
            m_state = State::Off;
        }
    } else if (now - m_lastByteAt >= kStall) {
        endUpload(step, "incomplete");
        m_state = State::Waiting;
    }
    return step;
}

std::optional<Millis> FirmwareLoader::nextDeadline() const
{
    switch (m_state) {
    case State::Off:
        return std::nullopt;
    case State::Waiting:
        return m_bannerDue;
    case State::Receiving:
        break;
    }
    if (m_count == 0)
        return m_repeatDue;
    if (m_count < kBurst)
        return m_lastByteAt + kBurstGap;
    return m_lastByteAt + (m_expected ? kStall : kEndSilence);
}

void FirmwareLoader::setExpectedImage(std::optional<std::vector<std::uint8_t>> image)
{
    if (image && image->size() < kBurst)
        image->resize(kBurst, 0);
    m_expected = std::move(image);
}

} // namespace relaybox::sim
