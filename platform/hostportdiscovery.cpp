#include "platform/hostportdiscovery.h"

#ifdef _WIN32
#include "platform/win/registryports.h"
#else
#include <QSerialPortInfo>

#include "platform/localportsources.h"
#endif

namespace relaybox {

HostPortTable discoverHostPorts(const std::string &portsDir)
{
#ifdef _WIN32
    (void)portsDir;
    return portsFromRegistryValues(serialCommValues());
#else
    std::vector<HostPort> systemPorts;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        systemPorts.push_back(
            { info.portName().toStdString(), info.systemLocation().toStdString() });
    return linuxHostPorts(systemPorts, readActiveConsoles(), portsDirectoryEntries(portsDir));
#endif
}

} // namespace relaybox
