// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace zelcor {
class Clock;
class Timer;
} // namespace zelcor

namespace zelcor::sim {

// Actions due at moments on a line, in order, on one timer of a zelcor::Clock.
//
// Moments are counted in ticks of 1/ticksPerMs ms (the line's baud rate: a byte of N bits is
// then exactly N * 1000 ticks at any speed, and no rounding piles up over a frame). An action
// runs on the first whole millisecond at or after its moment; actions due at the same moment
// run in the order they were scheduled.
class EventQueue {
public:
    EventQueue(Clock& clock, int ticksPerMs);
    ~EventQueue();
    EventQueue(const EventQueue&) = delete;
    EventQueue& operator=(const EventQueue&) = delete;

    std::int64_t nowTicks() const;
    std::int64_t ticks(std::int64_t ms) const { return ms * m_ticksPerMs; }
    // The whole millisecond at which a moment is seen: the first at or after it.
    std::int64_t msAt(std::int64_t ticks) const;

    void schedule(std::int64_t at, std::function<void()> action);

private:
    struct Event;
    void armTimer();
    void runDueEvents();

    Clock& m_clock;
    std::int64_t m_ticksPerMs;
    std::unique_ptr<Timer> m_timer;
    std::vector<Event> m_events;
    std::uint64_t m_nextSequence = 0;
};

} // namespace zelcor::sim
