#include "platform/QtClock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

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

} // namespace

QtClock::QtClock() {
    m_elapsed.start();
}

std::unique_ptr<Timer> QtClock::createTimer(std::function<void()> onTimeout) {
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
