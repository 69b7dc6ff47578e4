// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SerialPort.h"

#include <string>

namespace zelcor::sim {

class SimulatedTester;

// A serial port in the same process as a simulated tester, on the tester's clock: every byte
// the tester sends is delivered as it arrives. Opened at another speed or format than 9600 8N1
// it opens, as a real port would, but nothing readable comes. What is written to it the
// tester ignores.
//
// The tester must outlive the port; one port at a time may be attached to a tester.
class SimulatedTesterPort final : public SerialPort {
public:
    explicit SimulatedTesterPort(SimulatedTester& tester);
    ~SimulatedTesterPort() override;

    bool open(const std::string& portName, const SerialSettings& settings,
              std::string& error) override;
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    bool writeByte(std::uint8_t byte) override;

    // Opening this port name fails (a port that does not exist).
    void refuseName(std::string name) { m_refusedName = std::move(name); }
    const std::string& openedName() const { return m_name; }
    int openCount() const { return m_openCount; }

private:
    SimulatedTester& m_tester;
    bool m_open = false;
    bool m_lineMatches = true;
    std::string m_refusedName;
    std::string m_name;
    int m_openCount = 0;
};

} // namespace zelcor::sim
