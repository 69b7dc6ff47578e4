// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CommandLine.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "script/ScriptParser.h"

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

namespace zelcor {

class ExchangeLog;
class frmRs232SetCmd;
class WrenchSession;
class MessageBoxes;
class ScriptReader;
class ScriptRunner;
namespace records {
class Recorder;
class RecordWriter;
} // namespace records
namespace sim {
class PtyBridge;
}

// A script's lines: a file's, read and understood already, or those of input that ends only
// when its writer closes it, read from `fd` as they arrive.
struct ScriptInput {
    std::vector<ScriptLine> lines;
    int fd = -1;
    bool ownsFd = false; // closed with the program's reader
};

// The program as the user runs it: the real clock, port and boxes behind the windows. With
// --script the script's lines play against the windows and answer the boxes.
class Application {
public:
    explicit Application(const Options& options, ScriptInput script = {});
    ~Application();

    frmRs232SetCmd& mainWindow() { return *m_main; }
    QtClock& clock() { return m_clock; }

    // Shows the main window and runs until the program ends; returns the exit code (a
    // script's result, or 2 when it cannot be understood or its names do not fit the windows).
    int run();

private:
    void endProgram();
    void startRecords(const records::RecordsTarget& target);
    // The records' failure, shown once the link is free: a box during a job would hold the
    // job up.
    void showRecordsFailure(const QString& message);
    // At the program's end: the records of the jobs that have ended are written, or put into
    // the spool, within records::kRecordsEndWait. When the database has not answered by then
    // the program ends at once with `exitCode` (std::_Exit).
    void finishRecords(int exitCode);

    // Outlives the port and the windows, so they never see the simulated wrench vanish.
    std::unique_ptr<sim::PtyBridge> m_simulator;
    // Outlive the windows, whose session tells them each record.
    std::unique_ptr<records::RecordWriter> m_recordWriter;
    std::unique_ptr<records::Recorder> m_recorder;
    std::atomic<bool> m_recordsEnding{false}; // the writer's messages go to standard error
    QtClock m_clock;
    QtSerialPort m_port;
    // The reference tester's own line, for a verification run.
    QtSerialPort m_testerPort;
    std::unique_ptr<MessageBoxes> m_boxes;
    // Outlives the windows, whose link writes to it.
    std::unique_ptr<ExchangeLog> m_log;
    // The wrench session every window shows; it outlives them.
    std::unique_ptr<WrenchSession> m_session;
    std::unique_ptr<frmRs232SetCmd> m_main;
    std::unique_ptr<ScriptRunner> m_script;
    std::unique_ptr<ScriptReader> m_reader;
    std::vector<ScriptLine> m_scriptLines;
    QString m_scriptName;
    std::optional<ScriptError> m_scriptError; // what ended a script read as it arrived
    bool m_ended = false;
    int m_exitCode = 0;
    int m_stopSignal = 0; // the SIGINT or SIGTERM that ended the program, 0 when none
    // A program ended by a signal exits with 128 and its number, as the shell reports it.
    static constexpr int kExitSignalBase = 128;
};

// The program's entry: reads the command line, loads the main window and runs.
int Main(int argc, char** argv);

} // namespace zelcor
