// Prints the host port table as the manager builds it, one port a line: its index (the
// ComPort value in define.ini), the name shown and the path opened.
#include <cstdio>

#include "platform/datafolder.h"
#include "platform/hostportdiscovery.h"
#include "platform/programfolder.h"

int main()
{
    const auto ports = relaybox::dataPath(relaybox::programFolder(), relaybox::kPortsFolderName);
    const relaybox::HostPortTable table = relaybox::discoverHostPorts(ports.string());
    std::printf("0 AUTO (search every port)\n");
    for (int slot = 1; slot <= table.count(); ++slot)
        std::printf("%d %s %s\n", slot, table.name(slot).c_str(), table.path(slot).c_str());
    return 0;
}
