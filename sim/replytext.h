#pragma once

#include <string>
#include <string_view>

// The switch's reply frames, byte for byte. A normal reply goes out as "/" + text + backslash, so
// that the host's line builder and its fixed-size probe reads both take it.

namespace relaybox::sim::replytext {

std::string framed(std::string_view text);
std::string amps(double current); // one decimal, whatever the process locale: "3.5"

std::string identifyAnswer(); // "/xyz\"
std::string loaderIdentifyAnswer(); // "/abc\"
std::string bankCount(int banks); // "/M3\"
std::string fullStatus(int bank, std::string_view timerLetters, std::string_view switchLetters,
                       double current); // "/S01 GGGGGGGG OOOOCCCC 3.5\"
std::string portLetters(int bank, std::string_view switchLetters); // "/S01 OOOOCCCC\"
std::string current(int bank, double current); // "/C01 3.5\"
std::string version(int bank, std::string_view version); // "/V01 1203\", always 10 bytes
std::string clockError(); // "/err\"
std::string scheduleCleared(int bank, int port, int selector); // "/Q0231\"
std::string scheduleSet(int bank, int port, int selector); // "/E0231\"
// "/T0231 000 04 30\": a held timer and the time left until it acts.
std::string timerReport(char letter, int bank, int port, int selector, int hours, int minutes,
                        int seconds);

} // namespace relaybox::sim::replytext
