#include "probe.h"

#include <array>
#include <cctype>

#include "link/frames.h"

namespace relaybox {

std::string probelines::line(const std::string &label, bool pass)
{
    std::string text = label;
    text.resize(39, ' ');
    return text + (pass ? "PASS" : "FAIL");
}

namespace {

const std::string kCloseLine = probelines::line("Close", true);

bool write(SerialPort &port, const std::string &frame)
{
    return port.write(frame.data(), frame.size()) == long(frame.size());
}

// A version frame "/V01 1203\": slash, V, two-digit bank, blanks, four characters.
void storeVersionFrame(std::string_view frame, SharedState &state)
{
    if (frame.size() < 5 || frame[0] != '/' || frame[1] != 'V')
        return;
    std::size_t at = 2;
    if (!std::isdigit(static_cast<unsigned char>(frame[at])))
        return;
    int bank = frame[at++] - '0';
    if (at < frame.size() && std::isdigit(static_cast<unsigned char>(frame[at])))
        bank = bank * 10 + (frame[at++] - '0');
    while (at < frame.size() && std::isspace(static_cast<unsigned char>(frame[at])))
        ++at;
    if (frame.size() - at < 4 || !isBankNumber(bank))
        return;
    std::lock_guard lock(state.mutex);
    state.banks[bank].versionText = std::string(frame.substr(at, 4));
}

} // namespace

bool probePort(SerialPort &port, const std::string &path, ProbeLog &log, SharedState &state,
               const SerialTimeouts &timeouts)
{
    if (!port.open(path, PortMode::Blocking)) {
        log.append(probelines::line("Open", false));
        return false;
    }
    log.append(probelines::line("Open", true));

    const auto setupFailed = [&](const char *label) {
        log.append(probelines::line(label, false));
        log.append(kCloseLine);
        port.close();
        return false;
    };
    if (!port.readLineSettings())
        return setupFailed("Get port state");
    if (!port.applyLineSettings())
        return setupFailed("Set port state");
    if (!port.setBufferSizes(kProbeInputBuffer, kProbeOutputBuffer))
        return setupFailed("Set port buffer");
    if (!port.setTimeouts(timeouts))
        return setupFailed("Set port timeout");
    log.append(probelines::line("Setup", true));
    port.purge(true, true);

    log.append(probelines::kDetectPending);
    write(port, frames::identify());
    std::array<char, 16> buffer {};
    const long answered = port.read(buffer.data(), 5);
    const std::string answer(buffer.data(), std::size_t(std::max(0L, answered)));
    if (answer != "/xyz\\" && answer != "/abc\\") {
        log.replaceLast(probelines::line(probelines::kDetectLabel, false));
        log.append(kCloseLine);
        port.close();
        return false;
    }
    const bool loader = answer == "/abc\\";
    bool loaderMode = false;
    {
        std::lock_guard lock(state.mutex);
        if (loader)
            state.link.loaderMode = true;
        loaderMode = state.link.loaderMode;
    }
    log.replaceLast(probelines::line(probelines::kDetectLabel, true));

    if (!loaderMode) {
        // Throw away whatever the switch sent after its answer.
        long drained = 0;
        do {
            drained = port.read(buffer.data(), 15);
        } while (drained > 3);
        if (write(port, frames::versionQuery())) {
            long got = 0;
            do {
                got = port.read(buffer.data(), 10);
                if (got > 0)
                    storeVersionFrame({ buffer.data(), std::size_t(got) }, state);
            } while (got > 3);
        }
    }
    port.close();
    return true;
}

} // namespace relaybox
