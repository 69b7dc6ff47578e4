// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/QtClock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#ifdef __linux__
#include <QSocketNotifier>

#include <algorithm>
#include <sys/timerfd.h>
#include <unistd.h>
#endif

namespace zelcor {

namespace {

class QtTimer final : public Timer {
public:
    explicit QtTimer(std::function<void()> onTimeout) {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [callback = std::move(onTimeout)] { callback(); });
    }
    void start(int intervalMs, bool repeating) override {
        m_timer.setSingleShot(!repeating);
        m_timer.start(intervalMs < 0 ? 0 : intervalMs);
    }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

#ifdef __linux__

// A timer on a timerfd: the kernel wakes the event loop at the moment it is due. Qt's own
// timers round what is left of a wait up to a whole millisecond each time the event loop
// goes back to sleep, so a pause that other events interrupt (a repaint, an arriving byte)
// ended up to 1 ms late, half a millisecond on average on every pause between request bytes.
class FdTimer final : public Timer {
public:
    FdTimer(int fd, std::function<void()> onTimeout)
        : m_fd(fd), m_onTimeout(std::move(onTimeout)), m_notifier(fd, QSocketNotifier::Read) {
        QObject::connect(&m_notifier, &QSocketNotifier::activated, [this] { onReadable(); });
    }
    ~FdTimer() override {
        if (m_destroyed != nullptr) {
            *m_destroyed = true;
        }
        m_notifier.setEnabled(false);
        ::close(m_fd);
    }

    void start(int intervalMs, bool repeating) override {
        // Arming anew also forgets an expiry that is still waiting to be read. A zero time
        // would disarm, so "at once" is one nanosecond.
        const long long ns = std::max(intervalMs, 0) * 1'000'000LL;
        const timespec period{static_cast<time_t>(ns / 1'000'000'000LL),
                              static_cast<long>(std::max(ns % 1'000'000'000LL, 1LL))};
        itimerspec arm{};
        arm.it_value = period;
        if (repeating) {
            arm.it_interval = period;
        }
        m_repeating = repeating;
        m_active = ::timerfd_settime(m_fd, 0, &arm, nullptr) == 0;
    }

    void stop() override {
        const itimerspec disarmed{};
        ::timerfd_settime(m_fd, 0, &disarmed, nullptr);
        m_active = false;
    }

    bool isActive() const override { return m_active; }

private:
    void onReadable() {
        std::uint64_t expiries = 0;
        if (::read(m_fd, &expiries, sizeof expiries) != sizeof expiries) {
            return; // stopped or started anew after it became readable: nothing is due
        }
        // As with a Qt timer, a repeating timer whose handler still waits (in a nested event
        // loop) does not fire into it; a single shot started anew by its handler does.
        if (m_repeating && m_firing) {
            return;
        }
        if (!m_repeating) {
            m_active = false;
        }
        bool destroyed = false; // the handler may destroy this timer
        bool* const outer = m_destroyed;
        const bool wasFiring = m_firing;
        m_destroyed = &destroyed;
        m_firing = true;
        const auto callback = m_onTimeout;
        callback();
        if (destroyed) {
            if (outer != nullptr) {
                *outer = true;
            }
            return;
        }
        m_destroyed = outer;
        m_firing = wasFiring;
    }

    int m_fd;
    std::function<void()> m_onTimeout;
    QSocketNotifier m_notifier;
    bool m_repeating = false;
    bool m_active = false;
    bool m_firing = false;
    bool* m_destroyed = nullptr;
};

#endif

} // namespace

QtClock::QtClock() {
    m_elapsed.start();
}

std::unique_ptr<Timer> QtClock::createTimer(std::function<void()> onTimeout) {
#ifdef __linux__
    const int fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd >= 0) {
        return std::make_unique<FdTimer>(fd, std::move(onTimeout));
    }
    // Out of descriptors: a Qt timer may be a little late, but it fires.
#endif
    return std::make_unique<QtTimer>(std::move(onTimeout));
}

std::int64_t QtClock::nowMs() const {
    return m_elapsed.elapsed();
}

void QtClock::processPendingEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtClock::waitUntil(const std::function<bool()>& condition) {
    ++m_waitDepth;
    while (!condition()) {
        // Sleeps in the event dispatcher until a timer, a serial notification or a window
        // event arrives; each of them may be what makes the condition true.
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    --m_waitDepth;
}

} // namespace zelcor
