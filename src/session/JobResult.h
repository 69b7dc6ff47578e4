// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/CommandProtocol.h"

#include <string>

namespace zelcor {

// How a job ended.
enum class JobEnd {
    Done,
    Failed,  // an exchange failed (after its retry, where the job retries)
    Stopped, // a stop was asked for and honoured after the current exchange
    Refused, // nothing (more) was sent: the link was busy, or a check refused the input
};

struct JobResult {
    JobEnd end = JobEnd::Done;
    // How the failed exchange ended; also for a job stopped at a cell whose exchange failed.
    CommResult failure = CommResult::Success;
    // The cell it failed at, or stopped at: after that cell when its exchange went through.
    int address = -1;
    std::string message; // a refusal: the text of the box shown
    bool ok() const { return end == JobEnd::Done; }
};

} // namespace zelcor
