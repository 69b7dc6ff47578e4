// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace zelcor::fuzz {

// A clock in which no real time passes, for the fuzz targets: a wait jumps from timer to
// timer, timers due together fire in the order they were started. A wait that no timer can
// ever end, or that outlasts a virtual day, is a hang of the code under test and fails the
// run.
class FuzzClock final : public Clock {
public:
    FuzzClock();
    ~FuzzClock() override;

    std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout) override;
    std::int64_t nowMs() const override { return m_now; }
    void processPendingEvents() override {}
    void waitUntil(const std::function<bool()>& condition) override;
    int waitDepth() const override { return m_waitDepth; }

    // Runs `action` once, `delayMs` from now, from inside whatever wait is running then.
    void after(std::int64_t delayMs, std::function<void()> action);

    // Lets `ms` pass outside any wait, firing every timer due meanwhile.
    void advance(std::int64_t ms);

    // Fires timers until none is running (a virtual day at most).
    void runUntilQuiet();

private:
    class FuzzTimer;
    FuzzTimer* nextTimer() const;

    std::int64_t m_now = 0;
    std::uint64_t m_nextSequence = 0;
    int m_waitDepth = 0;
    std::vector<FuzzTimer*> m_timers;
    std::vector<std::unique_ptr<Timer>> m_actions;
};

} // namespace zelcor::fuzz
