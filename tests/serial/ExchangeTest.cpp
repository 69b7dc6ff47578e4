// SPDX-License-Identifier: GPL-3.0-or-later
// Exchanges of the link against a port double whose replies the tests time themselves.
#include "support/LinkFixture.h"

namespace zelcor::test {
namespace {

using enum CommResult;

// A request of two bytes is a read, of three a write.
CommResult exchange(LinkFixture& f, const std::string& request, std::string* data = nullptr) {
    const std::vector<std::uint8_t> r = bytes(request);
    if (r.size() == 3) {
        return f.link.write(r[0], r[1], r[2]);
    }
    const ReadReply reply = f.link.read(r[0], r[1]);
    char text[16];
    std::snprintf(text, sizeof text, "%02X %02X %02X", reply.data[0], reply.data[1], reply.data[2]);
    if (data != nullptr) {
        const std::string hex = text;
        *data = reply.hasData ? hex : hex == "00 00 00" ? "-" : "- " + hex;
    }
    return reply.result;
}

// Each request byte goes to the driver, then its pause: 20 ms in a read, 50 ms in a write. An
// exchange is over when its reply is, or at the time-out counted from its start.
TEST(Exchange, RequestsArePacedAndOnlyTheExactReplySucceeds) {
    const struct {
        const char* request;
        const char* events;
        CommResult result;
        std::int64_t endsAt;
        const char* data = "-"; // "-": none
        const char* wire = nullptr;
    } cases[] = {
        {"01 20", "100: 01 20 AA 3C 3C", Success, 100, "3C 00 00", "C8@0 01@20 20@40"},
        {"01 20", "100: 02 20 AA 3C 3C", SyntaxError, 100},
        {"01 20", "100: 01 21 AA 3C 3C", SyntaxError, 100},
        {"01 20", "100: 01 20 AB 3C 3C", SyntaxError, 100},
        {"01 20", "100: 01 20 AA 3C 3D", SyntaxError, 100},
        {"01 20", "100: 01 20 AA 3C", TimeOut, 3000}, // one byte short
        {"00 02", "90: 00 02 AA 10 10 AA 20 20 AA 05 05", Success, 90, "10 20 05"},
        {"00 02", "90: 00 02 AA 10 10 AB 20 20 AA 05 05", SyntaxError, 90},
        {"00 02", "90: 00 02 AA 10 10 AA 20 21 AA 05 05", SyntaxError, 90},
        {"00 02", "90: 00 02 AA 10 10 AA 20 20 AB 05 05", SyntaxError, 90},
        {"00 02", "90: 00 02 AA 10 10 AA 20 20 AA 05 04", SyntaxError, 90},
        {"00 02", "90: 00 02 AA 10 10 AA 20 20 AA 05", TimeOut, 3000},
        {"00 00", "90: 00 00", Success, 90},
        {"00 01", "90: 00 01", Success, 90},
        {"00 00", "90: 00 01", SyntaxError, 90},
        {"00 05", "70: 00 05 | 85: AA 42 42", Success, 85, "42 00 00"},
        {"00 05", "70: 00 05 AA 42 42 99", Success, 70, "42 00 00"},
        {"00 05", "", TimeOut, 3000},
        {"00 10 7F", "250: 00 10 7F", Success, 250, "-", "E8@0 00@50 10@100 7F@150"},
        {"00 10 7F", "250: 00 10 7E", SyntaxError, 250},
        {"00 10 7F", "250: 00 10", TimeOut, 3000},
        // From the start of the cycle, not from the last request byte at 150 ms.
        {"00 10 7F", "", TimeOut, 3000},
        // "Reset 232" with part of a reply in.
        {"00 05", "60: 00 05 | 500: reset", Incomplete, 500},
        // A whole reply came in the last pause and went with the reset before its checks:
        // checked against the emptied buffer, a write of 00 to 00 00 would pass.
        {"00 00 00", "160: FF FF FF | 180: reset", Incomplete, 200},
    };
    for (const auto& c : cases) {
        const std::string what = std::string(c.request) + " / " + c.events;
        LinkFixture f;
        f.schedule(c.events);
        std::string data = "-";
        EXPECT_EQ(exchange(f, c.request, &data), c.result) << what;
        EXPECT_EQ(data, c.data) << what;
        EXPECT_EQ(f.clock.nowMs(), c.endsAt) << what;
        if (c.wire != nullptr) {
            EXPECT_EQ(f.wire(), c.wire);
        }
        if (c.result == Success || c.result == SyntaxError) {
            EXPECT_EQ(f.clock.activeTimerCount(), 0) << what << ": the time-out still runs";
        }
        // A time-out left running fires later into the idle engine and changes nothing.
        const std::string states = f.states;
        const std::string wire = f.wire();
        f.clock.runUntilQuiet();
        EXPECT_EQ(f.states, states) << what;
        EXPECT_EQ(f.wire(), wire) << what;
    }

    // A port whose path may shorten a pause (a device server) has each pause lengthened.
    LinkFixture f;
    f.port.marginMs = 3;
    f.schedule("300: 00 10 7F");
    EXPECT_EQ(exchange(f, "00 10 7F"), Success);
    EXPECT_EQ(exchange(f, "01 20"), TimeOut);
    EXPECT_EQ(f.wire(), "E8@0 00@53 10@106 7F@159 C8@300 01@323 20@346");
}

TEST(Exchange, BytesBetweenExchangesAreEchoedButNeverPartOfTheNextReply) {
    LinkFixture f;
    f.port.receive(bytes("00 05 AA"));
    f.schedule("70: 00 05 AA 42 42 | 140: 00 06 | 150: AA 43 43");
    std::string data;
    EXPECT_EQ(exchange(f, "00 05", &data), Success);
    f.port.receive(bytes("00 06 AA"));
    EXPECT_EQ(exchange(f, "00 06", &data), Success);
    EXPECT_EQ(data, "43 00 00");
    EXPECT_EQ(f.remote, "&H00 &H05 &HAA \r\n&H00 &H05 &HAA &H42 &H42 \r\n&H00 &H06 &HAA \r\n"
                        "&H00 &H06 \r\n&HAA &H43 &H43 \r\n");
    EXPECT_EQ(f.states, "IDLE0 RECV RECV_EXIT IDLE0 RECV RECV_EXIT ");
}

TEST(Exchange, OneExchangeOnTheWireAtATime) {
    // A timer, or a click handled inside a modal box's event loop, can still ask for an
    // exchange while one runs: the link refuses it at once and sends nothing.
    LinkFixture f;
    std::string inner;
    f.boxes.answerOk(4);
    f.clock.at(30, [&] {
        const ReadReply read = f.link.read(0x00, 0x02);
        inner = "read " + std::to_string(CommResultCode(read.result)) + (read.hasData ? "+" : "") +
                ", write " + std::to_string(CommResultCode(f.link.write(0x00, 0x10, 0x55))) +
                ", byte " + std::to_string(f.link.sendByte(0x1A)) + ", operation " +
                std::to_string(f.link.beginOperation().has_value()) + " at " +
                std::to_string(f.clock.nowMs());
    });
    f.schedule("100: 00 10 AA 42 42");
    std::string data;
    EXPECT_EQ(exchange(f, "00 10", &data), Success);
    EXPECT_EQ(data, "42 00 00");
    EXPECT_EQ(f.wire(), "C8@0 00@20 10@40");
    EXPECT_EQ(inner, "read 8, write 8, byte 0, operation 0 at 30");
    const std::string busy = "warning Link Busy: Another exchange with the wrench is still "
                             "running.\r\nThis request was not sent.\n";
    EXPECT_EQ(f.shown(), busy + busy + busy + busy);
    f.link.ShowCommResult(Busy); // not a wrench fault: no further box
    EXPECT_EQ(f.boxes.shown().size(), 4u);

    // An operation holds the link across its exchanges, which go out; the controls hear of
    // the busy link once as it begins and once as it ends.
    std::vector<bool> heard;
    const int listener = f.link.addBusyListener([&](bool b) { heard.push_back(b); });
    if (const auto hold = f.link.beginOperation()) {
        f.schedule("160: 00 05 AA 01 01 | 230: 00 06 AA 02 02");
        EXPECT_EQ(exchange(f, "00 05"), Success);
        EXPECT_EQ(exchange(f, "00 06"), Success);
    } else {
        ADD_FAILURE() << "no operation once the exchange is over";
    }
    f.link.removeBusyListener(listener);
    exchange(f, "00 07");
    EXPECT_EQ(heard, (std::vector<bool>{false, true, false}));
}

// Each result's wording is in the fault matrix (docs/fault-matrix.md) and the scripts; here the
// kinds of the two boxes and their order.
TEST(Exchange, ACommResultIsACriticalBoxThenHelp) {
    LinkFixture f;
    f.boxes.answerOk(2);
    f.link.ShowCommResult(TimeOut);
    EXPECT_EQ(f.shown(), "critical Communication Error: Data Receving is time-out\n"
                         "information Help: Step1:Connect Rs232 cable firmly.\r\n"
                         "Step2:Make sure the wrench is on 'send'state.\r\nStep3:Try again!\n");
}

TEST(Exchange, AReplyLengthSetByHandNeverChangesTheRunningExchange) {
    // Shorter, the reply would be checked at its first two bytes; longer, it would time out.
    for (const std::int16_t length : {1, 12}) {
        LinkFixture f;
        f.clock.at(30, [&] { f.link.setReplyLength(length); });
        f.schedule("60: 00 05 | 100: AA 12 12");
        EXPECT_EQ(exchange(f, "00 05"), Success) << length;
        EXPECT_EQ(f.clock.nowMs(), 100) << length;
        EXPECT_EQ(f.link.replyLength(), 5);
        f.link.setReplyLength(length); // between exchanges it takes
        EXPECT_EQ(f.link.replyLength(), length);
    }
}

} // namespace
} // namespace zelcor::test
