// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated wrench on its in-process port, on a virtual clock. The protocol as the program
// uses it is proven again through the windows and the scripts; these tests hold what only the
// simulator decides: its timing, its faults, its framing and its port.
#include "sim/SimulatedWrench.h"
#include "sim/SimulatedPort.h"
#include "sim/SimulatedTester.h"
#include "sim/SimulatedTesterPort.h"
#include "support/VirtualClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
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

const Bytes kClearLow{0xE8, 0x00, 0x23, 0x00};
const Bytes kClearHigh{0xE8, 0x00, 0x24, 0x00};

// The maximum the wrench keeps, 23H low and 24H high.
std::pair<int, int> kept(const SimulatedWrench& wrench) {
    return {wrench.peek(0x0023), wrench.peek(0x0024)};
}

// Each request paced 20 ms a byte takes 69.17 ms to its last byte's arrival (60 + 9.17);
// the pull ends 1000 ms after that, on the first whole millisecond.
TEST(SimulatedWrench, APullEndsTheDelayAfterTheMaximumIsClearedAndKeepsItsReading) {
    Bench b;
    b.wrench.setPulls(PullOptions{.targets = {60, 20}, .biasPercent = 6});
    std::vector<std::pair<double, std::int64_t>> peaks;
    b.wrench.addPullListener([&](double peak) { peaks.emplace_back(peak, b.clock.nowMs()); });
    b.wrench.poke(0x0023, 0x10);
    b.wrench.poke(0x0024, 0x05);
    b.send(kClearLow, 20, 0);    // 24H still holds 05: nothing yet
    b.send(kClearHigh, 20, 989); // at 1149 ms
    EXPECT_EQ(kept(b.wrench), std::pair(0, 0));
    EXPECT_TRUE(peaks.empty());
    // Cleared at 80 + 69.17 ms: 60 N·m + 6 % = 63.6 N·m, 636 counts = 02 7C.
    b.clock.advance(1);
    EXPECT_EQ(kept(b.wrench), std::pair(0x7C, 0x02));
    EXPECT_EQ(peaks, (std::vector<std::pair<double, std::int64_t>>{{60, 1150}}));

    // Cleared high byte first, then the low one twice, 500 ms apart: one pull, 1000 ms after
    // the second clearing, to the next target (20 N·m + 6 % = 21.2, 212 counts = 00 D4).
    b.send(kClearHigh, 20, 0);
    b.send(kClearLow, 20, 420);
    b.send(kClearLow, 20, 989); // the second clearing ended at 1730 + 69.17 ms
    EXPECT_EQ(kept(b.wrench), std::pair(0, 0));
    b.clock.advance(1);
    EXPECT_EQ(kept(b.wrench), std::pair(0xD4, 0x00));
    b.clock.advance(5000);
    EXPECT_EQ(peaks, (std::vector<std::pair<double, std::int64_t>>{{60, 1150}, {20, 2800}}));
    EXPECT_EQ(b.wrench.pullCount(), 2);

    // After the last target the first comes again. Writes of anything but 00 start nothing,
    // nor does a wrench without pulls.
    b.send({0xE8, 0x00, 0x24, 0x01});
    b.send(kClearHigh, 20, 0);
    b.send(kClearLow);
    EXPECT_EQ(kept(b.wrench), std::pair(0x7C, 0x02));
    b.wrench.setPulls(std::nullopt);
    b.send(kClearLow, 20, 0);
    b.send(kClearHigh);
    EXPECT_EQ(kept(b.wrench), std::pair(0, 0));
    EXPECT_EQ(b.wrench.pullCount(), 3);
}

