#include "atomicfile.h"

#include <cstdio>
#include <string>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace relaybox {
namespace {

namespace fs = std::filesystem;

constexpr int kTemporaryNameAttempts = 100;

// A link is followed, so that the file it points at gets the new contents.
fs::path resolvedTarget(const fs::path &target)
{
    std::error_code error;
    if (!fs::is_symlink(target, error))
        return target;
    const fs::path resolved = fs::weakly_canonical(target, error);
    return error ? target : resolved;
}

// "wbx" creates the file only when no such file exists, so a name in use is never truncated.
std::FILE *createTemporary(const fs::path &target, fs::path &temporary)
{
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        temporary = target;
        temporary += ".tmp" + std::to_string(attempt);
        if (std::FILE *file = std::fopen(temporary.string().c_str(), "wbx"))
            return file;
        std::error_code error;
        if (!fs::exists(temporary, error))
            return nullptr; // not a name clash: the folder cannot be written
    }
    return nullptr;
}

bool flushToDisk(std::FILE *file)
{
    if (std::fflush(file) != 0)
        return false;
#ifndef _WIN32
    return ::fsync(::fileno(file)) == 0;
#else
    return true;
#endif
}

void syncFolder(const fs::path &folder)
{
#ifndef _WIN32
    const int descriptor = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
#else
    (void)folder;
#endif
}

} // namespace

bool writeFileAtomically(const fs::path &target, std::string_view contents)
{
    const fs::path finalPath = resolvedTarget(target);
    fs::path temporary;
    std::FILE *file = createTemporary(finalPath, temporary);
    if (!file)
        return false;

    const bool written = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size()
        && flushToDisk(file);
    const bool closed = std::fclose(file) == 0;
    std::error_code error;
    if (!written || !closed) {
        fs::remove(temporary, error);
        return false;
    }
    // The new file keeps the old one's permissions.
    const fs::file_status old = fs::status(finalPath, error);
    if (!error && fs::is_regular_file(old))
        fs::permissions(temporary, old.permissions(), error);
    fs::rename(temporary, finalPath, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    syncFolder(finalPath.parent_path());
    return true;
}

} // namespace relaybox
