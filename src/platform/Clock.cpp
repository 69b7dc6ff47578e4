// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Clock.h"

namespace zelcor {

void Clock::delay(int periodMs) {
    if (periodMs < 1) {
        return;
    }
    bool done = false;
    auto timer = createTimer([&done] { done = true; });
    timer->start(periodMs);
    waitUntil([&done] { return done; });
}

} // namespace zelcor