// What the wrench keeps, worked out by hand. Scatter: seed 1's first 32-bit output of the
// standard generator is 1791095845, 1791095845 / 2^32 x 2 - 1 = -0.165956; at 5 % 60 N·m
// reads 60 x (1 - 0.0082978) = 59.502: 595 counts.
TEST(SimulatedWrench, PullsKeepTheReadingInCountsOfTheLastDigit) {
    const std::tuple<PullOptions, int> cases[] = {
        {{.targets = {60}, .biasPercent = 6, .digits = 2}, 6360},  // 63.6 x 100
        {{.targets = {60}, .biasPercent = -2.5, .digits = 0}, 59}, // 58.5 rounds up
        {{.targets = {100}, .digits = 3}, 65535},                  // 100000: the cells' top
        {{.targets = {60}, .scatterPercent = 5, .seed = 1}, 595},  // see above
        {{.maximum = 250, .targets = {}, .biasPercent = 1}, 2525}, // first pre-load: 252.5
    };
    for (const auto& [options, counts] : cases) {
        Bench b;
        b.wrench.setPulls(options);
        b.send(kClearLow, 20, 0);
        b.send(kClearHigh);
        EXPECT_EQ(kept(b.wrench), std::pair(counts & 0xFF, counts >> 8)) << counts;
    }

    // The standard procedure for 100 N·m: three pre-loads at 100, five readings at 20, 60
    // and 100 each, then from the start again.
    Bench b;
    b.wrench.setPulls(PullOptions{});
    std::vector<double> peaks;
    b.wrench.addPullListener([&](double peak) { peaks.push_back(peak); });
    for (int pull = 0; pull < 19; ++pull) {
        b.send(kClearLow, 20, 0);
        b.send(kClearHigh, 20, 1100);
    }
    EXPECT_EQ(peaks, (std::vector<double>{100, 100, 100, 20, 20, 20, 20, 20, 60, 60, 60, 60, 60,
                                          100, 100, 100, 100, 100, 100}));
}

// The tester's line for the pull that ended at 1150 ms, at 9600 baud: a byte every 1.04 ms,
// the first whole at 1151.04 ms, the thirteenth at 1163.54 ms.
TEST(SimulatedTester, SendsEachTruePeakAsALineInItsUnit) {
    // 60 N·m in lbf.in: 60 / 0.1129848290 = 531.0447.
    const std::tuple<double, std::string, std::string> cases[] = {
        {60.12, "N.m", "+060.12 N.m\r\n"},
        {60, "lbf.in", "+531.04 lbf.in\r\n"},
        {1500, "Nm", "+1500.00 Nm\r\n"},
    };
    for (const auto& [peak, unit, line] : cases) {
        Bench b;
        b.wrench.setPulls(PullOptions{.targets = {peak}});
        SimulatedTester tester(b.clock, b.wrench);
        ASSERT_TRUE(tester.setUnit(unit));
        SimulatedTesterPort port(tester);
        std::string error;
        ASSERT_TRUE(port.open("/dev/ttyS1", SerialSettings{9600, 'N', 8, 1}, error));
        std::string got;
        std::vector<std::int64_t> times;
        port.setReceiveHandler([&](const Bytes& bytes) {
            got.append(bytes.begin(), bytes.end());
            times.push_back(b.clock.nowMs());
        });
        b.send(kClearLow, 20, 0);
        b.send(kClearHigh, 20, 2000);
        EXPECT_EQ(got, line);
        ASSERT_EQ(times.size(), line.size());
        EXPECT_EQ(times.front(), 1152);
        EXPECT_EQ(times[12], 1164);
    }

    // A tester that is off, or a port at another speed, gets nothing; an unknown unit is
    // refused and the last one kept.
    Bench b;
    b.wrench.setPulls(PullOptions{.targets = {60}});
    SimulatedTester tester(b.clock, b.wrench);
    EXPECT_FALSE(tester.setUnit("furlong"));
    EXPECT_EQ(tester.unit(), "N.m");
    SimulatedTesterPort port(tester);
    std::string got;
    port.setReceiveHandler([&](const Bytes& bytes) { got.append(bytes.begin(), bytes.end()); });
    std::string error;
    for (const auto& [settings, silent] :
         {std::pair{SerialSettings{9600, 'N', 8, 1}, true}, {SerialSettings{1200}, false}}) {
        ASSERT_TRUE(port.open("/dev/ttyS1", settings, error));
        tester.setSilent(silent);
        b.send(kClearLow, 20, 0);
        b.send(kClearHigh);
    }
    EXPECT_EQ(got, "");
    EXPECT_EQ(b.wrench.pullCount(), 2);
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
