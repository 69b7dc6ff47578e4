// SPDX-License-Identifier: GPL-3.0-or-later
#include "wrench/TorqueLog.h"

#include "wrench/TorqueCalc.h"

namespace zelcor {

std::string TorqueCsv(const std::vector<TorqueSample>& samples) {
    std::string csv = "time_ms,raw_ad,torque_nm\r\n";
    const std::int64_t start = samples.empty() ? 0 : samples.front().timeMs;
    for (const TorqueSample& s : samples) {
        csv += std::to_string(s.timeMs - start) + ',' + std::to_string(s.ad) + ',' +
               TorqueText(s.torque) + "\r\n";
    }
    return csv;
}

} // namespace zelcor
