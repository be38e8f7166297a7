#pragma once

#include <QStringList>
#include <string>
#include <vector>

#include "bench/childprobe.h"
#include "tests/common/simprocess.h"

namespace relaybox::bench {

using testing::SimProcess;

// Starts the relaybox-sim beside relaybox-bench with these options, its output in logFile; its
// link, or empty when it did not start.
inline std::string startSim(SimProcess &sim, const std::vector<std::string> &options,
                            const std::string &logFile)
{
    QStringList arguments;
    for (const std::string &option : options)
        arguments << QString::fromStdString(option);
    if (!sim.start(arguments, QString::fromStdString(logFile),
                   QString::fromStdString(programDir() + "/relaybox-sim")))
        return {};
    return sim.link().toStdString();
}

// A simulator of `banks` banks paced at the line's 9600 baud, its link folder/ports/NAME and its
// output in folder/NAME.log; its link, or empty when it did not start.
inline std::string startPacedSim(SimProcess &sim, const std::string &folder, int banks,
                                 const std::string &name = "relaybox-sim")
{
    return startSim(
        sim, { "--banks", std::to_string(banks), "--pace", "--link", folder + "/ports/" + name },
        folder + "/" + name + ".log");
}

} // namespace relaybox::bench
