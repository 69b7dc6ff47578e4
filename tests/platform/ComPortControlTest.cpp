// SPDX-License-Identifier: GPL-3.0-or-later
// The telnet side of a network port, byte by byte, the expected bytes written out by hand from
// the telnet and COM-PORT-CONTROL numbers (IAC FF, SB FA, SE F0, WILL FB, WONT FC, DO FD,
// DONT FE; option 2C; SET-BAUDRATE 01 .. SET-STOPSIZE 04, answered as 65 .. 68).
#include "platform/ComPortControl.h"

#include <QByteArray>
#include <gtest/gtest.h>

namespace zelcor {
namespace {

std::vector<std::uint8_t> bytes(const char* hex) {
    const QByteArray raw = QByteArray::fromHex(hex);
    return {raw.begin(), raw.end()};
}

TEST(ComPortControl, NetworkPortNames) {
    NetworkPortName name;
    std::string error;
    ASSERT_TRUE(ParseNetworkPortName("RFC2217://ser2net.line3:7001", name, error)) << error;
    EXPECT_EQ(name.mode, NetworkPortName::Mode::ComPortControl);
    EXPECT_EQ(name.host, "ser2net.line3");
    EXPECT_EQ(name.port, 7001);
    ASSERT_TRUE(ParseNetworkPortName("tcp://[::1]:65535", name, error)) << error;
    EXPECT_EQ(name.mode, NetworkPortName::Mode::Raw);
    EXPECT_EQ(name.host, "::1");
    EXPECT_EQ(name.address, "[::1]:65535");
    for (const char* wrong : {"tcp://host", "tcp://:7001", "tcp://host:0", "tcp://host:65536",
                              "tcp://host:70x", "tcp://a/b:7001", "tcp://::1:7001"}) {
        EXPECT_FALSE(ParseNetworkPortName(wrong, name, error)) << wrong;
        EXPECT_NE(error.find(wrong), std::string::npos) << error;
    }
    EXPECT_FALSE(IsNetworkPortName("/dev/ttyUSB0"));
}

TEST(ComPortControl, SettlesTheLineAndKeepsItsBytesApartFromTelnet) {
    ComPortControl control(SerialSettings{1200, 'N', 8, 2});
    EXPECT_EQ(control.greeting(), bytes("fffb2c"
                                        "fffb00"
                                        "fffd00"));
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> reply;
    // The server takes the option: the four settings go, 1200 being 00 00 04 B0. Then it
    // agrees to binary (asked already: not answered again), offers echo and asks for the
    // terminal type (both refused).
    const auto server = bytes("fffd2c"
                              "fffb00"
                              "fffb01"
                              "fffd18");
    control.receive(server.data(), server.size(), data, reply);
    EXPECT_EQ(reply, bytes("fffa2c01000004b0fff0"
                           "fffa2c0208fff0"
                           "fffa2c0301fff0"
                           "fffa2c0402fff0"
                           "fffe01"
                           "fffc18"));
    EXPECT_TRUE(data.empty());
    // The answers, then line bytes with a doubled FF, split anywhere, the IAC included.
    const auto answers = bytes("fffa2c65000004b0fff0"
                               "fffa2c6608fff0"
                               "fffa2c6701fff0"
                               "fffa2c6802fff0"
                               "0010ffff"
                               "ff");
    reply.clear();
    control.receive(answers.data(), answers.size() - 2, data, reply);
    EXPECT_EQ(control.state(), ComPortControl::State::Settled);
    control.receive(answers.data() + answers.size() - 2, 2, data, reply);
    EXPECT_EQ(data, bytes("0010ff"));
    EXPECT_TRUE(reply.empty());
    std::vector<std::uint8_t> sent;
    for (const std::uint8_t byte : {0xE8, 0xFF, 0x00}) {
        ComPortControl::appendData(byte, sent);
    }
    EXPECT_EQ(sent, bytes("e8ffff00"));
}

TEST(ComPortControl, AServerThatWillNotSetTheLineRefusesIt) {
    const struct {
        const char* server;
        const char* why;
    } cases[] = {
        {"fffe2c", "refuses the COM-PORT-CONTROL option"},
        {"fffd2c"
         "fffa2c6500002580fff0",
         "baud rate 9600 instead of 2400"},
        {"fffd2c"
         "fffa2c6607fff0",
         "7 data bits instead of 8"},
        {"fffd2c"
         "fffa2c6703fff0",
         "parity even instead of odd"},
        {"fffd2c"
         "fffa2c6803fff0",
         "1.5 stop bits instead of 1"},
    };
    for (const auto& c : cases) {
        ComPortControl control(SerialSettings{2400, 'O', 8, 1});
        control.greeting();
        std::vector<std::uint8_t> data;
        std::vector<std::uint8_t> reply;
        const auto server = bytes(c.server);
        control.receive(server.data(), server.size(), data, reply);
        EXPECT_EQ(control.state(), ComPortControl::State::Refused) << c.server;
        EXPECT_NE(control.refusal().find(c.why), std::string::npos) << control.refusal();
    }
}

} // namespace
} // namespace zelcor
