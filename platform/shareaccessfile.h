#pragma once

#include <optional>
#include <string>

#include "platform/shareendpoint.h"

// The file that names a sharing manager's loopback port and its token: two lines,
// "http://127.0.0.1:PORT" and the token. It lives in a folder only its user can read. A client
// trusts nothing else in it: a file that names any other address, or holds anything more, is
// ignored, so the token is never sent off this machine.

namespace relaybox {

inline constexpr std::size_t kShareTokenLength = 64; // hexadecimal digits: 256 bits

// A fresh token from the system's random source.
std::string newShareToken();

// Writes the file whole under a temporary name, then renames it into place; false with the
// reason.
bool writeShareAccessFile(const std::string &path, int port, const std::string &token,
                          std::string &error);

// The access the file names; nullopt when it is missing or is not such a file.
std::optional<ShareAccess> readShareAccessFile(const std::string &path);

// Removes the file if it still holds `token` (a newer manager's file stays).
void removeShareAccessFile(const std::string &path, const std::string &token);

} // namespace relaybox
