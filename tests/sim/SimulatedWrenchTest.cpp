#include "sim/SimulatedWrench.h"
#include "sim/SimulatedPort.h"
#include "support/VirtualClock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace zelcor::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A wrench on a port, both on a virtual clock that starts at 0 ms.
struct Bench {
    explicit Bench(WrenchOptions options = {}) : wrench(clock, options), port(wrench) {
        clock.setWaitLimitMs(60'000);
        SerialSettings settings;
        settings.baudRate = options.baudRate;
        std::string error;
        EXPECT_TRUE(port.open("/dev/ttyS0", settings, error)) << error;
    }

    // Writes the bytes with `pauseMs` after each, as the main window paces a request, lets
    // the line settle and returns every byte that arrived meanwhile.
    Bytes send(const Bytes& bytes, int pauseMs, int settleMs = 1000) {
        const std::size_t before = port.arrivals().size();
        for (std::uint8_t b : bytes) {
            port.writeByte(b);
            clock.advance(pauseMs);
        }
        clock.advance(settleMs);
        Bytes got;
        for (std::size_t i = before; i < port.arrivals().size(); ++i) {
            const auto& batch = port.arrivals()[i].bytes;
            got.insert(got.end(), batch.begin(), batch.end());
        }
        return got;
    }
    Bytes read(std::uint8_t a1, std::uint8_t a0) { return send({0xC8, a1, a0}, 20); }
    Bytes write(std::uint8_t a1, std::uint8_t a0, std::uint8_t d) {
        return send({0xE8, a1, a0, d}, 50);
    }

    test::VirtualClock clock;
    SimulatedWrench wrench;
    SimulatedPort port;
};

// --- replies and memory -----------------------------------------------------------------

TEST(SimulatedWrench, AnswersEveryRequestInItsExactForm) {
    Bench b;
    b.wrench.holdLive(0x1234, 0x04);
    EXPECT_EQ(b.read(0x00, 0x10), (Bytes{0x00, 0x10, 0xAA, 0x02, 0x02}));
    EXPECT_EQ(b.read(0x00, 0x00), (Bytes{0x00, 0x00}));
    EXPECT_EQ(b.read(0x00, 0x01), (Bytes{0x00, 0x01}));
    EXPECT_FALSE(b.wrench.inSerialLinkMode());
    EXPECT_EQ(b.read(0x00, 0x02),
              (Bytes{0x00, 0x02, 0xAA, 0x34, 0x34, 0xAA, 0x12, 0x12, 0xAA, 0x04, 0x04}));
    EXPECT_TRUE(b.wrench.inCalibrationMode());
    // Only Addr1 00 holds the commands; C8 and E8 are plain address bytes inside a frame.
    EXPECT_EQ(b.read(0x01, 0x00), (Bytes{0x01, 0x00, 0xAA, 0xFF, 0xFF}));
    EXPECT_EQ(b.read(0xC8, 0xE8), (Bytes{0xC8, 0xE8, 0xAA, 0xFF, 0xFF}));
    EXPECT_EQ(b.write(0x00, 0x25, 0x7F), (Bytes{0x00, 0x25, 0x7F}));
}

TEST(SimulatedWrench, WritesPersistAndReadBack) {
    Bench b;
    b.write(0x12, 0x34, 0x00);
    b.write(0x00, 0x25, 0x7F);
    b.write(0x00, 0x25, 0x80);
    EXPECT_EQ(b.wrench.peek(0x00, 0x25), 0x80);
    EXPECT_EQ(b.read(0x12, 0x34), (Bytes{0x12, 0x34, 0xAA, 0x00, 0x00}));
    b.wrench.poke(0x01, 0x20, 0x3C);
    EXPECT_EQ(b.read(0x01, 0x20), (Bytes{0x01, 0x20, 0xAA, 0x3C, 0x3C}));
}

TEST(SimulatedWrench, WritesToTheCommandAddressesKeepThemCommands) {
    Bench b;
    b.read(0x00, 0x02);
    EXPECT_EQ(b.write(0x00, 0x02, 0x01), (Bytes{0x00, 0x02, 0x01}));
    EXPECT_TRUE(b.wrench.inCalibrationMode()); // only 00 leaves it
    EXPECT_EQ(b.write(0x00, 0x02, 0x00), (Bytes{0x00, 0x02, 0x00}));
    EXPECT_FALSE(b.wrench.inCalibrationMode());
    b.write(0x00, 0x00, 0x55);
    b.write(0x00, 0x01, 0x55);
    EXPECT_EQ(b.read(0x00, 0x00), (Bytes{0x00, 0x00}));
    EXPECT_EQ(b.read(0x00, 0x01), (Bytes{0x00, 0x01}));
    EXPECT_EQ(b.read(0x00, 0x02).size(), 11u);
    EXPECT_EQ(b.wrench.peek(0x0000), 0x00);
}

TEST(SimulatedWrench, FactoryContentIsAPlausibleWrench) {
    Bench b;
    auto word = [&](std::uint16_t lo) { return b.wrench.peek(lo + 1) * 256 + b.wrench.peek(lo); };
    for (std::uint16_t i : {0x0C, 0x0D, 0x0E, 0x0F, 0x2B, 0x2C, 0x2D}) {
        EXPECT_NE(b.wrench.peek(i), 0xFF) << i; // identity is set, not erased
    }
    EXPECT_EQ(b.wrench.peek(0x0010) & 0x80, 0); // no error flag
    EXPECT_EQ(word(0x17), 2000);                // 100 % reading of the preset
    EXPECT_EQ(word(0x19), 2200);
    EXPECT_EQ(word(0x11), 0x5753);
    EXPECT_EQ(b.wrench.peek(0x002E), 0xFF);
}

// --- calibration mode ------------------------------------------------------------------

TEST(SimulatedWrenchCalibration, LiveValueMovesOnlyWithTimeWithinTheFullScale) {
    Bench b;
    const Bytes first = b.read(0x00, 0x02);
    ASSERT_EQ(first.size(), 11u);
    EXPECT_EQ(first[6] * 256 + first[3], 0); // the pull starts from rest

    const std::uint16_t now = b.wrench.liveValue();
    EXPECT_EQ(b.wrench.liveValue(), now);
    b.clock.advance(500);
    EXPECT_NE(b.wrench.liveValue(), now);
    const Bytes later = b.read(0x00, 0x02);
    EXPECT_GT(later[6] * 256 + later[3], 0);

    // Two whole pulls: up to the 100 % reading and never beyond, the second one
    // counter-clockwise.
    int highest = 0;
    bool counterClockwise = false;
    for (int t = 0; t < 16'000; t += 100) {
        highest = std::max<int>(highest, b.wrench.liveValue());
        counterClockwise |= b.wrench.liveStatus() == 0x04;
        b.clock.advance(100);
    }
    EXPECT_GE(highest, 1990);
    EXPECT_LE(highest, 2000);
    EXPECT_TRUE(counterClockwise);

    // An erased full scale would not fit the signed value the host computes with.
    b.wrench.poke(0x0017, 0xFF);
    b.wrench.poke(0x0018, 0xFF);
    for (int t = 0; t < 8000; t += 100) {
        EXPECT_LE(b.wrench.liveValue(), 0x7FFF);
        b.clock.advance(100);
    }
}

TEST(SimulatedWrenchCalibration, LeavingStopsTheValueAndReenteringStartsFromRest) {
    Bench b;
    b.read(0x00, 0x02);
    b.clock.advance(1500);
    EXPECT_GT(b.wrench.liveValue(), 0);
    b.write(0x00, 0x02, 0x00);
    EXPECT_EQ(b.wrench.liveValue(), 0);
    b.clock.advance(1500);
    const Bytes again = b.read(0x00, 0x02);
    ASSERT_EQ(again.size(), 11u);
    EXPECT_EQ(again[6] * 256 + again[3], 0);
}

// --- framing ---------------------------------------------------------------------------

TEST(SimulatedWrenchFraming, StrayBytesAreIgnoredAndAPartialFrameDroppedAfterTheGap) {
    Bench b;
    EXPECT_TRUE(b.send({0x00, 0x55, 0xAA, 0x10}, 20).empty());
    EXPECT_EQ(b.wrench.ignoredByteCount(), 4);
    // C8 00, then silence longer than the gap: the next C8 starts a new frame.
    EXPECT_TRUE(b.send({0xC8, 0x00}, 20, 600).empty());
    EXPECT_EQ(b.read(0x00, 0x10), (Bytes{0x00, 0x10, 0xAA, 0x02, 0x02}));
    EXPECT_EQ(b.wrench.droppedFrameCount(), 1);

    // A slow host within the gap still completes its frame.
    EXPECT_TRUE(b.send({0xC8, 0x00}, 400, 0).empty());
    EXPECT_EQ(b.send({0x11}, 0), (Bytes{0x00, 0x11, 0xAA, 0x53, 0x53}));
    EXPECT_EQ(b.wrench.droppedFrameCount(), 1);

    ASSERT_EQ(b.wrench.receivedFrames().size(), 2u);
    EXPECT_EQ(b.wrench.receivedFrames().back().addr0, 0x11);
}

TEST(SimulatedWrenchFraming, RecoversFromAnyGarbageAfterAPause) {
    Bench b;
    std::mt19937 random(1234);
    for (int i = 0; i < 5000; ++i) {
        b.port.writeByte(static_cast<std::uint8_t>(random()));
        b.clock.advance(random() % 30);
    }
    b.clock.advance(2000);
    EXPECT_GT(b.wrench.exchangeCount(), 0);
    b.wrench.poke(0x0010, 0x02);
    EXPECT_EQ(b.read(0x00, 0x10), (Bytes{0x00, 0x10, 0xAA, 0x02, 0x02}));
}

TEST(SimulatedWrenchFraming, AHostAtTheWrongSpeedGetsNoAnswer) {
    Bench b;
    SerialSettings fast;
    fast.baudRate = 2400;
    std::string error;
    ASSERT_TRUE(b.port.open("/dev/ttyS0", fast, error));
    EXPECT_TRUE(b.read(0x00, 0x10).empty());
    EXPECT_EQ(b.wrench.lineErrorCount(), 3);
    EXPECT_EQ(b.wrench.exchangeCount(), 0);
    EXPECT_EQ(b.port.written().size(), 3u); // still on the wire

    ASSERT_TRUE(b.port.open("/dev/ttyS0", SerialSettings{}, error));
    EXPECT_EQ(b.read(0x00, 0x10).size(), 5u);
}

// --- timing ----------------------------------------------------------------------------

// Reply arrival = end of the request's last byte + turnaround + reply length x byte time,
// with one byte 11 bits long; the batch is delivered on the first whole millisecond.
TEST(SimulatedWrenchTiming, ReplyArrivesAfterTurnaroundAndItsWireTime) {
    struct Case {
        int baud;
        int turnaround;
        Bytes request;
        int pause;
        std::int64_t expectedMs;
    };
    const Case cases[] = {
        // 40 + 9.17 + 5 + 5 x 9.17 = 100
        {1200, 5, {0xC8, 0x00, 0x10}, 20, 100},
        // 40 + 9.17 + 5 + 2 x 9.17 = 72.5
        {1200, 5, {0xC8, 0x00, 0x00}, 20, 73},
        // 40 + 9.17 + 5 + 11 x 9.17 = 155
        {1200, 5, {0xC8, 0x00, 0x02}, 20, 155},
        // 150 + 9.17 + 5 + 3 x 9.17 = 191.67
        {1200, 5, {0xE8, 0x00, 0x20, 0x01}, 50, 192},
        // 40 + 4.58 + 5 + 5 x 4.58 = 72.5
        {2400, 5, {0xC8, 0x00, 0x10}, 20, 73},
        // 40 + 9.17 + 0 + 5 x 9.17 = 95
        {1200, 0, {0xC8, 0x00, 0x10}, 20, 95},
        // all three written at once queue on the line: 3 x 9.17 + 5 + 5 x 9.17 = 78.33
        {1200, 5, {0xC8, 0x00, 0x10}, 0, 79},
    };
    for (const Case& c : cases) {
        Bench b(WrenchOptions{c.baud, c.turnaround, 500});
        b.send(c.request, c.pause);
        ASSERT_EQ(b.port.arrivals().size(), 1u) << c.expectedMs;
        EXPECT_EQ(b.port.arrivals()[0].atMs, c.expectedMs) << c.baud << " baud";
    }
}

TEST(SimulatedWrenchTiming, WireAndFrameLogRecordWhatHappenedWhen) {
    Bench b;
    b.read(0x00, 0x10);
    b.write(0x00, 0x20, 0x33);
    ASSERT_EQ(b.port.written().size(), 7u);
    EXPECT_EQ(b.port.writtenBytes(), (Bytes{0xC8, 0x00, 0x10, 0xE8, 0x00, 0x20, 0x33}));
    EXPECT_EQ(b.port.written()[1].atMs, 20);
    EXPECT_EQ(b.port.written()[4].atMs, 1060 + 50);
    ASSERT_EQ(b.wrench.receivedFrames().size(), 2u);
    const ReceivedFrame& read = b.wrench.receivedFrames()[0];
    EXPECT_FALSE(read.write);
    EXPECT_EQ(read.atMs, 50); // last byte written at 40 ms, 9.17 ms on the line
    const ReceivedFrame& write = b.wrench.receivedFrames()[1];
    EXPECT_TRUE(write.write);
    EXPECT_EQ(write.addr0, 0x20);
    EXPECT_EQ(write.data, 0x33);
}

TEST(SimulatedWrenchTiming, AHostThatWaitsInsideItsReceiveHandlerStillGetsAnswers) {
    Bench b;
    Bytes inner;
    bool nested = false;
    b.port.setReceiveHandler([&](const Bytes& bytes) {
        if (nested) {
            inner.insert(inner.end(), bytes.begin(), bytes.end());
            return;
        }
        // The main window's waits run inside receive events: start another exchange here.
        nested = true;
        for (std::uint8_t byte : Bytes{0xC8, 0x00, 0x11}) {
            b.port.writeByte(byte);
            b.clock.delay(20);
        }
        b.clock.waitUntil([&] { return inner.size() >= 5; });
    });
    b.read(0x00, 0x10);
    EXPECT_EQ(inner, (Bytes{0x00, 0x11, 0xAA, 0x53, 0x53}));
}

// --- faults ----------------------------------------------------------------------------

TEST(SimulatedWrenchFaults, NoReplyStillCarriesOutTheRequest) {
    Bench b;
    b.wrench.setFaults({.noReply = true});
    EXPECT_TRUE(b.write(0x00, 0x30, 0x42).empty());
    EXPECT_EQ(b.wrench.peek(0x0030), 0x42);
    EXPECT_EQ(b.wrench.exchangeCount(), 1);
    b.wrench.clearFaults();
    EXPECT_EQ(b.read(0x00, 0x30), (Bytes{0x00, 0x30, 0xAA, 0x42, 0x42}));
}

TEST(SimulatedWrenchFaults, ShortCorruptAndExtraChangeTheReplyBytes) {
    Bench b;
    b.wrench.setFaults({.shortReply = 3});
    EXPECT_EQ(b.read(0x00, 0x10), (Bytes{0x00, 0x10, 0xAA}));
    // Three bytes' time after the turnaround: 54.17 + 27.5.
    EXPECT_EQ(b.port.arrivals().back().atMs, 82);

    b.wrench.setFaults({.corruptAt = 4});
    EXPECT_EQ(b.read(0x00, 0x10), (Bytes{0x00, 0x10, 0xAA, 0x02, 0xFD}));
    b.wrench.setFaults({.corruptAt = 5}); // beyond the reply: no effect
    EXPECT_EQ(b.write(0x00, 0x20, 0x01), (Bytes{0x00, 0x20, 0x01}));

    b.wrench.setFaults({.extraBytes = {0x55, 0x66}});
    const std::size_t before = b.port.arrivals().size();
    EXPECT_EQ(b.read(0x00, 0x00), (Bytes{0x00, 0x00, 0x55, 0x66}));
    ASSERT_EQ(b.port.arrivals().size(), before + 1); // one batch with the reply
}

TEST(SimulatedWrenchFaults, SplitAndDelayMoveTheBatchesInTime) {
    Bench b;
    b.wrench.setFaults({.splitAfter = 2});
    EXPECT_EQ(b.read(0x00, 0x10), (Bytes{0x00, 0x10, 0xAA, 0x02, 0x02}));
    ASSERT_EQ(b.port.arrivals().size(), 2u);
    EXPECT_EQ(b.port.arrivals()[0].bytes, (Bytes{0x00, 0x10}));
    EXPECT_EQ(b.port.arrivals()[0].atMs, 73); // 54.17 + 2 x 9.17
    EXPECT_EQ(b.port.arrivals()[1].atMs, 100);

    Bench paused;
    paused.wrench.setFaults({.splitAfter = 4, .splitPauseMs = 30});
    paused.read(0x00, 0x10);
    ASSERT_EQ(paused.port.arrivals().size(), 2u);
    EXPECT_EQ(paused.port.arrivals()[1].bytes, (Bytes{0x02}));
    EXPECT_EQ(paused.port.arrivals()[1].atMs, 130);

    Bench late;
    late.wrench.setFaults({.delayMs = 2500});
    late.read(0x00, 0x10);
    EXPECT_TRUE(late.port.arrivals().empty()); // still on its way after 1 s
    late.clock.advance(2000);
    ASSERT_EQ(late.port.arrivals().size(), 1u);
    EXPECT_EQ(late.port.arrivals()[0].atMs, 2600);
}

TEST(SimulatedWrenchFaults, FirstAttemptOnlyHitsOneExchangeAfterEachSetting) {
    Bench b;
    b.read(0x00, 0x10); // before the faults: counts as nothing
    b.wrench.setFaults({.noReply = true, .firstAttemptOnly = true});
    EXPECT_TRUE(b.read(0x00, 0x10).empty());
    EXPECT_EQ(b.read(0x00, 0x10).size(), 5u);
    EXPECT_EQ(b.read(0x00, 0x10).size(), 5u);

    b.wrench.setFaults({.corruptAt = 2, .firstAttemptOnly = true});
    EXPECT_EQ(b.read(0x00, 0x10)[2], 0x55);
    EXPECT_EQ(b.read(0x00, 0x10)[2], 0xAA);
}

TEST(SimulatedWrenchFaults, StopAfterCountsExchangesFromWhenItWasSet) {
    Bench b;
    b.read(0x00, 0x10);
    b.read(0x00, 0x10);
    b.wrench.setFaults({.stopAfter = 2});
    EXPECT_EQ(b.read(0x00, 0x10).size(), 5u);
    EXPECT_EQ(b.write(0x00, 0x30, 0x01).size(), 3u);
    EXPECT_TRUE(b.read(0x00, 0x10).empty());
    EXPECT_TRUE(b.write(0x00, 0x30, 0x02).empty());
    EXPECT_EQ(b.wrench.exchangeCount(), 6); // it still hears everything
    EXPECT_EQ(b.wrench.peek(0x0030), 0x02);

    b.wrench.setFaults({.stopAfter = 0});
    EXPECT_TRUE(b.read(0x00, 0x10).empty());
}

// --- the port --------------------------------------------------------------------------

TEST(SimulatedPort, ClosingDropsAReplyOnItsWayAndReopeningStartsClean) {
    Bench b;
    b.send({0xC8, 0x00, 0x10}, 20, 0); // reply due at 100 ms
    b.clock.advance(30);               // three of its five bytes have arrived
    b.port.close();
    b.clock.advance(1000);
    EXPECT_TRUE(b.port.arrivals().empty());

    std::string error;
    ASSERT_TRUE(b.port.open("/dev/ttyS0", SerialSettings{}, error));
    EXPECT_EQ(b.read(0x00, 0x11), (Bytes{0x00, 0x11, 0xAA, 0x53, 0x53}));
    EXPECT_EQ(b.port.openCount(), 2);
}

TEST(SimulatedPort, RefusesTheNameItWasToldToAndOpensOthers) {
    Bench b;
    b.port.close();
    b.port.refuseName("COM3");
    std::string error;
    EXPECT_FALSE(b.port.open("COM3", SerialSettings{}, error));
    EXPECT_NE(error.find("COM3"), std::string::npos);
    EXPECT_TRUE(b.port.open("COM4", SerialSettings{}, error));
    EXPECT_EQ(b.port.openedName(), "COM4");
}

TEST(SimulatedPort, UnpluggedOrClosedItSendsNothingAndReportsOnce) {
    Bench b;
    std::vector<std::string> errors;
    b.port.setErrorHandler([&](const std::string& e) { errors.push_back(e); });
    b.send({0xC8, 0x00, 0x10}, 20, 0);
    b.port.unplug("gone");
    EXPECT_EQ(errors, std::vector<std::string>{"gone"});
    EXPECT_FALSE(b.port.isOpen());
    EXPECT_FALSE(b.port.writeByte(0xC8));
    EXPECT_EQ(b.port.written().size(), 3u);
    b.clock.advance(1000);
    EXPECT_TRUE(b.port.arrivals().empty());
    EXPECT_EQ(b.wrench.ignoredByteCount() + b.wrench.exchangeCount(), 1);
    b.port.unplug("again"); // nothing left to lose
    EXPECT_EQ(errors.size(), 1u);
}

} // namespace
} // namespace zelcor::sim
