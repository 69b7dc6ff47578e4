// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimulatedTester.h"

#include "sim/EventQueue.h"
#include "sim/SimulatedWrench.h"
#include "wrench/Verification.h"

#include <algorithm>
#include <cstdio>

namespace zelcor::sim {

SimulatedTester::SimulatedTester(Clock& clock, SimulatedWrench& wrench)
    : m_wrench(wrench), m_events(std::make_unique<EventQueue>(clock, kBaudRate)) {
    m_listener = m_wrench.addPullListener([this](double peak) { send(peak); });
}

SimulatedTester::~SimulatedTester() {
    m_wrench.removePullListener(m_listener);
}

bool SimulatedTester::setUnit(std::string unit) {
    const std::optional<double> factor = TorqueUnitFactor(unit);
    if (!factor) {
        return false;
    }
    m_unit = std::move(unit);
    m_perUnit = *factor;
    return true;
}

std::string SimulatedTester::lineFor(double newtonMetres, const std::string& unit, double perUnit) {
    char number[32];
    std::snprintf(number, sizeof number, "%+07.2f", newtonMetres / perUnit);
    return std::string(number) + " " + unit + "\r\n";
}

void SimulatedTester::send(double truePeakNm) {
    if (m_silent) {
        return;
    }
    ++m_lines;
    const std::string line = lineFor(truePeakNm, m_unit, m_perUnit);
    // Ticks of 1/9600 ms: a byte is 10000 of them.
    constexpr std::int64_t kByteTicks = kBitsPerByte * 1000;
    std::int64_t at = std::max(m_events->nowTicks(), m_txFree);
    for (const char c : line) {
        at += kByteTicks;
        m_events->schedule(at, [this, byte = static_cast<std::uint8_t>(c)] {
            if (m_sink) {
                m_sink(byte);
            }
        });
    }
    m_txFree = at;
}

} // namespace zelcor::sim
