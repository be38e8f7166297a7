#pragma once

#include <string>
#include <vector>

namespace relaybox {

// The text data of every value under HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM ("COM3",
// ...); empty when the key is missing. Only on Windows.
std::vector<std::string> serialCommValues();

} // namespace relaybox
