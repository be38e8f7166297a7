#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

#include "service/clientidentity.h"
#include "service/listenaddress.h"

// Sockets for the service's listeners, and who is on the other end of an accepted connection.

namespace relaybox::service {

// A listening socket, close-on-exec and non-blocking; -1 with the reason in `error`. A Unix
// socket gets `unixMode` before it appears at its path, replacing an older socket there (never
// any other kind of file); its folder must exist. `unixInode` receives the socket file's inode.
int openListeningSocket(const ListenAddress &address, mode_t unixMode, std::string &error,
                        ino_t *unixInode = nullptr);

// Removes the Unix socket at the path if it is still the one made (not a newer one).
void removeUnixSocket(const std::string &path, ino_t inode);

// The peer's address and port, or on a Unix socket its uid and user name.
ClientIdentity peerOf(int connectionFd);

} // namespace relaybox::service
