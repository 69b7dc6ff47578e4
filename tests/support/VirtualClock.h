// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace zelcor::test {

// A clock in which no real time passes, for the tests and the fuzz targets alike. A wait
// jumps straight to the next due timer and fires it, so a 3000 ms time-out costs nothing and
// every timing is exact and repeatable. Timers due at the same moment fire in the order they
// were started.
//
// A wait that no timer can ever end, or that outlasts the wait limit, is a hang of the code
// under test: in the test suites it fails the running test and the wait is abandoned;
// anywhere else (the fuzz targets) the program aborts, which the fuzzer reports as a crash.
class VirtualClock final : public Clock {
public:
    std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout) override;
    std::int64_t nowMs() const override { return m_now; }
    // Posted Qt events (deferred deletes, queued calls) run; no time passes.
    void processPendingEvents() override;
    void waitUntil(const std::function<bool()>& condition) override;
    int waitDepth() const override { return m_waitDepth; }

    // Runs `action` once when virtual time reaches `atMs` (from inside whatever wait is
    // running then, as a user's click or an arriving byte would).
    void at(std::int64_t atMs, std::function<void()> action);
    void after(std::int64_t delayMs, std::function<void()> action) {
        at(m_now + delayMs, std::move(action));
    }

    // Lets `ms` of virtual time pass outside any wait, firing every timer due meanwhile.
    void advance(std::int64_t ms);
    // Fires timers until none is running, within the wait limit.
    void runUntilQuiet();
    // Fires the earliest due timer, moving time forward to it. False when none is active.
    bool fireNextTimer();
    int activeTimerCount() const;

    // How much virtual time a wait may pass before it counts as a hang (a day by default).
    void setWaitLimitMs(std::int64_t ms) { m_waitLimitMs = ms; }

private:
    struct VirtualTimer;
    VirtualTimer* nextTimer() const;
    // Fires the next timer if one is due by `end`.
    bool fireUntil(std::int64_t end);

    std::int64_t m_now = 0;
    std::uint64_t m_nextSequence = 0;
    int m_waitDepth = 0;
    std::int64_t m_waitLimitMs = 24LL * 60 * 60 * 1000;
    std::vector<VirtualTimer*> m_timers;
    std::vector<std::unique_ptr<Timer>> m_actions;
};

} // namespace zelcor::test
