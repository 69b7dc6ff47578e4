// SPDX-License-Identifier: GPL-3.0-or-later
// zelcor-cli: one job on the wrench per run, for benches and production lines. Qt Core and
// Qt SerialPort, no windows: it runs where there is no display. Only the certificate starts Qt
// Gui (its fonts and PDF writer), on the offscreen platform.
#include "cli/CliOptions.h"
#include "cli/CliRunner.h"
#include "common/TextConv.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "platform/StopSignals.h"
#include "records/RecordWriter.h"
#include "records/Recorder.h"
#include "serial/ExchangeLog.h"
#include "serial/PortSettings.h"
#include "sim/PtyBridge.h"
#include "wrench/RequestCode.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <unistd.h>
#include <utility>

namespace {

using namespace zelcor;
using namespace zelcor::cli;

std::optional<std::string> ReadStandardInput(std::size_t limit) {
    std::string text;
    char buffer[4096];
    while (std::cin.read(buffer, sizeof buffer) || std::cin.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(std::cin.gcount()));
        if (text.size() > limit) {
            return std::nullopt;
        }
    }
    return text;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv, argv + argc);
    const CliOptions options = ParseCliOptions(arguments);
    if (!options.error.empty()) {
        std::cerr << "zelcor-cli: " << options.error << "\nTry 'zelcor-cli --help'." << std::endl;
        return kExitUsage;
    }
    if (options.help) {
        std::cout << CliHelpText();
        return kExitDone;
    }
    if (options.version) {
        std::cout << CliVersionText();
        return kExitDone;
    }
    // A signal reaches the job through the event loop, between two exchanges.
    CatchStopSignals();
    // A plain core application for the jobs: cheap to start, no platform to load.
    std::unique_ptr<QCoreApplication> app;
    if (options.command == "certificate") {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // The port's lock names the program that holds it.
    QCoreApplication::setApplicationName(QStringLiteral("zelcor-cli"));

    // Outlives the port, so the port never sees the simulated wrench vanish.
    std::unique_ptr<sim::PtyBridge> simulator;
    QtClock clock;
    QtSerialPort port;
    // verify's reference tester, on a line of its own.
    QtSerialPort testerPort;
    StreamMessageBoxes boxes(std::cerr);
    std::string device = PortNameFromText(options.port);
    if (options.simulator) {
        // The simulated wrench runs at the line's speed, as a real one would be set to.
        sim::WrenchOptions wrench;
        wrench.baudRate = options.baud;
        simulator = std::make_unique<sim::PtyBridge>(wrench);
        std::string error;
        if (!simulator->start({}, error)) {
            std::cerr << "zelcor-cli: cannot start the simulated wrench: " << error << std::endl;
            return kExitPortFailure;
        }
        // The wrench pulls after each clearing of its maximum, and the tester sends the peaks:
        // for verify, to the targets of the run asked for, with its digits.
        sim::PullOptions pulls;
        if (options.command == "verify") {
            for (const PullStep& step : ProcedureSteps(options.verification)) {
                pulls.targets.push_back(step.target);
            }
            pulls.digits = options.verification.digits;
        }
        simulator->wrench().setPulls(pulls);
        if (!simulator->startTester({}, error)) {
            std::cerr << "zelcor-cli: cannot start the simulated tester: " << error << std::endl;
            return kExitPortFailure;
        }
        device = simulator->devicePath();
        port.alsoList({device, "Simulated wrench", "Zelcor", {}, {}});
        port.alsoList(
            {simulator->testerDevicePath(), "Simulated reference tester", "Zelcor", {}, {}});
    }
    CliContext context{
        clock,
        port,
        boxes,
        NextRequestCode,
        std::cout,
        std::cerr,
        ::isatty(STDERR_FILENO) == 1,
        ReadStandardInput,
        [] { return QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString(); }};
    if (simulator) {
        context.simulatedTesterPort = simulator->testerDevicePath();
    }
    context.testerPort = &testerPort;
    // Standard input's lines for verify, read as they come: the event loop never blocks on it.
    std::unique_ptr<QSocketNotifier> inputNotifier;
    std::function<void(std::optional<std::string>)> onInput;
    std::string pendingInput;
    context.watchInput = [&](std::function<void(std::optional<std::string>)> handler) {
        onInput = std::move(handler);
        if (!onInput) {
            inputNotifier.reset();
            return;
        }
        inputNotifier = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(inputNotifier.get(), &QSocketNotifier::activated, [&] {
            char buffer[4096];
            const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (count < 0 && (errno == EINTR || errno == EAGAIN)) {
                return;
            }
            if (count <= 0) {
                inputNotifier->setEnabled(false);
                if (!pendingInput.empty()) {
                    onInput(std::exchange(pendingInput, {}));
                }
                onInput(std::nullopt);
                return;
            }
            for (ssize_t i = 0; i < count; ++i) {
                if (buffer[i] != '\n') {
                    // A line is a reading: what runs on past any reading's length is cut off.
                    if (pendingInput.size() < 200) {
                        pendingInput.push_back(buffer[i]);
                    }
                    continue;
                }
                std::string line = std::exchange(pendingInput, {});
                if (!line.empty() && line.back() == '\r') {
                    line.pop_back();
                }
                onInput(std::move(line));
            }
        });
    };
    CliRunner runner(options, context);
    // Every job on the wrench leaves a service record. The database is written on a thread of
    // its own; a record it cannot take waits in the spool, and the job's result stays as it is.
    std::unique_ptr<records::RecordWriter> recordWriter;
    std::unique_ptr<records::Recorder> recorder;
    if (options.recordsTarget.kind != records::RecordsTarget::Kind::Off &&
        options.command != "ports") {
        records::RecordWriter::Options writing;
        writing.onFailure = [](const std::string& message) {
            std::fprintf(stderr, "zelcor-cli: %s\n", message.c_str());
        };
        recordWriter = std::make_unique<records::RecordWriter>(options.recordsTarget, writing);
        recorder = std::make_unique<records::Recorder>(
            "zelcor-cli", CliVersionNumber(),
            [&recordWriter](ServiceRecord record) { recordWriter->submit(std::move(record)); });
        QObject::connect(&runner.session(), &WrenchSession::jobRecorded, recorder.get(),
                         &records::Recorder::record);
    }
    std::unique_ptr<ExchangeLog> log;
    if (!options.log.empty()) {
        log = std::make_unique<ExchangeLog>(clock, options.log, options.logAppend);
        // A log that cannot even be begun is bad usage: nothing has gone on the wire yet.
        std::string failure;
        log->setFailureHandler([&failure](const std::string& reason) { failure = reason; });
        if (!failure.empty()) {
            std::cerr << "zelcor-cli: the log " << QuotedInput(options.log)
                      << " cannot be written: " << failure << std::endl;
            return kExitUsage;
        }
        runner.session().setExchangeLog(log.get());
    }
    QSocketNotifier signalNotifier(StopSignalFd(), QSocketNotifier::Read);
    signalNotifier.setEnabled(StopSignalFd() >= 0);
    int caught = 0;
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, [&runner, &caught] {
        if (const int signal = TakeStopSignal(); signal != 0) {
            caught = signal;
            runner.interrupt(caught);
        }
    });
    if (recordWriter) {
        // What an earlier run left waiting in the spool is part of the history: the database
        // gets it first, when history could open it (the writer tries from its start on, at
        // the same time).
        context.settleSpool = [&recordWriter] { recordWriter->flush(records::kRecordsEndWait); };
    }
    int code = runner.run(device);
    std::cout.flush();
    if (!recordWriter) {
        return code;
    }
    // What the database has not taken by the end of the wait, or when a signal comes during
    // it, waits in the spool for the next run. A signal that came when the job had ended
    // already ends the wait as well (one that stopped the job does not: a second one does).
    if (caught != 0 && code < kExitSignalBase) {
        RepeatStopSignal(caught);
    }
    const auto end = recordWriter->finish(records::kRecordsEndWait, StopSignalFd());
    if (const int signal = end == records::RecordWriter::End::Interrupted ? TakeStopSignal() : 0;
        signal != 0) {
        code = kExitSignalBase + signal;
    }
    if (code == kExitDone && recordWriter->lost() > 0) {
        code = kExitRecordLost;
    }
    if (end != records::RecordWriter::End::Done) {
        // The writer's thread may still wait for the server: nothing may wait for it now.
        std::cout.flush();
        std::cerr.flush();
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}
