#include "tempfolder.h"

#include <cstdlib>
#include <filesystem>

namespace relaybox::bench {

TempFolder::TempFolder()
{
    char pattern[] = "/tmp/relaybox-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return;
    std::error_code error;
    std::filesystem::create_directory(std::string(pattern) + "/ports", error);
    if (!error)
        m_path = pattern;
}

TempFolder::~TempFolder()
{
    if (m_path.empty())
        return;
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

} // namespace relaybox::bench
