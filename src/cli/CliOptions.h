// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SerialPort.h"
#include "records/RecordQuery.h"
#include "records/RecordStore.h"
#include "session/TesterLink.h"
#include "wrench/Verification.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace zelcor::cli {

// What zelcor-cli's exit code says.
enum ExitCode : int {
    kExitDone = 0,
    kExitCommFailure = 1,  // an exchange failed: time-out, short or wrong reply, lost port
    kExitUsage = 2,        // the command line cannot be understood
    kExitRefused = 3,      // refused before anything was written
    kExitPortFailure = 4,  // the port cannot be opened
    kExitWrenchFailed = 5, // verify: the run ended with a verdict, and the wrench failed it
    kExitRecordLost = 6,   // the job was done, but its record could be neither written nor spooled
    kExitStopped = 7,      // verify: the run was stopped before its verdict (standard input ended)
    // Stopped by a signal after the current exchange: 128 plus the signal's number, as a
    // shell reports a program ended by it (130 for Ctrl+C, 143 for SIGTERM); also while the
    // program waits at its end for the records' database.
    kExitSignalBase = 128,
};

// The command line of one zelcor-cli run. Options may stand before or after the subcommand.
struct CliOptions {
    bool help = false;
    bool version = false;
    std::string command;           // "dump", "get" ...; empty only with help or version
    std::vector<std::string> args; // the subcommand's own words

    // Common options.
    std::string port; // as "Com No" takes it: a number or a device path
    int baud = 1200;
    bool simulator = false;
    std::string log;
    bool logAppend = false;
    bool json = false;
    // Where the service records are kept: --records, or ZELCOR_RECORDS when it is not given
    // (the default file when neither is), as given and as understood.
    std::string records;
    records::RecordsTarget recordsTarget;

    // Subcommand options, each taken only by the subcommands that use it.
    std::vector<int> cells;           // dump: the cells, ascending, no repeats
    std::optional<bool> ccw;          // get, write-params: the direction
    std::optional<int> digits;        // get, write-params, max-torque, live
    std::optional<double> seconds;    // live
    std::optional<std::string> pause; // live: the pause as typed
    bool yes = false;                 // write-all-ff
    bool forceOtherWrench = false;    // restore, write-params
    records::RecordFilter filter;     // history: --wrench, --job, --since, --until
    bool csv = false;                 // history, live, due
    std::optional<int> withinDays;    // due
    // verify: the run's settings (the digits from --digits, the technician, when not given, the
    // operating-system user), and the tester's port with its line settings.
    VerificationSettings verification;
    std::string testerPort;
    SerialSettings testerSettings = DefaultTesterSettings();
    std::string output; // certificate: -o, the PDF file to write

    std::string error; // why the command line cannot be understood; empty when it can
};

CliOptions ParseCliOptions(const std::vector<std::string>& arguments);

// The words a subcommand takes: how many besides its options, and the options it takes
// beyond the common ones. Each subcommand's are in its entry of CliRunner's table.
struct SubcommandWords {
    std::size_t minArgs;
    std::size_t maxArgs;
    std::set<std::string_view> options;
};
// Those of the subcommand `command`; none for a word that is no subcommand.
const SubcommandWords* WordsOfSubcommand(std::string_view command);
// The cells of a --cells text: "07-2D", "10,11,2B" or both mixed ("07-0B,2B"), each address
// two hexadecimal digits from 07 to 2D. Empty with `error` set when the text is not such.
std::vector<int> ParseCellList(const std::string& text, std::string& error);
std::string CliHelpText();
std::string CliVersionText();
// The version alone: "1.3.0".
std::string CliVersionNumber();

} // namespace zelcor::cli
