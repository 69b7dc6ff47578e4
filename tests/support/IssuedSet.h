// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace zelcor::sim {
class SimulatedWrench;
}

namespace zelcor::test {

// The new constants a factory issues for one wrench, each two characters wide.
struct NewConstants {
    bool ccw = false;
    int digits = 1;
    std::string VIH, VIL, VAH, VAL;
    std::string StatusEp = "05";
};

// The new-parameter text a factory would hand back for this wrench, as the wrench's memory
// holds its identity now: "0001", the request code 4711, the message with its checksum. Put
// together here field by field, and summed here, so that it does not lean on the program's
// own message code.
// With `wrenchCode` (six hexadecimal digits), issued for that wrench code instead: another
// wrench of the same make, software and factory.
std::string IssuedFor(const sim::SimulatedWrench& wrench, const NewConstants& values,
                      const std::string& wrenchCode = {});

} // namespace zelcor::test
