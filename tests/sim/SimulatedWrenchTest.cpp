// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated wrench on its in-process port, on a virtual clock. The protocol as the program
// uses it is proven again through the windows and the scripts; these tests hold what only the
// simulator decides: its timing, its faults, its framing and its port.
#include "sim/SimulatedWrench.h"
#include "sim/SimulatedPort.h"
#include "support/VirtualClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

namespace zelcor::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
// Each batch the port delivered, with its time in ms after the request began.
using Batches = std::vector<std::pair<Bytes, std::int64_t>>;

Bytes joined(const Batches& batches) {
    Bytes all;
    for (const auto& [batch, at] : batches) {
        all.insert(all.end(), batch.begin(), batch.end());
    }
    return all;
}

const Bytes kRead{0xC8, 0x00, 0x10};
const Bytes kReply{0x00, 0x10, 0xAA, 0x02, 0x02};

// A wrench on an open port, both on a virtual clock that starts at 0 ms.
struct Bench {
    explicit Bench(WrenchOptions options = {}) : wrench(clock, options), port(wrench) {
        std::string error;
        EXPECT_TRUE(port.open("/dev/ttyS0", SerialSettings{options.baudRate}, error)) << error;
    }

    // Writes the bytes `pauseMs` apart, as the main window paces a request, and lets the
    // line settle.
    Batches send(const Bytes& bytes, int pauseMs = 20, int settleMs = 3000) {
        const std::size_t before = port.arrivals().size();
        const std::int64_t start = clock.nowMs();
        for (std::uint8_t b : bytes) {
            port.writeByte(b);
            clock.advance(pauseMs);
        }
        clock.advance(settleMs);
        Batches got;
        for (std::size_t i = before; i < port.arrivals().size(); ++i) {
            got.emplace_back(port.arrivals()[i].bytes, port.arrivals()[i].atMs - start);
        }
        return got;
    }
    // Every byte that came back, batches joined.
    Bytes ask(const Bytes& bytes, int pauseMs = 20) { return joined(send(bytes, pauseMs)); }

    test::VirtualClock clock;
    SimulatedWrench wrench;
    SimulatedPort port;
};

TEST(SimulatedWrench, CalibrationPullsFromRestToTheFullScaleUntilLeft) {
    Bench b;
    const Bytes enter{0xC8, 0x00, 0x02};
    const Bytes atRest{0x00, 0x02, 0xAA, 0x00, 0x00, 0xAA, 0x00, 0x00, 0xAA, 0x00, 0x00};
    EXPECT_EQ(b.ask(enter), atRest); // entering starts from rest
    // Two whole pulls up to the wrench's own 100 % reading, one of them counter-clockwise.
    // One that the host could not take as a signed value falls back to a typical 2000.
    for (auto [fullScale, top] : {std::pair{2000, 2000}, {1000, 1000}, {0xFFD0, 2000}}) {
        b.wrench.poke(0x0017, fullScale & 0xFF);
        b.wrench.poke(0x0018, fullScale >> 8);
        int highest = 0;
        bool counterClockwise = false;
        for (int t = 0; t < 16'000; ++t, b.clock.advance(1)) {
            highest = std::max<int>(highest, b.wrench.liveValue());
            counterClockwise |= b.wrench.liveStatus() == 0x04;
        }
        EXPECT_EQ(highest, top) << fullScale;
        EXPECT_TRUE(counterClockwise) << fullScale;
    }
    // A write to a command address is echoed but leaves it a command; only 00 leaves.
    EXPECT_EQ(b.ask({0xE8, 0x00, 0x02, 0x01}), (Bytes{0x00, 0x02, 0x01}));
    EXPECT_TRUE(b.wrench.inCalibrationMode());
    b.ask({0xE8, 0x00, 0x02, 0x00});
    EXPECT_FALSE(b.wrench.inCalibrationMode());
    EXPECT_EQ(b.ask(enter), atRest); // re-entering starts from rest again
    b.wrench.holdLive(0x1234, 0x04);
    EXPECT_EQ(b.ask(enter),
              (Bytes{0x00, 0x02, 0xAA, 0x34, 0x34, 0xAA, 0x12, 0x12, 0xAA, 0x04, 0x04}));
}

// What the wrench cannot frame gets no answer, and the next good request gets its own.
TEST(SimulatedWrench, ResynchronisesAfterWhatItCannotFrame) {
    Bench b;
    EXPECT_TRUE(b.ask({0x00, 0x55, 0xAA, 0x10}).empty());
    // C8 00, then silence beyond the 500 ms gap: the next C8 starts a new frame.
    EXPECT_TRUE(joined(b.send({0xC8, 0x00}, 20, 600)).empty());
    // And C8 and E8 inside a frame are plain address bytes.
    EXPECT_EQ(b.ask({0xC8, 0xC8, 0xE8}), (Bytes{0xC8, 0xE8, 0xAA, 0xFF, 0xFF}));
    // A slow host within the gap still completes its frame.
    EXPECT_EQ(b.ask(kRead, 400), kReply);
    // A host at the wrong speed or parity puts only framing errors on the line.
    std::string error;
    for (const SerialSettings& wrong : {SerialSettings{2400}, SerialSettings{1200, 'E'}}) {
        ASSERT_TRUE(b.port.open("/dev/ttyS0", wrong, error));
        EXPECT_TRUE(b.ask(kRead).empty()) << wrong.baudRate << wrong.parity;
    }
    ASSERT_TRUE(b.port.open("/dev/ttyS0", SerialSettings{}, error));
    EXPECT_EQ(b.ask(kRead), kReply);
}

