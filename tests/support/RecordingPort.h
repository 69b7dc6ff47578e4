// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"
#include "platform/SerialPort.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zelcor::test {

struct WireByte {
    std::uint8_t value;
    std::int64_t atMs;
};

// A serial port double: records what is written (with the virtual time of each byte) and
// delivers bytes the test injects.
class RecordingPort final : public SerialPort {
public:
    explicit RecordingPort(const Clock& clock) : m_clock(clock) {}

    bool open(const std::string& portName, const SerialSettings& /*settings*/,
              std::string& error) override {
        error.clear();
        m_open = true;
        m_name = portName;
        return true;
    }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    bool writeByte(std::uint8_t byte) override {
        if (m_open) {
            m_written.push_back({byte, m_clock.nowMs()});
        }
        return m_open;
    }
    std::vector<PortInfo> availablePorts() const override { return m_available; }
    int pauseMarginMs() const override { return marginMs; }
    int marginMs = 0;

    // Test side.
    void setAvailablePorts(std::vector<PortInfo> ports) { m_available = std::move(ports); }
    void receive(const std::vector<std::uint8_t>& bytes) { deliver(bytes); }
    void fail(const std::string& message) { reportError(message); }

    const std::vector<WireByte>& written() const { return m_written; }
    std::vector<std::uint8_t> writtenBytes() const {
        std::vector<std::uint8_t> bytes;
        for (const WireByte& w : m_written) {
            bytes.push_back(w.value);
        }
        return bytes;
    }
    const std::string& openedName() const { return m_name; }

private:
    const Clock& m_clock;
    bool m_open = false;
    std::string m_name;
    std::vector<WireByte> m_written;
    std::vector<PortInfo> m_available;
};

} // namespace zelcor::test
