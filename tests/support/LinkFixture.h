// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/WrenchLink.h"
#include "support/RecordingPort.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/VirtualClock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace zelcor {
// Failures name the result by its code.
inline void PrintTo(CommResult result, std::ostream* os) {
    *os << CommResultCode(result);
}
} // namespace zelcor

namespace zelcor::test {

// "00 05 AA" -> its bytes.
inline std::vector<std::uint8_t> bytes(const std::string& hex) {
    std::istringstream in(hex);
    std::vector<std::uint8_t> out;
    for (unsigned value = 0; in >> std::hex >> value;) {
        out.push_back(static_cast<std::uint8_t>(value));
    }
    return out;
}

// The link on its own, as the windows have it but with no window: virtual time, scripted
// boxes and the port double, open on /dev/ttyS0 at 1200,N,8,2. The echoes are kept as text,
// the receive states as the names shown, one after another.
struct LinkFixture {
    LinkFixture() {
        std::string error;
        EXPECT_TRUE(link.open("/dev/ttyS0", SerialSettings{}, error)) << error;
    }
    void replyAt(std::int64_t atMs, std::vector<std::uint8_t> reply) {
        clock.at(atMs, [this, reply] { port.receive(reply); });
    }
    // "70: 00 05 | 85: AA 42 42 | 500: reset": bytes arriving and "Reset 232", when.
    void schedule(const std::string& events) {
        std::istringstream in(events);
        for (std::string event; std::getline(in, event, '|');) {
            const std::size_t colon = event.find(':');
            const std::int64_t atMs = std::stoll(event.substr(0, colon));
            if (event.find("reset") != std::string::npos) {
                clock.at(atMs, [this] { link.resetReceive(); });
            } else {
                replyAt(atMs, bytes(event.substr(colon + 1)));
            }
        }
    }
    // The bytes written, each with the moment it was handed to the driver: "C8@0 01@20".
    std::string wire() const {
        std::string text;
        for (const WireByte& b : port.written()) {
            char item[32];
            std::snprintf(item, sizeof item, " %02X@%lld", b.value, static_cast<long long>(b.atMs));
            text += item;
        }
        return text.empty() ? text : text.substr(1);
    }
    // The boxes shown, a line each: "warning Link Busy: Another exchange ...".
    std::string shown() const {
        std::string text;
        for (const ShownBox& b : boxes.shown()) {
            text += (toString(b.icon) + ' ' + b.title + ": " + b.text + '\n').toStdString();
        }
        return text;
    }

    VirtualClock clock;
    ScriptedMessageBoxes boxes;
    RecordingPort port{clock};
    std::string local, remote, states;
    WrenchLink link{clock, port, boxes,
                    WrenchLink::Echo{[this](const std::string& s) { local += s; },
                                     [this](const std::string& s) { remote += s; },
                                     [this] { local.clear(), remote.clear(); },
                                     [this](const std::string& s) { states += s + ' '; }}};
};

} // namespace zelcor::test
