// SPDX-License-Identifier: GPL-3.0-or-later
// zelcor-sim: a simulated wrench on a pseudo-terminal, and its reference tester on a second one,
// for running Zelcor without a wrench.

#include "platform/StopSignals.h"
#include "sim/PtyBridge.h"
#include "sim/SimOptions.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>

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
    if (!zelcor::CatchStopSignals()) {
        std::perror("zelcor-sim: cannot handle signals");
        return 1;
    }
    QSocketNotifier signalNotifier(zelcor::StopSignalFd(), QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, [] {
        while (zelcor::TakeStopSignal() != 0) {
        }
        QCoreApplication::quit();
    });

    zelcor::sim::PtyBridge bridge(options.wrench);
    if (!bridge.start(options.linkPath, error)) {
        std::fprintf(stderr, "zelcor-sim: %s\n", error.c_str());
        return 1;
    }
    bridge.wrench().setFaults(options.faults);
    bridge.wrench().setPulls(options.pulls);
    if (options.tester && !bridge.startTester(options.testerLinkPath, error)) {
        std::fprintf(stderr, "zelcor-sim: cannot start the tester: %s\n", error.c_str());
        return 1;
    }

    std::printf("%s\n", bridge.devicePath().c_str());
    if (options.tester) {
        std::printf("%s\n", bridge.testerDevicePath().c_str());
    }
    std::fflush(stdout);
    std::fprintf(stderr, "zelcor-sim: %d baud, 8N2%s; stop with Ctrl+C\n", options.wrench.baudRate,
                 options.tester ? ", the tester at 9600 8N1" : "");

    const int code = QCoreApplication::exec();
    return code; // the bridge removes its link as it goes
}
