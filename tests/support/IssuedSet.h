// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace zelcor::sim {
class SimulatedWrench;
}

namespace zelcor::test {

// The new constants a factory issues for one wrench.
struct NewConstants {
    bool ccw = false;
    int digits = 1;
    std::string VIH, VIL, VAH, VAL;
    std::string StatusEp = "05";
};

// The new-parameter text a factory would hand back for this wrench, as the wrench's memory
// holds its identity now: "0001", a request code, the message with its checksum.
std::string IssuedFor(const sim::SimulatedWrench& wrench, const NewConstants& values);

} // namespace zelcor::test
