// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestWrench.h"

namespace zelcor::test {

TestWrench::TestWrench(VirtualClock& clock, RecordingPort& port) : m_port(port) {
    for (std::size_t a = 0; a < memory.size(); ++a) {
        memory[a] = static_cast<std::uint8_t>(0x80 + a);
    }
    m_poll = clock.createTimer([this] { poll(); });
    m_poll->start(1, true);
}

void TestWrench::poll() {
    const std::vector<WireByte>& wire = m_port.written();
    for (std::size_t len;
         m_next < wire.size() && (len = wire[m_next].value == 0xE8 ? 4 : 3) <= wire.size() - m_next;
         m_next += len) {
        const std::uint8_t a = wire[m_next + 2].value;
        ++requests[a];
        if (onRequest) {
            onRequest(a);
        }
        const auto [l, h, s] = live;
        if (unanswered[a] > 0) {
            --unanswered[a];
        } else if (len == 4) {
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

} // namespace zelcor::test
