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
    TestWrench(VirtualClock& clock, RecordingPort& port);

    std::array<std::uint8_t, 256> memory{};
    std::array<std::uint8_t, 3> live{}; // low byte, high byte, status
    std::map<std::uint8_t, int> unanswered, requests;
    std::function<void(std::uint8_t addr0)> onRequest;

private:
    void poll();

    RecordingPort& m_port;
    std::unique_ptr<Timer> m_poll;
    std::size_t m_next = 0;
};

} // namespace zelcor::test
