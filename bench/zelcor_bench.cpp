// SPDX-License-Identifier: GPL-3.0-or-later
// Speed and cost figures that tests must not assert, printed as one table against the least
// the serial line allows (or a goal). Run: build/bin/zelcor_bench, or name some of the parts
// to run only those: build/bin/zelcor_bench exchanges network waiting startup cli echo plot
// records history; the live reading's soak runs only when named: soak (10 minutes) or
// soak=MINUTES
//
// The exchanges run the real main window over the real QSerialPort against the simulated
// wrench behind a pseudo-terminal. The pseudo-terminal itself is instant; the wrench keeps
// the line's time: 1200 baud, 8N2, so 11 bits and 9.17 ms a byte in each direction, and it
// starts its reply 2 ms after the last request byte has arrived.
//
// The parts: the link's in LinkBench.cpp, the jobs' and windows' in JobsBench.cpp, the
// service records' in RecordsBench.cpp; what they share in Bench.h.
#include "Bench.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

using namespace zelcor::bench;

namespace {

double loadAverage() {
    double load = -1;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1) {
            load = -1;
        }
        std::fclose(f);
    }
    return load;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (argc > 1 && std::string(argv[1]) == kFirstShowOption) {
        return firstShow(argc, argv);
    }
    QApplication app(argc, argv);
    // Get hands out request codes from the settings, and records go to the data folder by
    // default: the bench's own, not the user's.
    const QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    const double loadBefore = loadAverage();
    const Line line;
    std::printf("zelcor_bench: simulated wrench on a pseudo-terminal, %d baud, 8N2 (11 bits, "
                "%.2f ms a byte), wrench latency %d ms; Qt platform %s\n",
                line.baudRate, line.byteMs(), line.turnaroundMs,
                qgetenv("QT_QPA_PLATFORM").constData());
    std::fflush(stdout);

    // Parts can be named on the command line to run only those; all of them by default.
    const QStringList parts = QCoreApplication::arguments().mid(1);
    Table table;
    // Other work on the machine shows in the figures: each part notes the load it started at.
    const auto part = [&](const char* name, const std::function<void()>& run) {
        if (parts.isEmpty() || parts.contains(QLatin1String(name))) {
            table.add({std::string("(") + name + format(": load average %.2f)", loadAverage()), "",
                       "", "", ""});
            run();
        }
    };
    part("exchanges", [&] { exchanges(table, line); });
    part("network", [&] { deviceServer(table, line); });
    part("waiting", [&] { waitingExchange(table); });
    part("startup", [&] { startup(table); });
    part("cli", [&] { cli(table, line); });
    part("echo", [&] { echoBox(table); });
    part("plot", [&] { torquePlot(table); });
    part("records", [&] { serviceRecords(table, line); });
    part("history", [&] { historyWindows(table); });
    // Long: only when named, as "soak" (10 minutes) or "soak=MINUTES".
    for (const QString& name : parts) {
        if (name == QLatin1String("soak") || name.startsWith(QLatin1String("soak="))) {
            const int minutes = name.contains(QLatin1Char('=')) ? name.section('=', 1).toInt() : 10;
            table.add({format("(soak: load average %.2f)", loadAverage()), "", "", "", ""});
            soak(table, line, std::max(minutes, 1));
        }
    }

    std::printf("\n");
    table.print();
    std::printf("\nLimits: read = 2 x %d ms + last request byte %.2f + latency %d + 5-byte reply "
                "%.2f = %.1f ms;\n        write = 3 x %d ms + max(%d, %.2f + %d + 3 x %.2f) = %.1f "
                "ms. Load average %.2f before, %.2f after (%ld cores).\n",
                kReadPauseMs, line.byteMs(), line.turnaroundMs, 5 * line.byteMs(), line.readMs(),
                kWritePauseMs, kWritePauseMs, line.byteMs(), line.turnaroundMs, line.byteMs(),
                line.writeMs(), loadBefore, loadAverage(), sysconf(_SC_NPROCESSORS_ONLN));
    return 0;
}
