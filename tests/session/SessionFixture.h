// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/ScriptedMessageBoxes.h"
#include "support/VirtualClock.h"

#include "session/WrenchSession.h"
#include "sim/SimulatedPort.h"
#include "sim/SimulatedWrench.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zelcor::test {

using Bytes = std::vector<std::uint8_t>;

// Request frames as they go on the wire: C8 00 A for a read, E8 00 A D for a write.
inline Bytes reads(std::initializer_list<int> addresses) {
    Bytes bytes;
    for (const int a : addresses) {
        bytes.insert(bytes.end(), {0xC8, 0x00, std::uint8_t(a)});
    }
    return bytes;
}
inline Bytes writes(std::initializer_list<std::pair<int, int>> cells) {
    Bytes bytes;
    for (const auto& [a, d] : cells) {
        bytes.insert(bytes.end(), {0xE8, 0x00, std::uint8_t(a), std::uint8_t(d)});
    }
    return bytes;
}
inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// What Get reads: the identity, the status and both directions' constants.
inline const Bytes kGetReads = reads({0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x14, 0x25,
                                      0x26, 0x27, 0x28, 0x2B, 0x2C, 0x2D});

// The boxes of a failed cell exchange, as "title|text".
inline const std::string kReceiveErr = "Exit for Communication Error|Data Receving Err";
inline const std::string kHelp = "Help|Step1:Connect Rs232 cable firmly.\r\nStep2:Make sure the "
                                 "wrench is on 'send'state.\r\nStep3:Try again!";
inline const std::string kStop = "Stop|Communication exit";

// A session on the simulated wrench in virtual time, its port open. The wrench holds the
// identity and constants of the worked example: factory code A1B2, software 10 05, wrench
// code 123456, status 00, CW constants 34 12 / 78 56, CCW constants CD AB / EF 9A.
class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::pair<int, int> cells[] = {
            {0x0C, 0xA1}, {0x0D, 0xB2}, {0x0E, 0x05}, {0x0F, 0x10}, {0x10, 0x00}, {0x11, 0x34},
            {0x12, 0x12}, {0x13, 0xCD}, {0x14, 0xAB}, {0x25, 0x78}, {0x26, 0x56}, {0x27, 0xEF},
            {0x28, 0x9A}, {0x2B, 0x12}, {0x2C, 0x34}, {0x2D, 0x56}};
        for (const auto& [a, v] : cells) {
            wrench.poke(0x00, std::uint8_t(a), std::uint8_t(v));
        }
        std::string error;
        ASSERT_TRUE(session.open("sim", {}, error)) << error;
        QObject::connect(&session, &WrenchSession::cellProgress, [this](const CellProgress& p) {
            progress.push_back(p);
            if (onCell) {
                onCell(p);
            }
        });
    }
    void TearDown() override {
        EXPECT_EQ(boxes.unusedAnswers(), 0) << "answers queued for boxes that never came";
    }

    // The bytes written to the wire since the last call.
    Bytes sent() {
        const Bytes all = port.writtenBytes();
        Bytes fresh(all.begin() + static_cast<std::ptrdiff_t>(m_seen), all.end());
        m_seen = all.size();
        return fresh;
    }
    // The boxes shown since the last call, as "title|text".
    std::vector<std::string> shown() {
        std::vector<std::string> out;
        for (const ShownBox& b : boxes.shown()) {
            out.push_back((b.title + "|" + b.text).toStdString());
        }
        boxes.clear();
        return out;
    }
    // Makes the wrench misbehave from the first request for `address` in a cell job on.
    void faultFrom(int address, const sim::Faults& faults) {
        onCell = [this, address, faults](const CellProgress& p) {
            if (p.address == address) {
                wrench.setFaults(faults);
            }
        };
    }

    VirtualClock clock;
    ScriptedMessageBoxes boxes;
    sim::SimulatedWrench wrench{clock};
    sim::SimulatedPort port{wrench};
    int requests = 0;
    WrenchSession session{clock, port, boxes, [this] { return std::to_string(4711 + requests++); }};
    std::vector<CellProgress> progress;
    std::function<void(const CellProgress&)> onCell;

private:
    std::size_t m_seen = 0;
};

} // namespace zelcor::test
