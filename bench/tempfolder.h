#pragma once

#include <string>

// A folder under /tmp for one benchmark run, with an empty ports/ folder in it; removed with
// everything in it at the end.

namespace relaybox::bench {

class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    bool isValid() const { return !m_path.empty(); }
    const std::string &path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace relaybox::bench
