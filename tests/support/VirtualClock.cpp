// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/VirtualClock.h"

#include <QCoreApplication>

#ifdef ZELCOR_VIRTUAL_CLOCK_IN_GTEST
#include <gtest/gtest.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>

namespace zelcor::test {

namespace {

// A wait that would never end. In a test it fails the test and the caller abandons the wait.
void reportHang(const std::string& what) {
#ifdef ZELCOR_VIRTUAL_CLOCK_IN_GTEST
    ADD_FAILURE() << what;
#else
    std::fprintf(stderr, "virtual clock: %s\n", what.c_str());
    std::abort();
#endif
}

} // namespace

struct VirtualClock::VirtualTimer final : public Timer {
    VirtualTimer(VirtualClock& c, std::function<void()> handler)
        : clock(c), onTimeout(std::move(handler)) {
        clock.m_timers.push_back(this);
    }
    ~VirtualTimer() override { std::erase(clock.m_timers, this); }

    void start(int intervalMs, bool repeat) override {
        interval = std::max(intervalMs, 0);
        repeating = repeat;
        active = true;
        schedule(clock.m_now + interval);
    }
    void stop() override { active = false; }
    bool isActive() const override { return active; }

    void schedule(std::int64_t at) {
        due = at;
        sequence = clock.m_nextSequence++;
    }
    void fire() {
        clock.m_now = std::max(clock.m_now, due);
        active = repeating;
        if (repeating) {
            // At least 1 ms on, so that a repeating timer cannot freeze virtual time.
            schedule(clock.m_now + std::max(interval, 1));
        }
        auto handler = onTimeout; // the handler may destroy this timer
        handler();
    }

    VirtualClock& clock;
    std::function<void()> onTimeout;
    std::int64_t due = 0;
    std::uint64_t sequence = 0;
    int interval = 0;
    bool repeating = false;
    bool active = false;
};

std::unique_ptr<Timer> VirtualClock::createTimer(std::function<void()> onTimeout) {
    return std::make_unique<VirtualTimer>(*this, std::move(onTimeout));
}

void VirtualClock::processPendingEvents() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

VirtualClock::VirtualTimer* VirtualClock::nextTimer() const {
    VirtualTimer* next = nullptr;
    for (VirtualTimer* t : m_timers) {
        if (t->active && (next == nullptr ||
                          std::tie(t->due, t->sequence) < std::tie(next->due, next->sequence))) {
            next = t;
        }
    }
    return next;
}

bool VirtualClock::fireUntil(std::int64_t end) {
    VirtualTimer* next = nextTimer();
    if (next == nullptr || next->due > end) {
        return false;
    }
    next->fire();
    return true;
}

bool VirtualClock::fireNextTimer() {
    return fireUntil(INT64_MAX);
}

int VirtualClock::activeTimerCount() const {
    return static_cast<int>(std::count_if(m_timers.begin(), m_timers.end(),
                                          [](const VirtualTimer* t) { return t->active; }));
}

void VirtualClock::waitUntil(const std::function<bool()>& condition) {
    ++m_waitDepth;
    const std::int64_t start = m_now;
    while (!condition()) {
        processPendingEvents();
        if (!condition() && !fireUntil(start + m_waitLimitMs)) {
            reportHang("a wait started at " + std::to_string(start) +
                       (nextTimer() == nullptr ? " ms can never end: no timer is running"
                                               : " ms would still be waiting after the limit"));
            break;
        }
    }
    --m_waitDepth;
}

void VirtualClock::at(std::int64_t atMs, std::function<void()> action) {
    m_actions.push_back(createTimer(std::move(action)));
    m_actions.back()->start(
        static_cast<int>(std::clamp<std::int64_t>(atMs - m_now, 0, m_waitLimitMs)));
}

void VirtualClock::advance(std::int64_t ms) {
    const std::int64_t end = m_now + ms;
    do {
        processPendingEvents();
    } while (fireUntil(end));
    m_now = std::max(m_now, end);
}

void VirtualClock::runUntilQuiet() {
    const std::int64_t start = m_now;
    while (fireUntil(start + m_waitLimitMs)) {
    }
    if (nextTimer() != nullptr) {
        reportHang("timers still run a whole wait limit after " + std::to_string(start) + " ms");
    }
}

} // namespace zelcor::test
