#include "platform/hostportdiscovery.h"

#ifdef _WIN32
#include "platform/win/registryports.h"
#else
#include "platform/localportsources.h"
#endif

namespace relaybox {

HostPortTable discoverHostPorts(const std::string &portsDir)
{
#ifdef _WIN32
    (void)portsDir;
    return portsFromRegistryValues(serialCommValues());
#else
    return linuxHostPorts(sysfsSerialPorts(), readActiveConsoles(),
                          portsDirectoryEntries(portsDir));
#endif
}

} // namespace relaybox
