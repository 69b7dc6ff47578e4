// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/VirtualClock.h"
#include "support/ScriptedMessageBoxes.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace zelcor::test {
namespace {

TEST(VirtualClock, LongWaitCostsNoRealTime) {
    VirtualClock clock;
    const auto realStart = std::chrono::steady_clock::now();
    clock.delay(3000);
    const auto realElapsed = std::chrono::steady_clock::now() - realStart;
    EXPECT_EQ(clock.nowMs(), 3000);
    // Only guards that nothing slept: a real wait would take the whole 3 s.
    EXPECT_LT(realElapsed, std::chrono::milliseconds(3000));
}

TEST(VirtualClock, TimersFireInDueOrderAndTiesInStartOrder) {
    VirtualClock clock;
    std::vector<std::string> fired;
    auto late =
        clock.createTimer([&] { fired.push_back("late@" + std::to_string(clock.nowMs())); });
    auto first = clock.createTimer([&] { fired.push_back("a@" + std::to_string(clock.nowMs())); });
    auto second = clock.createTimer([&] { fired.push_back("b@" + std::to_string(clock.nowMs())); });
    auto stopped = clock.createTimer([&] { fired.push_back("stopped"); });
    late->start(50);
    first->start(20);
    second->start(20);
    stopped->start(10);
    stopped->stop();
    clock.advance(100);
    EXPECT_EQ(fired, (std::vector<std::string>{"a@20", "b@20", "late@50"}));
    EXPECT_EQ(clock.nowMs(), 100);
    EXPECT_FALSE(first->isActive());
}

TEST(VirtualClock, RepeatingTimerFiresUntilStopped) {
    VirtualClock clock;
    std::vector<std::int64_t> at;
    std::unique_ptr<Timer> timer;
    timer = clock.createTimer([&] {
        at.push_back(clock.nowMs());
        if (at.size() == 3) {
            timer->stop();
        }
    });
    timer->start(300, true);
    clock.advance(2000);
    EXPECT_EQ(at, (std::vector<std::int64_t>{300, 600, 900}));
}

TEST(VirtualClock, CooperativeWaitWakesOnATimerAndRunsEventsMeanwhile) {
    VirtualClock clock;
    bool flag = false;
    int clicksHandled = 0;
    clock.at(40, [&] { ++clicksHandled; }); // something the user does during the wait
    auto timer = clock.createTimer([&] { flag = true; });
    timer->start(100);
    clock.waitUntil([&] { return flag; });
    EXPECT_EQ(clock.nowMs(), 100);
    EXPECT_EQ(clicksHandled, 1);
    EXPECT_EQ(clock.waitDepth(), 0);
}

TEST(VirtualClock, NestedDelaysEachEndAfterAtLeastTheirOwnPeriod) {
    // An inner delay started from an event inside an outer one, longer and shorter than
    // what is left of the outer one: neither may end early, and neither may hang.
    for (const int innerPeriod : {200, 10}) {
        VirtualClock clock;
        std::int64_t innerStart = -1;
        std::int64_t innerEnd = -1;
        int depthInside = 0;
        clock.at(50, [&] {
            innerStart = clock.nowMs();
            depthInside = clock.waitDepth();
            clock.delay(innerPeriod);
            innerEnd = clock.nowMs();
        });
        clock.delay(100);
        const std::int64_t outerEnd = clock.nowMs();
        EXPECT_EQ(depthInside, 1);
        EXPECT_GE(innerEnd - innerStart, innerPeriod) << "inner " << innerPeriod;
        EXPECT_GE(outerEnd, 100) << "inner " << innerPeriod;
        EXPECT_GE(outerEnd, innerEnd) << "inner " << innerPeriod;
        EXPECT_EQ(clock.activeTimerCount(), 0);
    }
}

TEST(VirtualClock, DelayBelowOneMillisecondReturnsAtOnce) {
    VirtualClock clock;
    clock.delay(0);
    clock.delay(-20);
    EXPECT_EQ(clock.nowMs(), 0);
    EXPECT_EQ(clock.activeTimerCount(), 0);
}

TEST(VirtualClock, AWaitThatCanNeverEndFailsInsteadOfHanging) {
    VirtualClock clock;
    EXPECT_NONFATAL_FAILURE(clock.waitUntil([] { return false; }), "can never end");

    auto ticker = clock.createTimer([] {});
    ticker->start(1000, true);
    clock.setWaitLimitMs(10'000);
    EXPECT_NONFATAL_FAILURE(clock.waitUntil([] { return false; }), "still waiting");
}

TEST(ScriptedMessageBoxes, RecordsEveryBoxAndFailsOnOneNobodyExpected) {
    ScriptedMessageBoxes boxes;
    boxes.answer(BoxAnswer::Yes);
    EXPECT_EQ(boxes.show("Sure?", "Question", BoxIcon::Exclamation, BoxButtons::YesNo),
              BoxAnswer::Yes);
    EXPECT_NONFATAL_FAILURE(EXPECT_EQ(boxes.show("Data Receving is time-out", "Communication Error",
                                                 BoxIcon::Critical, BoxButtons::Ok),
                                      BoxAnswer::Ok),
                            "unexpected message box \"Communication Error\"");
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[1].text, "Data Receving is time-out");
    EXPECT_EQ(boxes.shown()[1].icon, BoxIcon::Critical);

    boxes.answer(BoxAnswer::Yes);
    EXPECT_NONFATAL_FAILURE(
        boxes.show("Stop", "Communication exit", BoxIcon::Critical, BoxButtons::Ok),
        "does not fit");
}

} // namespace
} // namespace zelcor::test
