// SPDX-License-Identifier: GPL-3.0-or-later
#include "wrench/TorqueLog.h"

#include "wrench/TorqueCalc.h"

namespace zelcor {

std::string TorqueCsvHeader() {
    return "time_ms,raw_ad,torque_nm\r\n";
}

std::string TorqueCsvLine(std::int64_t timeMs, std::int32_t raw, std::string_view torque) {
    return std::to_string(timeMs) + ',' + std::to_string(raw) + ',' + std::string(torque) + "\r\n";
}

std::string TorqueCsv(const std::vector<TorqueSample>& samples) {
    std::string csv = TorqueCsvHeader();
    const std::int64_t start = samples.empty() ? 0 : samples.front().timeMs;
    for (const TorqueSample& s : samples) {
        csv += TorqueCsvLine(s.timeMs - start, s.ad, TorqueText(s.torque));
    }
    return csv;
}

} // namespace zelcor
