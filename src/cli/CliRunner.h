// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliOptions.h"
#include "platform/MessageBoxes.h"
#include "platform/SerialPort.h"
#include "session/WrenchSession.h"
#include "wrench/BackupFile.h"

#include <QJsonObject>

#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace zelcor {
class Clock;
}

namespace zelcor::cli {

// The system's boxes as lines on standard error: "zelcor-cli: Title: text", each answered
// with its first button, or No where No is the box's default.
class StreamMessageBoxes final : public MessageBoxes {
public:
    explicit StreamMessageBoxes(std::ostream& err) : m_err(err) {}
    BoxAnswer show(const QString& text, const QString& title, BoxIcon icon,
                   BoxButtons buttons) override;

private:
    std::ostream& m_err;
};

// What a run of zelcor-cli works with; the program gives it the real parts, a test doubles.
struct CliContext {
    Clock& clock;
    SerialPort& port;
    MessageBoxes& boxes;
    std::function<std::string()> nextRequestCode;
    std::ostream& out;
    std::ostream& err;
    // Progress ("cell n of m") on `err`: only when it is a terminal.
    bool progress = false;
    // The text of write-params when it is "-", at most `limit` bytes; none when longer.
    std::function<std::optional<std::string>(std::size_t limit)> readStandardInput;
    // Now as UTC, ISO 8601, for a backup's time and due's today.
    std::function<std::string()> utcNow;
    // history, once its database is open: the records waiting in the spool for it are
    // handed to it first (a wait with a time limit).
    std::function<void()> settleSpool = {};
    // With --simulator: the device of the simulated reference tester, the tester's port when
    // none is named; empty otherwise.
    std::string simulatedTesterPort = {};
    // verify: the port object for the reference tester (it must outlive the runner); and the
    // lines of standard input as they come, without blocking, each handed to `line` (none at
    // its end); an empty function stops the watch.
    SerialPort* testerPort = nullptr;
    std::function<void(std::function<void(std::optional<std::string> line)>)> watchInput = {};
};

// One subcommand of zelcor-cli on the wrench session: opens the port, runs the job, prints
// what it read and returns the exit code.
class CliRunner {
public:
    CliRunner(const CliOptions& options, CliContext& context);
    ~CliRunner();

    WrenchSession& session() { return *m_session; }
    // Opens `device` (the named port, or the simulated wrench's terminal) and runs the job.
    int run(const std::string& device);
    // A signal asked the run to stop: the job stops after its current exchange, and the exit
    // code says so.
    void interrupt(int signal);

private:
    friend const SubcommandWords* WordsOfSubcommand(std::string_view command);
    // One subcommand: its name, the words it takes, the check of them (and the reading of its
    // file or text) before the port is opened, none where there is nothing more to check,
    // and its job; whether it works on the wrench at all, and whether its own reads take in
    // the wrench code.
    struct Subcommand {
        const char* name;
        SubcommandWords words;
        int (CliRunner::*check)();
        int (CliRunner::*job)();
        bool opensPort;
        bool readsWrenchCode;
    };
    static std::span<const Subcommand> subcommands();
    int checkBytes();
    int checkPreset();
    int checkRestore();
    int checkParameterText();
    int ports();
    // The service records of the filter, from the records' database; no port is opened.
    int history();
    // The due list from the records' database; no port is opened.
    int due();
    // The certificate of a verification run as a PDF, from the records' database; no port
    // is opened.
    int certificate();
    int read();
    int write();
    int dump();
    int backup();
    int restore();
    int preset();
    int get();
    int writeParams();
    int maxTorque();
    int clearEr0();
    int constants();
    int live();
    int writeAllFF();
    // verify: its settings checked before the port is opened; the run, unattended with a
    // tester or on the references typed on standard input.
    int checkVerify();
    int verify();
    void reportVerification(const VerificationRun& run);
    // Whether the subcommand's own reads take in the wrench code (2BH to 2DH).
    bool jobReadsWrenchCode() const;
    // Reads the wrench code so that the service record names the wrench.
    int readWrenchCode();
    // Opens the records as the connection `connection`, the records that waited in the spool
    // handed to them first. kExitDone, or the code to end with after saying why: records off
    // (then "there is no <nothing>"), or a database that cannot be opened.
    int openRecords(const QString& connection, const char* nothing);

    // The exit code of a job that has ended: 0 only when it was done and nothing failed.
    int endOf(const JobResult& result);
    bool interrupted() const { return m_signal != 0; }
    int interruptedCode() const { return kExitSignalBase + m_signal; }
    void showProgress(int index, int count, int address);
    void endProgress();
    // Reads the cells into the memory (one retry each); true when every one was read.
    JobResult readCells(const std::vector<int>& cells);
    void printJson(const QJsonObject& object);
    // Where a job that writes cells one after the other ended before its last one.
    struct WriteStop {
        int cell = -1;         // the first cell that may not hold its new byte; -1: none
        int writtenBefore = 0; // the cells before it, each written
        std::string reason;    // for --json: "no answer", "stopped", ...
        std::string what;      // for the text: what happened at the cell
    };
    // Says on standard error where the job ended, and how many of its `count` cells were
    // `done` before; its "stoppedAt" for --json, null when it did not end early.
    QJsonValue reportStop(const WriteStop& stop, std::size_t count, const char* done);
    // The end of preset or write-all-ff over `cells`: where it stopped, its --json document,
    // and its exit code.
    int endOfWrite(const std::vector<int>& cells, const JobResult& result);

    const CliOptions& m_options;
    CliContext& m_context;
    const Subcommand* m_subcommand = nullptr;
    std::unique_ptr<MessageBoxes> m_boxes;
    // What check() made of the words.
    std::vector<std::uint8_t> m_bytes;
    std::optional<Backup> m_backup;
    std::string m_text;
    VerificationSettings m_verification;
    std::unique_ptr<WrenchSession> m_session;
    bool m_commFailed = false;
    // For the service record: how the failed exchange ended, or why the job was refused.
    CommResult m_failure = CommResult::TimeOut;
    std::string m_refusal;
    bool m_portLost = false;
    bool m_progressShown = false;
    bool m_ownProgress = false; // the job counts its cells itself
    bool m_stopSessionOnSignal = true;
    // A signal lets a failed exchange be tried again (write-params: a set is written whole).
    bool m_retryAfterSignal = false;
    int m_signal = 0;
};

} // namespace zelcor::cli
