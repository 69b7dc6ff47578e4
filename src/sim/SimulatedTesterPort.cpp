// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimulatedTesterPort.h"

#include "sim/SimulatedTester.h"

namespace zelcor::sim {

SimulatedTesterPort::SimulatedTesterPort(SimulatedTester& tester) : m_tester(tester) {
    m_tester.setHostSink([this](std::uint8_t byte) {
        if (m_open && m_lineMatches) {
            deliver({byte});
        }
    });
}

SimulatedTesterPort::~SimulatedTesterPort() {
    m_tester.setHostSink(nullptr);
}

bool SimulatedTesterPort::open(const std::string& portName, const SerialSettings& settings,
                               std::string& error) {
    close();
    if (!m_refusedName.empty() && portName == m_refusedName) {
        error = "No such serial port: " + portName;
        return false;
    }
    m_name = portName;
    m_lineMatches = settings.baudRate == SimulatedTester::kBaudRate && settings.dataBits == 8 &&
                    (settings.parity == 'N' || settings.parity == 'n');
    m_open = true;
    ++m_openCount;
    return true;
}

bool SimulatedTesterPort::writeByte(std::uint8_t) {
    return m_open;
}

} // namespace zelcor::sim
