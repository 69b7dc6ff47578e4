// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/EventQueue.h"

#include "platform/Clock.h"

#include <algorithm>
#include <limits>

namespace zelcor::sim {

struct EventQueue::Event {
    std::int64_t at;
    std::uint64_t sequence;
    std::function<void()> action;
};

EventQueue::EventQueue(Clock& clock, int ticksPerMs)
    : m_clock(clock), m_ticksPerMs(std::max(ticksPerMs, 1)) {
    m_timer = m_clock.createTimer([this] { runDueEvents(); });
}

EventQueue::~EventQueue() = default;

std::int64_t EventQueue::nowTicks() const {
    return m_clock.nowMs() * m_ticksPerMs;
}

std::int64_t EventQueue::msAt(std::int64_t ticks) const {
    return (ticks + m_ticksPerMs - 1) / m_ticksPerMs;
}

void EventQueue::schedule(std::int64_t at, std::function<void()> action) {
    m_events.push_back({at, m_nextSequence++, std::move(action)});
    armTimer();
}

void EventQueue::armTimer() {
    if (m_events.empty()) {
        m_timer->stop();
        return;
    }
    const auto next = std::min_element(m_events.begin(), m_events.end(), [](auto& a, auto& b) {
        return a.at != b.at ? a.at < b.at : a.sequence < b.sequence;
    });
    // A wait beyond what a timer holds just wakes up early and sleeps again.
    const std::int64_t wait = std::clamp<std::int64_t>(msAt(next->at) - m_clock.nowMs(), 0,
                                                       std::numeric_limits<int>::max());
    m_timer->start(static_cast<int>(wait));
}

// Runs every due event in order. An action may wait (a host handler that runs a nested event
// loop), and this timer can then fire again inside it; taking each event out before running
// it keeps that safe and in order.
void EventQueue::runDueEvents() {
    for (;;) {
        const std::int64_t now = nowTicks();
        auto next = m_events.end();
        for (auto it = m_events.begin(); it != m_events.end(); ++it) {
            if (it->at <= now && (next == m_events.end() || it->at < next->at ||
                                  (it->at == next->at && it->sequence < next->sequence))) {
                next = it;
            }
        }
        if (next == m_events.end()) {
            break;
        }
        auto action = std::move(next->action);
        m_events.erase(next);
        action();
    }
    armTimer();
}

} // namespace zelcor::sim
