// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/RecordingPort.h"

#include "platform/Clock.h"

namespace zelcor::test {

bool RecordingPort::open(const std::string& portName, const SerialSettings& settings,
                         std::string& error) {
    if (!m_refusal.empty()) {
        error = m_refusal;
        m_open = false;
        return false;
    }
    m_name = portName;
    m_settings = settings;
    m_open = true;
    ++m_openCount;
    return true;
}

bool RecordingPort::writeByte(std::uint8_t byte) {
    if (!m_open) {
        return false;
    }
    m_written.push_back({byte, m_clock.nowMs()});
    return true;
}

std::vector<std::uint8_t> RecordingPort::writtenBytes() const {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(m_written.size());
    for (const auto& w : m_written) {
        bytes.push_back(w.value);
    }
    return bytes;
}

} // namespace zelcor::test
