#pragma once

#include <filesystem>

// The folder of the running program, without a toolkit: the start of the data folder rule for
// the programs that have no QCoreApplication.

namespace relaybox {

// Empty when the system does not say.
std::filesystem::path programFolder();

} // namespace relaybox
