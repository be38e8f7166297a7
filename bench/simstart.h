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

} // namespace relaybox::bench