// Arrival = end of the request's last byte + turnaround + reply length x byte time (11 bits),
// delivered on the first whole millisecond.
TEST(SimulatedWrench, ReplyArrivesAfterTheTurnaroundAndItsWireTime) {
    // baud, turnaround, request, pause between its bytes, arrival in ms
    const std::tuple<int, int, Bytes, int, std::int64_t> cases[] = {
        {1200, 5, kRead, 20, 100},                    // 40 + 9.17 + 5 + 5 x 9.17
        {1200, 5, {0xC8, 0x00, 0x02}, 20, 155},       // 40 + 9.17 + 5 + 11 x 9.17
        {1200, 5, {0xE8, 0x00, 0x20, 0x01}, 50, 192}, // 150 + 9.17 + 5 + 3 x 9.17 = 191.67
        {2400, 5, kRead, 20, 73},                     // 40 + 4.58 + 5 + 5 x 4.58 = 72.5
        {1200, 0, kRead, 20, 95},                     // 40 + 9.17 + 0 + 5 x 9.17
        {1200, 5, kRead, 0, 79}, // written at once, queued on the line: 8 x 9.17 + 5 = 78.33
    };
    for (const auto& [baud, turnaround, request, pause, expectedMs] : cases) {
        Bench b(WrenchOptions{baud, turnaround, 500});
        const Batches got = b.send(request, pause);
        ASSERT_EQ(got.size(), 1u) << expectedMs;
        EXPECT_EQ(got[0].second, expectedMs) << baud << " baud, " << turnaround << " ms";
    }
}

// Each fault on the read of 00 10, set after a clean exchange: the batches of the next reply
// with their times, and the bytes of the one after (`same`: the same again).
TEST(SimulatedWrench, FaultsChangeWhatGoesBackOnTheLine) {
    const auto same = std::nullopt;
    const std::tuple<Faults, Batches, std::optional<Bytes>> cases[] = {
        {{.noReply = true}, {}, same},
        {{.shortReply = 3}, {{{0x00, 0x10, 0xAA}, 82}}, same},
        {{.corruptAt = 4}, {{{0x00, 0x10, 0xAA, 0x02, 0xFD}, 100}}, same},
        {{.corruptAt = 5}, {{kReply, 100}}, same}, // beyond the reply
        {{.extraBytes = {0x55, 0x66}}, {{{0x00, 0x10, 0xAA, 0x02, 0x02, 0x55, 0x66}, 119}}, same},
        {{.splitAfter = 2}, {{{0x00, 0x10}, 73}, {{0xAA, 0x02, 0x02}, 100}}, same},
        {{.splitAfter = 4, .splitPauseMs = 30},
         {{{0x00, 0x10, 0xAA, 0x02}, 91}, {{0x02}, 130}},
         same},
        {{.delayMs = 2500}, {{kReply, 2600}}, same},
        {{.noReply = true, .firstAttemptOnly = true}, {}, kReply},
        {{.stopAfter = 1}, {{kReply, 100}}, Bytes{}},
        {{.stopAfter = 0}, {}, same},
    };
    for (const auto& [faults, expected, second] : cases) {
        Bench b;
        b.ask(kRead);
        b.wrench.setFaults(faults);
        const Batches first = b.send(kRead);
        EXPECT_EQ(first, expected) << testing::PrintToString(expected);
        EXPECT_EQ(b.ask(kRead), second.value_or(joined(first))) << testing::PrintToString(expected);
    }

    // Only the line is hit: a write whose answer was lost still took effect.
    Bench b;
    b.wrench.setFaults({.noReply = true});
    EXPECT_TRUE(b.ask({0xE8, 0x00, 0x30, 0x42}).empty());
    EXPECT_EQ(b.wrench.peek(0x00, 0x30), 0x42);
}

TEST(SimulatedPort, ClosingLosesTheReplyOnItsWayAndAnUnplugIsReportedOnce) {
    Bench b;
    std::vector<std::string> errors;
    b.port.setErrorHandler([&](const std::string& e) { errors.push_back(e); });
    b.send(kRead, 20, 30); // three of the five reply bytes are in when the port closes
    b.port.close();
    b.clock.advance(1000);
    std::string error;
    ASSERT_TRUE(b.port.open("/dev/ttyS0", SerialSettings{}, error));
    EXPECT_EQ(b.send(kRead), (Batches{{kReply, 100}}));

    b.send(kRead, 20, 30);
    b.port.unplug("gone");
    b.port.unplug("again"); // nothing left to lose
    EXPECT_EQ(errors, std::vector<std::string>{"gone"});
    EXPECT_TRUE(b.ask(kRead).empty());
    EXPECT_EQ(b.wrench.exchangeCount(), 3); // the unplugged port put nothing on the line
}

} // namespace
} // namespace zelcor::sim
