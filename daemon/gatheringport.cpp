#include "daemon/gatheringport.h"

#include <thread>

namespace relaybox::daemon {

long GatheringPort::read(char *data, std::size_t size)
{
    // The first byte within the read time-outs, as the port would wait for it.
    const long first = m_port->read(data, std::min<std::size_t>(size, 1));
    if (first <= 0)
        return first;
    std::size_t got = std::size_t(first);
    for (int pass = 0; pass < 2 && got < size; ++pass) {
        if (pass == 1)
            std::this_thread::sleep_for(kGather);
        const long more = m_port->readAvailable(data + got, size - got);
        if (more < 0)
            break; // a failed port answers the next read with its failure
        got += std::size_t(more);
    }
    return long(got);
}

} // namespace relaybox::daemon
