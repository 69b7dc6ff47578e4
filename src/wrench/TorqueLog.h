// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelcor {

// One torque computation as the plot keeps it.
struct TorqueSample {
    std::int64_t timeMs; // on the program's clock
    std::int16_t ad;     // the live raw value it was computed from
    double torque;       // N·m
};

// The samples as a CSV file: a header line, then one line per sample with its time in ms
// after the first sample, the raw value and the torque as the windows show it (TorqueText),
// lines ended by CR LF.
std::string TorqueCsv(const std::vector<TorqueSample>& samples);

} // namespace zelcor
