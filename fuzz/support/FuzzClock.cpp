// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzClock.h"

#include "Check.h"

#include <algorithm>

namespace zelcor::fuzz {

namespace {

constexpr std::int64_t kDayMs = 24LL * 60 * 60 * 1000;

} // namespace

class FuzzClock::FuzzTimer final : public Timer {
public:
    FuzzTimer(FuzzClock& clock, std::function<void()> onTimeout)
        : m_clock(clock), m_onTimeout(std::move(onTimeout)) {
        m_clock.m_timers.push_back(this);
    }
    ~FuzzTimer() override { std::erase(m_clock.m_timers, this); }

    void start(int intervalMs, bool repeating) override {
        m_interval = std::max(intervalMs, 0);
        m_repeating = repeating;
        m_due = m_clock.m_now + m_interval;
        m_sequence = m_clock.m_nextSequence++;
        m_active = true;
    }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }

    bool before(const FuzzTimer& other) const {
        return m_due != other.m_due ? m_due < other.m_due : m_sequence < other.m_sequence;
    }
    std::int64_t due() const { return m_due; }

    void fire() {
        m_clock.m_now = std::max(m_clock.m_now, m_due);
        if (m_repeating) {
            // At least 1 ms on, so a repeating timer cannot freeze time.
            m_due = m_clock.m_now + std::max(m_interval, 1);
            m_sequence = m_clock.m_nextSequence++;
        } else {
            m_active = false;
        }
        auto handler = m_onTimeout; // the handler may destroy this timer
        handler();
    }

private:
    FuzzClock& m_clock;
    std::function<void()> m_onTimeout;
    std::int64_t m_due = 0;
    std::uint64_t m_sequence = 0;
    int m_interval = 0;
    bool m_repeating = false;
    bool m_active = false;
};

FuzzClock::FuzzClock() = default;

FuzzClock::~FuzzClock() {
    m_actions.clear();
}

std::unique_ptr<Timer> FuzzClock::createTimer(std::function<void()> onTimeout) {
    return std::make_unique<FuzzTimer>(*this, std::move(onTimeout));
}

FuzzClock::FuzzTimer* FuzzClock::nextTimer() const {
    FuzzTimer* next = nullptr;
    for (FuzzTimer* timer : m_timers) {
        if (timer->isActive() && (next == nullptr || timer->before(*next))) {
            next = timer;
        }
    }
    return next;
}

void FuzzClock::waitUntil(const std::function<bool()>& condition) {
    ++m_waitDepth;
    const std::int64_t start = m_now;
    while (!condition()) {
        FuzzTimer* next = nextTimer();
        FUZZ_CHECK(next != nullptr);               // nothing could ever end this wait
        FUZZ_CHECK(next->due() - start <= kDayMs); // nor would anything end it soon
        next->fire();
    }
    --m_waitDepth;
}

void FuzzClock::after(std::int64_t delayMs, std::function<void()> action) {
    auto timer = createTimer(std::move(action));
    timer->start(static_cast<int>(std::clamp<std::int64_t>(delayMs, 0, kDayMs)));
    m_actions.push_back(std::move(timer));
}

void FuzzClock::advance(std::int64_t ms) {
    const std::int64_t end = m_now + ms;
    for (FuzzTimer* next = nextTimer(); next != nullptr && next->due() <= end; next = nextTimer()) {
        next->fire();
    }
    m_now = std::max(m_now, end);
}

void FuzzClock::runUntilQuiet() {
    const std::int64_t start = m_now;
    for (FuzzTimer* next = nextTimer(); next != nullptr; next = nextTimer()) {
        FUZZ_CHECK(next->due() - start <= kDayMs);
        next->fire();
    }
}

} // namespace zelcor::fuzz
