// SPDX-License-Identifier: GPL-3.0-or-later
// The doubles every other test stands on: a fault here would make those tests lie.
#include "support/VirtualClock.h"
#include "support/ScriptedMessageBoxes.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <string>

namespace zelcor::test {
namespace {

TEST(VirtualClock, TimersFireInDueOrderTiesInStartOrderUntilStopped) {
    VirtualClock clock;
    std::string fired;
    std::vector<std::unique_ptr<Timer>> timers;
    for (const std::string name : {"late", "a", "b", "stopped", "repeating"}) {
        timers.push_back(clock.createTimer([&, name] {
            fired += name + "@" + std::to_string(clock.nowMs()) + ' ';
            if (clock.nowMs() == 90) {
                timers[4]->stop();
            }
        }));
    }
    timers[0]->start(50);
    timers[1]->start(20);
    timers[2]->start(20);
    timers[3]->start(10);
    timers[3]->stop();
    timers[4]->start(30, true);
    clock.advance(1000);
    EXPECT_EQ(fired, "a@20 b@20 repeating@30 late@50 repeating@60 repeating@90 ");
    EXPECT_EQ(clock.nowMs(), 1000);
}

TEST(VirtualClock, NestedDelaysEachLastTheirOwnPeriod) {
    // An inner delay started from an event inside an outer one, ending after and before the
    // outer one would: neither may end early, and neither may hang.
    for (const auto& [inner, innerEnd, outerEnd] : {std::tuple{200, 250, 250}, {10, 60, 100}}) {
        VirtualClock clock;
        std::int64_t ended = -1;
        clock.at(50, [&, period = inner] {
            clock.delay(period);
            ended = clock.nowMs();
        });
        clock.delay(100);
        clock.delay(0);
        EXPECT_EQ(ended, innerEnd);
        EXPECT_EQ(clock.nowMs(), outerEnd);
        EXPECT_EQ(clock.activeTimerCount(), 0);
    }
}

TEST(VirtualClock, AWaitThatCanNeverEndFailsTheTestInsteadOfHanging) {
    VirtualClock clock;
    EXPECT_NONFATAL_FAILURE(clock.waitUntil([] { return false; }), "can never end");
    auto ticker = clock.createTimer([] {});
    ticker->start(1000, true);
    clock.setWaitLimitMs(10'000);
    EXPECT_NONFATAL_FAILURE(clock.waitUntil([] { return false; }), "still be waiting");
    EXPECT_EQ(clock.nowMs(), 10'000);
    EXPECT_EQ(clock.waitDepth(), 0);
}

} // namespace
} // namespace zelcor::test
