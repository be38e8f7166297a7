// Arbitrary bytes as a settings file: every key read, the six keys written in memory, and the
// written values read back.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/inifile.h"
#include "settings/settingskeys.h"

using namespace relaybox;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    constexpr unsigned kPortCount = 4;
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);

    IniFile file(bytes);
    check(file.content() == bytes);

    const Settings read = readSettings(file, kPortCount);
    check(read.comPort >= 0 && unsigned(read.comPort) <= kPortCount);

    Settings written = read;
    written.comPort = int(size % (kPortCount + 1));
    written.autoConnect = !read.autoConnect;
    written.setRtc = !read.setRtc;
    writeSettings(file, written);
    check(readSettings(IniFile(file.content()), kPortCount) == written);
    check(file.value("form", "AUTO") == std::string(written.autoConnect ? "1" : "0"));
    return 0;
}
