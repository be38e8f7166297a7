#pragma once

// The operator settings kept in the settings file; all off and port 0 until they are loaded.

namespace relaybox {

struct Settings
{
    int comPort = 0; // index into the host port table; 0 = "AUTO", search every port
    bool autoConnect = false; // connect at start-up
    bool prompt = false; // confirm before switching ports, banks or all banks
    bool comMeg = false; // show the port-check log in the detection dialog
    bool setRtc = false; // keep the switch's clock in step with the host every hour
    bool restoreStatus = false; // the switch restores its last-known port states when it starts
    bool share = false; // while linked, scripts may switch through the manager's own line

    friend bool operator==(const Settings &, const Settings &) = default;
};

} // namespace relaybox
