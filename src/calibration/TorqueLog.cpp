// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/TorqueLog.h"

#include <charconv>

namespace zelcor {

namespace {

// The shortest text that reads back as the same double, never in exponent form.
std::string decimal(double value) {
    char buffer[400];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return std::string(buffer, end.ptr);
}

} // namespace

std::string TorqueCsv(const std::vector<TorqueSample>& samples) {
    std::string csv = "time_ms,raw_ad,torque_nm\r\n";
    const std::int64_t start = samples.empty() ? 0 : samples.front().timeMs;
    for (const TorqueSample& s : samples) {
        csv += std::to_string(s.timeMs - start) + ',' + std::to_string(s.ad) + ',' +
               decimal(s.torque) + "\r\n";
    }
    return csv;
}

} // namespace zelcor
