// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/VirtualClock.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <algorithm>

namespace zelcor::test {

class VirtualClock::VirtualTimer final : public Timer {
public:
    VirtualTimer(VirtualClock& clock, std::function<void()> onTimeout)
        : m_clock(clock), m_onTimeout(std::move(onTimeout)) {
        m_clock.m_timers.push_back(this);
    }
    ~VirtualTimer() override { std::erase(m_clock.m_timers, this); }

    void start(int intervalMs, bool repeating) override {
        // A repeating timer moves on by at least 1 ms, so it cannot freeze virtual time.
        m_interval = std::max(intervalMs, 0);
        m_repeating = repeating;
        m_due = m_clock.m_now + m_interval;
        m_sequence = m_clock.m_nextSequence++;
        m_active = true;
    }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }

    bool before(const VirtualTimer& other) const {
        return m_due != other.m_due ? m_due < other.m_due : m_sequence < other.m_sequence;
    }

    void fire() {
        m_clock.m_now = std::max(m_clock.m_now, m_due);
        if (m_repeating) {
            m_due = m_clock.m_now + std::max(m_interval, 1);
            m_sequence = m_clock.m_nextSequence++;
        } else {
            m_active = false;
        }
        // The handler may destroy this timer: call a copy.
        auto handler = m_onTimeout;
        handler();
    }

    std::int64_t due() const { return m_due; }

private:
    VirtualClock& m_clock;
    std::function<void()> m_onTimeout;
    std::int64_t m_due = 0;
    std::uint64_t m_sequence = 0;
    int m_interval = 0;
    bool m_repeating = false;
    bool m_active = false;
};

VirtualClock::VirtualClock() = default;

VirtualClock::~VirtualClock() {
    m_actions.clear();
}

std::unique_ptr<Timer> VirtualClock::createTimer(std::function<void()> onTimeout) {
    return std::make_unique<VirtualTimer>(*this, std::move(onTimeout));
}

void VirtualClock::processPendingEvents() {
    // Posted Qt events (deferred deletes, queued calls) run; no time passes.
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

VirtualClock::VirtualTimer* VirtualClock::nextTimer() const {
    VirtualTimer* next = nullptr;
    for (VirtualTimer* timer : m_timers) {
        if (timer->isActive() && (next == nullptr || timer->before(*next))) {
            next = timer;
        }
    }
    return next;
}

bool VirtualClock::fireNextTimer() {
    VirtualTimer* next = nextTimer();
    if (next == nullptr) {
        return false;
    }
    next->fire();
    return true;
}

int VirtualClock::activeTimerCount() const {
    return static_cast<int>(
        std::count_if(m_timers.begin(), m_timers.end(), [](auto* t) { return t->isActive(); }));
}

void VirtualClock::waitUntil(const std::function<bool()>& condition) {
    ++m_waitDepth;
    const std::int64_t start = m_now;
    while (!condition()) {
        processPendingEvents();
        if (condition()) {
            break;
        }
        if (m_now - start > m_waitLimitMs) {
            ADD_FAILURE() << "a wait started at " << start << " ms is still waiting at " << m_now
                          << " ms; abandoned";
            break;
        }
        if (!fireNextTimer()) {
            ADD_FAILURE() << "a wait started at " << start
                          << " ms can never end: no timer is running";
            break;
        }
    }
    --m_waitDepth;
}

void VirtualClock::at(std::int64_t atMs, std::function<void()> action) {
    auto timer = createTimer(std::move(action));
    timer->start(static_cast<int>(std::max<std::int64_t>(atMs - m_now, 0)));
    m_actions.push_back(std::move(timer));
}

void VirtualClock::advance(std::int64_t ms) {
    const std::int64_t end = m_now + ms;
    for (;;) {
        processPendingEvents();
        VirtualTimer* next = nextTimer();
        if (next == nullptr || next->due() > end) {
            break;
        }
        next->fire();
    }
    m_now = std::max(m_now, end);
}

} // namespace zelcor::test
