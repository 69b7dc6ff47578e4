// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Clock.h"

namespace zelcor {

void Clock::delay(int periodMs) {
    delay(periodMs, [] { return false; });
}

void Clock::delay(int periodMs, const std::function<bool()>& cutShort) {
    if (periodMs < 1) {
        return;
    }
    bool done = false;
    auto timer = createTimer([&done] { done = true; });
    timer->start(periodMs);
    waitUntil([&] { return done || cutShort(); });
}

} // namespace zelcor
