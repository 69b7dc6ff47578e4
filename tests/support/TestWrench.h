// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/RecordingPort.h"
#include "support/VirtualClock.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace zelcor::test {

// The far end of the port double, a millisecond after each complete request: 00 00 and
// 00 01 echo their address, 00 02 answers the live value, other reads answer from memory
// (byte a holds 80H + a to begin with), writes go into memory and are echoed. An address can
// be told to leave requests unanswered, and a test can act when a request arrives.
class TestWrench {
public:
    TestWrench(VirtualClock& clock, RecordingPort& port)
        : m_port(port), m_poll(clock.createTimer([this] { poll(); })) {
        for (std::size_t a = 0; a < memory.size(); ++a) {
            memory[a] = static_cast<std::uint8_t>(0x80 + a);
        }
        m_poll->start(1, true);
    }

    std::array<std::uint8_t, 256> memory{};
    std::array<std::uint8_t, 3> live{}; // low byte, high byte, status
    std::map<std::uint8_t, int> unanswered, requests;
    std::function<void(std::uint8_t addr0)> onRequest;

private:
    void poll() {
        const std::vector<WireByte>& wire = m_port.written();
        for (std::size_t n; m_next < wire.size() &&
                            (n = wire[m_next].value == 0xE8 ? 4 : 3) <= wire.size() - m_next;
             m_next += n) {
            const std::uint8_t a = wire[m_next + 2].value;
            ++requests[a];
            if (onRequest) {
                onRequest(a);
            }
            const auto [l, h, s] = live;
            if (unanswered[a] > 0) {
                --unanswered[a];
            } else if (n == 4) {
                memory[a] = wire[m_next + 3].value;
                m_port.receive({0x00, a, memory[a]});
            } else if (a <= 0x01) {
                m_port.receive({0x00, a});
            } else if (a == 0x02) {
                m_port.receive({0x00, a, 0xAA, l, l, 0xAA, h, h, 0xAA, s, s});
            } else {
                m_port.receive({0x00, a, 0xAA, memory[a], memory[a]});
            }
        }
    }

    RecordingPort& m_port;
    std::unique_ptr<Timer> m_poll;
    std::size_t m_next = 0;
};

} // namespace zelcor::test
