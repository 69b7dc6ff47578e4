// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zelcor {

// One torque computation as the plot keeps it.
struct TorqueSample {
    std::int64_t timeMs; // on the program's clock
    std::int16_t ad;     // the live raw value it was computed from
    double torque;       // N·m
};

// The torque as CSV, wherever it is written (the calibration window's export, zelcor-cli
// live --csv): the header "time_ms,raw_ad,torque_nm", then a line per torque with its time in
// ms, the live raw value as a whole number and the torque as the windows show it
// (TorqueText, or "Overflow"); every line, the last too, ended by CR LF as spreadsheets and
// RFC 4180 expect.
std::string TorqueCsvHeader();
std::string TorqueCsvLine(std::int64_t timeMs, std::int32_t raw, std::string_view torque);
// The samples as such a file, their times counted from the first sample.
std::string TorqueCsv(const std::vector<TorqueSample>& samples);

} // namespace zelcor
