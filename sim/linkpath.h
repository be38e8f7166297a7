#pragma once

#include <string>

// The stable name the host opens: a symbolic link to the current /dev/pts/N, replaced when the
// terminal changes and removed when the simulator ends.

namespace relaybox::sim {

class LinkPath
{
public:
    explicit LinkPath(std::string path)
        : m_path(std::move(path))
    { }
    ~LinkPath() { remove(); }
    LinkPath(const LinkPath &) = delete;
    LinkPath &operator=(const LinkPath &) = delete;

    // Creates the folder if missing and replaces an old link; a file that is not a link stays.
    bool point(const std::string &target, std::string &error);
    // Removes the link if it still points where this simulator put it.
    void remove();

    const std::string &path() const { return m_path; }

    // "<folder of the running executable>/ports/relaybox-sim", or "ports/relaybox-sim" in the
    // operator's configuration folder where that folder is not writable (as the manager does).
    static std::string defaultPath();

private:
    std::string m_path;
    std::string m_target;
};

} // namespace relaybox::sim
