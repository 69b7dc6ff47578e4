// SPDX-License-Identifier: GPL-3.0-or-later
// The product clock in real time. No assertion on durations: only that waits end, that they
// end because of their own timers, and in the right order.
#include "platform/QtClock.h"

#include <gtest/gtest.h>

#include <sys/timerfd.h>
#include <unistd.h>

namespace zelcor {
namespace {

TEST(QtClock, NestedDelaysEndAndAHandlerMayRestartOrDestroyItsOwnTimer) {
    QtClock clock;
    int fired = 0;
    std::unique_ptr<Timer> timer;
    timer = clock.createTimer([&] {
        if (++fired == 1) {
            clock.delay(60); // the outer delay's own timer fires meanwhile
            timer->start(1);
        } else {
            timer.reset();
        }
    });
    timer->start(5);
    clock.delay(20);
    clock.waitUntil([&] { return timer == nullptr; });
    EXPECT_EQ(fired, 2);
    EXPECT_EQ(clock.waitDepth(), 0);
}

TEST(QtClock, AnExpiryTheLoopHasNotServedYetIsForgottenOnStopAndRestart) {
    // The timer falls due before the loop could serve it; stopped or restarted then, that old
    // expiry must not come through (a restarted pause would end at once).
    QtClock clock;
    int fired = 0;
    auto timer = clock.createTimer([&] { ++fired; });
    // Returns once the kernel has served a timer of its own, due after the one above: that
    // one's expiry is then waiting, unserved. No sleep, and no event loop meanwhile.
    const auto expired = [] {
        const int fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC);
        itimerspec due{};
        due.it_value.tv_nsec = 1;
        ::timerfd_settime(fd, 0, &due, nullptr);
        std::uint64_t expiries = 0;
        EXPECT_EQ(::read(fd, &expiries, sizeof expiries), 8);
        ::close(fd);
    };
    timer->start(0);
    expired();
    timer->stop();
    clock.delay(30);
    EXPECT_EQ(fired, 0);

    timer->start(0);
    expired();
    timer->start(60'000);
    clock.delay(30);
    EXPECT_EQ(fired, 0);
    EXPECT_TRUE(timer->isActive());
}

} // namespace
} // namespace zelcor
