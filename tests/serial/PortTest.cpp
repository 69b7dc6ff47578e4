// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/LinkFixture.h"

namespace zelcor::test {
namespace {

TEST(Port, APortLostEndsItsExchangeAtOnceAndEveryLaterOneUntilItIsOpenedAgain) {
    struct Case {
        const char* when;
        bool write;
        std::int64_t lostAt;
        const char* wire; // what went out before the port was gone
    };
    for (const Case& c :
         {Case{"in a pause of the request", false, 30, "C8@0 00@20"},
          Case{"waiting for the reply", false, 100, "C8@0 00@20 05@40"},
          Case{"in the write's last pause", true, 170, "E8@0 00@50 05@100 33@150"}}) {
        SCOPED_TRACE(c.when);
        LinkFixture f;
        std::vector<std::string> told;
        f.link.setPortLostHandler([&](const std::string& why) { told.push_back(why); });
        f.clock.at(c.lostAt, [&f] {
            f.port.close(); // what the port does itself when its device goes away
            f.port.fail("Input/output error");
        });
        const CommResult result =
            c.write ? f.link.write(0x00, 0x05, 0x33) : f.link.read(0x00, 0x05).result;
        EXPECT_EQ(result, CommResult::TimeOut);
        EXPECT_EQ(f.clock.nowMs(), c.lostAt);
        EXPECT_EQ(f.wire(), c.wire);
        EXPECT_EQ(told, std::vector<std::string>{"Input/output error"});
        EXPECT_FALSE(f.link.isOpen());

        // Nothing goes out and no time passes until the port is open again.
        EXPECT_EQ(f.link.read(0x00, 0x05).result, CommResult::TimeOut);
        EXPECT_EQ(f.link.write(0x00, 0x05, 0x33), CommResult::TimeOut);
        EXPECT_EQ(f.clock.nowMs(), c.lostAt);
        EXPECT_EQ(f.wire(), c.wire);
        EXPECT_EQ(f.shown(), "");
        std::string error;
        ASSERT_TRUE(f.link.open("/dev/ttyS0", SerialSettings{}, error));
        f.replyAt(c.lostAt + 70, bytes("00 05 AA 42 42"));
        EXPECT_EQ(f.link.read(0x00, 0x05).data[0], 0x42);
    }
}

} // namespace
} // namespace zelcor::test
