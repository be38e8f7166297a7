#pragma once

#include <string>

#include "platform/hostclock.h"

// Every command frame the program sends: "/", the command, one backslash. Banks are two digits
// (00 = all banks), ports one digit (0 = the whole bank), the selector 1 for power-on and 0 for
// power-off.

namespace relaybox::frames {

std::string identify(); // "/uni\"
std::string statusPoll(); // "/C\"
std::string versionQuery(); // "/VER\"
std::string restoreStatus(bool restore); // "/EN001\" or "/DS001\"
std::string portSwitch(bool on, int bank, int port); // "/O031\", "/F037\"
std::string bankSwitch(bool on, int bank); // "/O030\"
std::string allBanksSwitch(bool on); // "/O000\"
std::string scheduleClear(int bank, int port, int selector); // "/Q0231\"
// "/T0231 0000430\": kind letter T, D or W, then the time left until the entry acts.
std::string scheduleEntry(char letter, int bank, int port, int selector, int hours, int minutes,
                          int seconds);
std::string clockSet(const LocalTime &time); // "/SETTIME2026-12-06 21:30:05\"
std::string upgradeStart(); // "/UPGRADE\"

} // namespace relaybox::frames
