// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace zelcor {

// A window timer: once started it fires on the user-interface thread after its interval,
// again and again while it is repeating, until it is stopped or destroyed.
class Timer {
public:
    virtual ~Timer() = default;
    // (Re)starts the timer with the given interval; an interval below 1 ms fires as soon as
    // the event loop next runs.
    virtual void start(int intervalMs, bool repeating = false) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

// Time and cooperative waiting. Everything in Zelcor runs on one thread: a procedure that
// waits keeps handling window, serial and timer events until its condition holds.
class Clock {
public:
    virtual ~Clock() = default;

    virtual std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout) = 0;

    // Milliseconds since an arbitrary start, monotonic.
    virtual std::int64_t nowMs() const = 0;

    // Handles whatever events are pending and returns without blocking.
    virtual void processPendingEvents() = 0;

    // Handles events until `condition` holds. Sleeps between events; never spins.
    virtual void waitUntil(const std::function<bool()>& condition) = 0;

    // How many waitUntil calls are active right now (they nest when a handler that runs
    // inside one wait starts another).
    virtual int waitDepth() const = 0;

    // Waits at least `periodMs`, keeping the windows alive. Every call has its own timer and
    // flag, so a delay started inside another one cannot leave the outer one waiting for
    // ever. A period below 1 ms returns at once.
    void delay(int periodMs);
    // The same, but it also ends as soon as `cutShort` holds (looked at on every event).
    void delay(int periodMs, const std::function<bool()>& cutShort);
};

} // namespace zelcor
