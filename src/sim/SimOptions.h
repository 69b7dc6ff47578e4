// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/SimulatedWrench.h"

#include <string>
#include <vector>

namespace zelcor::sim {

// The command line of zelcor-sim.
struct SimOptions {
    WrenchOptions wrench;
    Faults faults;
    std::string linkPath;
    PullOptions pulls;          // the wrench pulls after each clearing of its maximum
    bool tester = false;        // the reference tester on a second terminal
    std::string testerLinkPath; // implies the tester
    bool help = false;
};

// Parses the arguments after the program name. False with a message for the user in `error`.
bool parseSimOptions(const std::vector<std::string>& args, SimOptions& out, std::string& error);

std::string simUsage();

} // namespace zelcor::sim
