// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace zelcor {
class Clock;
} // namespace zelcor

namespace zelcor::sim {

class EventQueue;
class SimulatedWrench;

// The reference torque tester a simulated wrench is pulled against: at the end of every pull
// it sends the pull's true peak as one line of text, "+060.12 N.m\r\n" (sign, at least three
// digits before the point, two after, the unit), its bytes one byte time apart at 9600 baud,
// 8N1, from the moment the pull ended (after the line before, when that is still going out).
//
// The wrench must outlive the tester.
class SimulatedTester {
public:
    static constexpr int kBaudRate = 9600;
    static constexpr int kBitsPerByte = 10; // start, 8 data, 1 stop

    SimulatedTester(Clock& clock, SimulatedWrench& wrench);
    ~SimulatedTester();
    SimulatedTester(const SimulatedTester&) = delete;
    SimulatedTester& operator=(const SimulatedTester&) = delete;

    // Called for every byte at the moment it has fully arrived at the host.
    void setHostSink(std::function<void(std::uint8_t)> sink) { m_sink = std::move(sink); }
    // The unit the peaks are sent in, one a tester may send ("N.m", "lbf.in", "kgf.cm"...);
    // false for any other word, and the unit stays as it was.
    bool setUnit(std::string unit);
    const std::string& unit() const { return m_unit; }
    // A silent tester (one that is off) sends nothing.
    void setSilent(bool silent) { m_silent = silent; }

    // The line for a peak of `newtonMetres` in `unit`, factor `perUnit` N·m.
    static std::string lineFor(double newtonMetres, const std::string& unit, double perUnit);
    int linesSent() const { return m_lines; }

private:
    void send(double truePeakNm);

    SimulatedWrench& m_wrench;
    std::unique_ptr<EventQueue> m_events;
    std::function<void(std::uint8_t)> m_sink;
    int m_listener = 0;
    std::string m_unit = "N.m";
    double m_perUnit = 1.0;
    bool m_silent = false;
    std::int64_t m_txFree = 0; // when the line is next idle, in ticks
    int m_lines = 0;
};

} // namespace zelcor::sim
