#pragma once

#include <string>

#include "link/linkstate.h"
#include "platform/serialport.h"

// The probe that decides whether the switch answers on a port: open it, set it up, send the
// Identify command and read the exact answer, then read the banks' versions. Each step leaves a
// 43-column line in the detection dialog's log.

namespace relaybox {

class ProbeLog
{
public:
    virtual ~ProbeLog() = default;
    virtual void append(const std::string &line) = 0;
    virtual void replaceLast(const std::string &line) = 0;
};

namespace probelines {
// A label left-aligned in 39 columns, then PASS or FAIL.
std::string line(const std::string &label, bool pass);
inline const std::string kDetectLabel = "Detect KESTRANE Relaybox ............  ";
inline const std::string kDetectPending = kDetectLabel;
} // namespace probelines

// Returns true when the switch answered, as firmware ("/xyz\") or as its loader ("/abc\", which
// sets the state's loader mode). Firmware also gets its banks' version texts read. The port is
// always closed again.
bool probePort(SerialPort &port, const std::string &path, ProbeLog &log, SharedState &state,
               const SerialTimeouts &timeouts = kProbeTimeouts);

} // namespace relaybox
