// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/QtClock.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace zelcor {
namespace {

// The product clock in real time. No assertion on durations: only that waits end, that
// they end because of their own timers, and in the right order.

TEST(QtClock, CooperativeWaitWakesOnATimer) {
    QtClock clock;
    bool fired = false;
    auto timer = clock.createTimer([&] { fired = true; });
    timer->start(20);
    clock.waitUntil([&] { return fired; });
    EXPECT_TRUE(fired);
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(clock.waitDepth(), 0);
}

TEST(QtClock, NestedDelaysBothEnd) {
    QtClock clock;
    bool innerDone = false;
    int depthInside = 0;
    auto trigger = clock.createTimer([&] {
        depthInside = clock.waitDepth();
        clock.delay(60);
        innerDone = true;
    });
    trigger->start(5);
    clock.delay(20); // its own timer fires while the inner delay still runs
    EXPECT_TRUE(innerDone);
    EXPECT_EQ(depthInside, 1);
}

TEST(QtClock, DelayBelowOneMillisecondReturnsAtOnce) {
    QtClock clock;
    bool ranEvents = false;
    auto probe = clock.createTimer([&] { ranEvents = true; });
    probe->start(0);
    clock.delay(0);
    // Returning at once means not even the zero-interval timer got its turn.
    EXPECT_FALSE(ranEvents);
}

TEST(QtClock, AnExpiryTheLoopHasNotServedYetIsForgottenOnStopAndRestart) {
    // The timer falls due while the thread is busy; stopping or restarting it before the
    // loop comes round must not let that old expiry through (a restarted pause would end
    // at once).
    QtClock clock;
    int fired = 0;
    auto timer = clock.createTimer([&] { ++fired; });
    timer->start(1);
    ::usleep(5000);
    timer->stop();
    EXPECT_FALSE(timer->isActive());
    clock.delay(30);
    EXPECT_EQ(fired, 0);

    timer->start(1);
    ::usleep(5000);
    timer->start(60'000);
    clock.delay(30);
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(timer->isActive());
}

TEST(QtClock, AHandlerMayRestartOrDestroyItsOwnTimer) {
    QtClock clock;
    int fired = 0;
    std::unique_ptr<Timer> timer;
    timer = clock.createTimer([&] {
        if (++fired == 1) {
            timer->start(1);
        } else {
            timer.reset();
        }
    });
    timer->start(1);
    clock.waitUntil([&] { return timer == nullptr; });
    EXPECT_EQ(fired, 2);
}

} // namespace
} // namespace zelcor
