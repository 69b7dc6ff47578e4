// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/LinkFixture.h"

namespace zelcor::test {
namespace {

TEST(Port, APortLostDuringAnExchangeIsToldOnceAndTheExchangeRunsIntoItsTimeOut) {
    LinkFixture f;
    std::vector<std::string> told;
    f.link.setPortLostHandler([&](const std::string& why) { told.push_back(why); });
    f.clock.at(30, [&f] {
        f.port.close(); // what the port does itself when its device goes away
        f.port.fail("Input/output error");
    });
    EXPECT_EQ(f.link.read(0x00, 0x05).result, CommResult::TimeOut);
    EXPECT_EQ(f.clock.nowMs(), 3000);
    EXPECT_EQ(f.wire(), "C8@0 00@20"); // the third byte found the port gone
    EXPECT_EQ(told, std::vector<std::string>{"Input/output error"});
    EXPECT_FALSE(f.link.isOpen());
    EXPECT_EQ(f.shown(), "");
}

} // namespace
} // namespace zelcor::test
