// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"

#include <QElapsedTimer>

namespace zelcor {

// The product clock: precise QTimers and the Qt event loop. Waiting blocks in the event
// loop until the next event arrives, so an idle wait costs no CPU.
class QtClock final : public Clock {
public:
    QtClock();

    std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout) override;
    std::int64_t nowMs() const override;
    void processPendingEvents() override;
    void waitUntil(const std::function<bool()>& condition) override;
    int waitDepth() const override { return m_waitDepth; }

private:
    QElapsedTimer m_elapsed;
    int m_waitDepth = 0;
};

} // namespace zelcor
