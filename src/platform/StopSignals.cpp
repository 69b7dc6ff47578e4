// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/StopSignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

namespace zelcor {
namespace {

int gPair[2] = {-1, -1};

void OnSignal(int signal) {
    // Nothing else is safe in a signal handler.
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(gPair[1], &byte, 1);
}

} // namespace

bool CatchStopSignals() {
    if (gPair[0] >= 0) {
        return true;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, gPair) != 0) {
        gPair[0] = gPair[1] = -1;
        return false;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 &&
           ::sigaction(SIGTERM, &action, nullptr) == 0;
}

int StopSignalFd() {
    return gPair[0];
}

int TakeStopSignal() {
    char byte = 0;
    return gPair[0] >= 0 && ::read(gPair[0], &byte, 1) == 1 ? static_cast<unsigned char>(byte) : 0;
}

void RepeatStopSignal(int signal) {
    if (gPair[1] >= 0) {
        OnSignal(signal);
    }
}

} // namespace zelcor
