// Links the Windows serial layer and port list into a program; scripts/check-windows builds it
// with the mingw cross compiler so that the Windows code keeps compiling. It is not run here.

#include <cstdio>

#include "platform/hostclock.h"
#include "platform/hostports.h"
#include "platform/serialport.h"
#include "platform/win/registryports.h"

int main()
{
    using namespace relaybox;
    const HostPortTable table = portsFromRegistryValues(serialCommValues());
    for (int slot = 0; slot <= table.count(); ++slot)
        std::printf("%d %s %s\n", slot, table.name(slot).c_str(), table.path(slot).c_str());

    const LocalTime now = SystemClock().now();
    std::printf("%04d-%02d-%02d\n", now.year, now.month, now.day);

    const auto port = makeSerialPort();
    if (table.count() > 0 && port->open(table.path(1), PortMode::Overlapped)) {
        port->readLineSettings();
        port->applyLineSettings();
        port->setBufferSizes(kLinkInputBuffer, kLinkOutputBuffer);
        port->setTimeouts(kLinkTimeouts);
        port->interrupt();
        const WaitResult result = port->waitForInput();
        std::printf("wait %d\n", static_cast<int>(result.status));
        port->close();
    }
    return 0;
}
