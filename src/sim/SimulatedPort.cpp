// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimulatedPort.h"

#include "platform/Clock.h"
#include "sim/SimulatedWrench.h"

namespace zelcor::sim {

SimulatedPort::SimulatedPort(SimulatedWrench& wrench) : m_wrench(wrench) {
    m_wrench.setHostSink([this](std::uint8_t byte, bool end) { onWrenchByte(byte, end); });
}

SimulatedPort::~SimulatedPort() {
    m_wrench.setHostSink(nullptr);
}

bool SimulatedPort::open(const std::string& portName, const SerialSettings& settings,
                         std::string& error) {
    close();
    if (!m_refusedName.empty() && portName == m_refusedName) {
        error = "No such serial port: " + portName;
        return false;
    }
    m_name = portName;
    m_settings = settings;
    m_lineMatches = settings.baudRate == m_wrench.options().baudRate && settings.dataBits == 8 &&
                    (settings.parity == 'N' || settings.parity == 'n');
    m_open = true;
    ++m_openCount;
    return true;
}

void SimulatedPort::close() {
    m_open = false;
    // Whatever was on its way in is lost with the closed port.
    m_pending.clear();
}

bool SimulatedPort::writeByte(std::uint8_t byte) {
    if (!m_open) {
        return false;
    }
    m_written.push_back({byte, m_wrench.clock().nowMs()});
    if (m_lineMatches) {
        m_wrench.hostSend(byte);
    } else {
        m_wrench.hostSendGarbled();
    }
    return true;
}

void SimulatedPort::unplug(const std::string& message) {
    const bool wasOpen = m_open;
    close();
    if (wasOpen) {
        reportError(message);
    }
}

std::vector<std::uint8_t> SimulatedPort::writtenBytes() const {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(m_written.size());
    for (const auto& w : m_written) {
        bytes.push_back(w.value);
    }
    return bytes;
}

void SimulatedPort::onWrenchByte(std::uint8_t byte, bool endOfBatch) {
    if (!m_open) {
        return;
    }
    m_pending.push_back(byte);
    if (endOfBatch) {
        std::vector<std::uint8_t> batch;
        batch.swap(m_pending);
        m_arrivals.push_back({batch, m_wrench.clock().nowMs()});
        deliver(batch);
    }
}

} // namespace zelcor::sim
