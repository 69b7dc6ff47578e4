// SPDX-License-Identifier: GPL-3.0-or-later
// zelcor-sim: a simulated wrench on a pseudo-terminal, for running Zelcor without a wrench.

#include "sim/PtyBridge.h"
#include "sim/SimOptions.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    // Nothing else is safe in a signal handler; the event loop picks the byte up.
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

bool installSignalHandlers() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) != 0) {
        return false;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 &&
           ::sigaction(SIGTERM, &action, nullptr) == 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    zelcor::sim::SimOptions options;
    std::string error;
    if (!zelcor::sim::parseSimOptions(args, options, error)) {
        std::fprintf(stderr, "zelcor-sim: %s\n\n%s", error.c_str(),
                     zelcor::sim::simUsage().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(zelcor::sim::simUsage().c_str(), stdout);
        return 0;
    }

    QCoreApplication app(argc, argv);
    if (!installSignalHandlers()) {
        std::perror("zelcor-sim: cannot handle signals");
        return 1;
    }
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, [] {
        char byte = 0;
        while (::read(g_signalPipe[0], &byte, 1) > 0) {
        }
        QCoreApplication::quit();
    });

    zelcor::sim::PtyBridge bridge(options.wrench);
    if (!bridge.start(options.linkPath, error)) {
        std::fprintf(stderr, "zelcor-sim: %s\n", error.c_str());
        return 1;
    }
    bridge.wrench().setFaults(options.faults);

    std::printf("%s\n", bridge.devicePath().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "zelcor-sim: %d baud, 8N2; stop with Ctrl+C\n", options.wrench.baudRate);

    const int code = QCoreApplication::exec();
    return code; // the bridge removes its link as it goes
}
