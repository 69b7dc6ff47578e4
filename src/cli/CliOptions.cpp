// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliOptions.h"

#include "common/TextConv.h"
#include "serial/PortSettings.h"
#include "wrench/WrenchMap.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <set>

namespace zelcor::cli {

namespace {

const std::set<std::string_view> kValueOptions{
    "--port", "--baud", "--log", "--cells", "--direction", "--digits", "--seconds", "--pause",
    "--records", "--wrench", "--job", "--since", "--until", "--within",
    // verify
    "--tester-port", "--max", "--readings", "--tolerance", "--technician", "--points", "--preloads",
    "--tester", "--tester-due", "--remark", "--interval", "--tester-timeout", "--tester-baud",
    "--tester-format",
    // certificate
    "-o"};
const std::set<std::string_view> kFlagOptions{"--simulator",          "--json",   "--yes",
                                              "--log-append",         "--csv",    "--as-found",
                                              "--force-other-wrench", "--as-left"};

std::optional<long> WholeNumber(const std::string& text) {
    long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> HexCell(std::string_view text) {
    if (text.size() != 2 || HexDigitValue(text[0]) < 0 || HexDigitValue(text[1]) < 0) {
        return std::nullopt;
    }
    const int address = HexDigitValue(text[0]) * 16 + HexDigitValue(text[1]);
    if (address < cells::kFirstTransfer || address > cells::kLast) {
        return std::nullopt;
    }
    return address;
}

std::optional<double> Decimal(const std::string& text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// verify's options: the syntax here, whether the run can start with them in SettingsProblem.
bool TakeVerifyValue(CliOptions& options, std::string_view name, const std::string& value) {
    VerificationSettings& settings = options.verification;
    const std::string quoted = "\"" + QuotedInput(value) + "\"";
    const auto whole = [&](int& into, const char* what) {
        const auto number = WholeNumber(value);
        if (!number || *number < 0 || *number > 1000000) {
            options.error = std::string(name) + " takes " + what + ", not " + quoted;
            return false;
        }
        into = static_cast<int>(*number);
        return true;
    };
    if (name == "--tester-port") {
        options.testerPort = value;
    } else if (name == "--max" || name == "--tolerance") {
        const auto number = Decimal(value);
        if (!number) {
            options.error = std::string(name) +
                            (name == "--max" ? " takes the wrench's maximum in N·m"
                                             : " takes the permissible deviation in %") +
                            ", not " + quoted;
            return false;
        }
        (name == "--max" ? settings.maximum : settings.tolerancePercent) = *number;
    } else if (name == "--readings") {
        return whole(settings.readingsPerPoint, "the readings per point");
    } else if (name == "--preloads") {
        return whole(settings.preloads, "the number of pre-loads");
    } else if (name == "--interval") {
        return whole(settings.intervalMonths, "the months to the next verification");
    } else if (name == "--tester-timeout") {
        return whole(settings.referenceTimeoutS, "the seconds a tester reading may take");
    } else if (name == "--technician") {
        settings.technician = value;
    } else if (name == "--tester") {
        settings.tester = value;
    } else if (name == "--remark") {
        settings.remark = value;
    } else if (name == "--tester-due") {
        if (!records::ParseDay(value)) {
            options.error = "--tester-due takes a day as YYYY-MM-DD, not " + quoted;
            return false;
        }
        settings.testerDue = value;
    } else if (name == "--points") {
        std::vector<double> points;
        std::size_t start = 0;
        while (start <= value.size()) {
            const std::size_t comma = std::min(value.find(',', start), value.size());
            const auto point = Decimal(value.substr(start, comma - start));
            if (!point) {
                options.error = "--points takes % of the maximum, such as 20,60,100, not " + quoted;
                return false;
            }
            points.push_back(*point);
            start = comma + 1;
        }
        settings.pointsPercent = points;
    } else if (name == "--tester-baud" || name == "--tester-format") {
        // The tester's line as a settings text, checked where every line's settings are.
        SerialSettings& line = options.testerSettings;
        const bool format = name == "--tester-format";
        const bool shaped = !format || (value.size() == 3 && std::isdigit(value[0]) != 0 &&
                                        std::isdigit(value[2]) != 0);
        const std::string text =
            format ? std::to_string(line.baudRate) + "," + (shaped ? value.substr(1, 1) : "?") +
                         "," + (shaped ? value.substr(0, 1) : "?") + "," +
                         (shaped ? value.substr(2, 1) : "?")
                   : value + "," + std::string(1, line.parity) + "," +
                         std::to_string(line.dataBits) + "," + std::to_string(line.stopBits);
        if (!ParseSettingsText(text, line)) {
            options.error = format ? "--tester-format takes data bits, parity and stop bits "
                                     "such as 8N1 or 7E2, not " +
                                         quoted
                                   : "--tester-baud takes a line speed such as 9600, not " + quoted;
            return false;
        }
    }
    return true;
}

// Takes the value of one option into `options`; false with the error set when it is bad.
bool TakeValue(CliOptions& options, std::string_view name, const std::string& value) {
    const std::string quoted = "\"" + QuotedInput(value) + "\"";
    if (name == "--port") {
        options.port = value;
    } else if (name == "--baud") {
        const auto baud = WholeNumber(value);
        if (!baud || std::find(kWrenchBaudRates.begin(), kWrenchBaudRates.end(), *baud) ==
                         kWrenchBaudRates.end()) {
            std::string speeds;
            for (const int speed : kWrenchBaudRates) {
                speeds += (speeds.empty() ? "" : " or ") + std::to_string(speed);
            }
            options.error = "--baud takes a speed the wrench speaks, " + speeds + ", not " + quoted;
            return false;
        }
        options.baud = static_cast<int>(*baud);
    } else if (name == "--log") {
        options.log = value;
    } else if (name == "--cells") {
        options.cells = ParseCellList(value, options.error);
        return options.error.empty();
    } else if (name == "--direction") {
        const auto direction = ParseVerifyDirection(value);
        if (!direction) {
            options.error = "--direction takes cw or ccw (verify: also both), not " + quoted;
            return false;
        }
        options.verification.direction = *direction;
        if (*direction != VerifyDirection::Both) {
            options.ccw = *direction == VerifyDirection::Ccw;
        }
    } else if (name == "--digits") {
        const auto digits = WholeNumber(value);
        if (!digits || *digits < 0 || *digits > 3) {
            options.error = "--digits takes 0, 1, 2 or 3 (digits after the point), not " + quoted;
            return false;
        }
        options.digits = static_cast<int>(*digits);
        options.verification.digits = static_cast<int>(*digits);
    } else if (name == "--seconds") {
        double seconds = 0;
        const char* end = value.data() + value.size();
        const auto [ptr, ec] = std::from_chars(value.data(), end, seconds);
        if (value.empty() || ec != std::errc() || ptr != end || !(seconds > 0) || seconds > 1e6) {
            options.error = "--seconds takes a time in seconds greater than 0, not " + quoted;
            return false;
        }
        options.seconds = seconds;
    } else if (name == "--pause") {
        const auto pause = WholeNumber(value);
        if (!pause || *pause < 1 || *pause > 32767) {
            options.error =
                "--pause takes a whole number of milliseconds from 1 to 32767, not " + quoted;
            return false;
        }
        options.pause = value;
    } else if (name == "-o") {
        if (value.empty()) {
            options.error = "-o takes the name of the file to write";
            return false;
        }
        options.output = value;
    } else if (name == "--records") {
        options.records = value;
    } else if (name == "--wrench") {
        const bool code = value.size() == 6 && std::all_of(value.begin(), value.end(), [](char c) {
                              return HexDigitValue(c) >= 0;
                          });
        if (!code) {
            options.error = "--wrench takes a wrench code of six hexadecimal digits (2BH 2CH "
                            "2DH) such as 123456, not " +
                            quoted;
            return false;
        }
        options.filter.wrenchCode = value;
    } else if (name == "--job") {
        if (value.empty()) {
            options.error = "--job takes the name of a job, such as Get";
            return false;
        }
        options.filter.job = value;
    } else if (name == "--since" || name == "--until") {
        const auto day = records::ParseDay(value);
        if (!day) {
            options.error = std::string(name) + " takes a day as YYYY-MM-DD, not " + quoted;
            return false;
        }
        (name == "--since" ? options.filter.since : options.filter.until) = day;
    } else if (name == "--within") {
        const auto days = WholeNumber(value);
        if (!days || *days < 0 || *days > 36500) {
            options.error = "--within takes a number of days from 0 to 36500, not " + quoted;
            return false;
        }
        options.withinDays = static_cast<int>(*days);
    } else {
        return TakeVerifyValue(options, name, value);
    }
    return true;
}

} // namespace

std::vector<int> ParseCellList(const std::string& text, std::string& error) {
    std::set<int> cells;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view item = std::string_view(text).substr(start, comma - start);
        const std::size_t dash = item.find('-');
        const auto first = HexCell(item.substr(0, dash));
        const auto last = dash == std::string_view::npos ? first : HexCell(item.substr(dash + 1));
        if (!first || !last || *first > *last) {
            error = "--cells takes cells 07 to 2D as a range (07-2D), a list (10,11,2B) or both, "
                    "not \"" +
                    QuotedInput(text) + "\"";
            return {};
        }
        for (int cell = *first; cell <= *last; ++cell) {
            cells.insert(cell);
        }
        start = comma + 1;
    }
    return {cells.begin(), cells.end()};
}

CliOptions ParseCliOptions(const std::vector<std::string>& arguments) {
    CliOptions options;
    std::set<std::string_view> given;
    bool wordsOnly = false; // after "--" every word is the subcommand's
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (wordsOnly || arg == "-" || arg.size() < 2 || arg[0] != '-') {
            if (options.command.empty()) {
                options.command = arg;
            } else {
                options.args.push_back(arg);
            }
            continue;
        }
        if (arg == "--") {
            wordsOnly = true;
        } else if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else {
            const std::size_t equals = arg.find('=');
            const std::string name = arg.substr(0, equals);
            if (kFlagOptions.count(name) != 0 && equals == std::string::npos) {
                given.insert(*kFlagOptions.find(name));
                options.simulator |= name == "--simulator";
                options.json |= name == "--json";
                options.yes |= name == "--yes";
                options.logAppend |= name == "--log-append";
                options.forceOtherWrench |= name == "--force-other-wrench";
                options.csv |= name == "--csv";
                options.verification.asLeft |= name == "--as-left";
            } else if (kValueOptions.count(name) != 0) {
                std::string value;
                if (equals != std::string::npos) {
                    value = arg.substr(equals + 1);
                } else if (i + 1 < arguments.size()) {
                    value = arguments[++i];
                } else {
                    options.error = name + " needs a value";
                    return options;
                }
                given.insert(*kValueOptions.find(name));
                if (!TakeValue(options, name, value)) {
                    return options;
                }
            } else {
                options.error = "unknown option: " + QuotedInput(arg);
                return options;
            }
        }
    }
    if (options.help || options.version) {
        return options;
    }
    if (options.command.empty()) {
        options.error = "no subcommand given";
        return options;
    }
    const SubcommandWords* sub = WordsOfSubcommand(options.command);
    if (sub == nullptr) {
        options.error = "unknown subcommand: " + QuotedInput(options.command);
        return options;
    }
    for (const std::string_view name : given) {
        const bool common = name == "--port" || name == "--baud" || name == "--simulator" ||
                            name == "--log" || name == "--log-append" || name == "--json" ||
                            name == "--records";
        if (!common && sub->options.count(name) == 0) {
            options.error = options.command + " does not take " + std::string(name);
            return options;
        }
    }
    if (options.args.size() < sub->minArgs || options.args.size() > sub->maxArgs) {
        options.error = options.command + " takes " +
                        (sub->minArgs == 0   ? std::string("no words")
                         : sub->minArgs == 1 ? std::string("one word")
                                             : std::to_string(sub->minArgs) + " words") +
                        " besides its options";
        return options;
    }
    if (!given.count("--records")) {
        const char* environment = std::getenv("ZELCOR_RECORDS");
        options.records = environment != nullptr ? environment : "";
    }
    std::string recordsError;
    if (const auto target = records::ParseRecordsTarget(options.records, recordsError)) {
        options.recordsTarget = *target;
    } else {
        options.error =
            (given.count("--records") ? "--records: " : "ZELCOR_RECORDS: ") + recordsError;
        return options;
    }
    if ((options.command == "get" || options.command == "write-params") && !options.ccw) {
        options.error = options.command + " needs --direction cw or --direction ccw";
    } else if (options.command == "write-params" && !options.digits) {
        options.error = "write-params needs --digits (0 to 3, digits after the point)";
    } else if (options.command == "certificate" && options.output.empty()) {
        options.error = "certificate needs -o FILE.pdf, the file to write";
    } else if (options.command == "write-all-ff" && !options.yes) {
        options.error = "write-all-ff overwrites every cell 07H to 2DH, the wrench's identity "
                        "0CH-0FH and 2BH-2DH too: add --yes to do so";
    } else if (options.simulator && !options.port.empty()) {
        options.error = "--port and --simulator exclude each other";
    } else if (options.command != "verify" &&
               options.verification.direction == VerifyDirection::Both) {
        options.error = options.command + " takes --direction cw or ccw: both is verify's only";
    } else if (given.count("--as-found") && given.count("--as-left")) {
        options.error = "--as-found and --as-left exclude each other";
    } else if (options.json && options.csv) {
        options.error = "--json and --csv exclude each other";
    } else if (options.filter.since && options.filter.until &&
               *options.filter.since > *options.filter.until) {
        options.error = "--since is a later day than --until: no record lies between them";
    } else if (options.command != "ports" && options.command != "history" &&
               options.command != "due" && options.command != "certificate" && !options.simulator &&
               options.port.empty()) {
        options.error = options.command + " needs the wrench: name its port with --port (a "
                                          "number, a device path or a device server's "
                                          "address), or use --simulator";
    } else if (options.command == "dump" && !given.count("--cells")) {
        for (int cell = cells::kFirstTransfer; cell <= cells::kLast; ++cell) {
            options.cells.push_back(cell);
        }
    }
    return options;
}

std::string CliHelpText() {
    return "Usage: zelcor-cli [options] SUBCOMMAND [words] [options]\n"
           "Runs one job on a digital torque wrench or pull gauge on a serial line.\n"
           "\n"
           "Subcommands (addresses and bytes are two hexadecimal digits, either case):\n"
           "  ports                       the system's serial ports\n"
           "  read ADDR1 ADDR0            one read exchange: the three bytes it answers\n"
           "  write ADDR1 ADDR0 BYTE      one write exchange\n"
           "  dump [--cells 07-2D|LIST]   read the parameter memory cells\n"
           "  backup FILE                 the cells 07H to 2DH into a JSON file\n"
           "  restore FILE [--force-other-wrench]\n"
           "                              write back the cells of a backup that differ, the\n"
           "                              identity cells never, each read back\n"
           "  preset MODEL                load a model's factory preset into 10H to 2AH\n"
           "  get --direction cw|ccw [--digits N]\n"
           "                              the parameter set and the request for the factory\n"
           "  write-params --direction cw|ccw --digits N [--force-other-wrench] TEXT|-\n"
           "                              check and write a new parameter set; one issued\n"
           "                              for another wrench code only with the option\n"
           "  max-torque [--digits N]     read the maximum torque\n"
           "  clear-er0                   clear the error flag and the maximum torque\n"
           "  constants                   read the calibration constants\n"
           "  live [--seconds S] [--pause MS] [--digits N] [--csv]\n"
           "                              the live torque as CSV until the time is up or Ctrl+C\n"
           "  write-all-ff --yes          write FF to every cell 07H to 2DH\n"
           "  verify --max N [--tester-port DEV] [--readings N] [--tolerance PERCENT]\n"
           "         [--digits N] [--technician NAME] [--points 20,60,100]\n"
           "         [--direction cw|ccw|both] [--as-found|--as-left] [--preloads N]\n"
           "         [--tester NAME] [--tester-due DAY] [--remark TEXT] [--interval MONTHS]\n"
           "         [--tester-timeout S] [--tester-baud N] [--tester-format 8N1]\n"
           "                              pull the wrench against a reference tester: each\n"
           "                              pull's maximum (23H, 24H) against the tester's line\n"
           "                              on DEV, or without it a reference typed on standard\n"
           "                              input (an empty line ends a pre-load); with\n"
           "                              --simulator its own simulated tester\n"
           "  history [--wrench CODE] [--job JOB] [--since DAY] [--until DAY] [--csv]\n"
           "                              the service records, newest first, one a line; a\n"
           "                              DAY is YYYY-MM-DD (UTC), both days included; no\n"
           "                              wrench or port needed\n"
           "  due [--within DAYS] [--csv]\n"
           "                              every wrench of the records with its last\n"
           "                              verification and next due date, failed, overdue\n"
           "                              and never verified first; --within DAYS keeps\n"
           "                              those due by today + DAYS (UTC) and every failed,\n"
           "                              overdue and never verified one\n"
           "  certificate RECORD-ID -o FILE.pdf\n"
           "                              the certificate of a verification run (the id\n"
           "                              history --json shows), from the records alone\n"
           "\n"
           "Options:\n"
           "  --port NAME    the wrench's port: a number (1 = /dev/ttyS0), a device path, or\n"
           "                 a device server: tcp://HOST:PORT or rfc2217://HOST:PORT\n"
           "  --baud N       the line's speed: 1200 (unless given) or 2400\n"
           "  --simulator    a simulated wrench on a pseudo-terminal\n"
           "  --log FILE     every byte sent and received, as CSV\n"
           "  --log-append   add to the --log file instead of replacing it\n"
           "  --json         one JSON document on standard output\n"
           "  --csv          history: CSV, as the History window exports it; live: CSV\n"
           "                 for spreadsheets, as the calibration window exports it;\n"
           "                 due: CSV\n"
           "  --records TARGET\n"
           "                 where the service records are kept: off, sqlite:PATH or\n"
           "                 postgresql://user@host[:port]/dbname; ZELCOR_RECORDS when not\n"
           "                 given, the user's own file when neither is\n"
           "  --version      show the version and exit\n"
           "  -h, --help     show this text and exit\n"
           "\n"
           "Exit status: 0 done, 1 communication failure, 2 bad usage, 3 refused before\n"
           "anything was written, 4 the port cannot be opened, 5 verify: the wrench failed\n"
           "the run, 6 the job was done but its service record is lost, 7 verify: stopped\n"
           "before its verdict (standard input ended), 130 or 143 stopped by Ctrl+C or\n"
           "SIGTERM after the current exchange or while the record waits for its database.\n"
           "See zelcor-cli(1).\n";
}

std::string CliVersionText() {
    return "zelcor-cli " ZELCOR_VERSION "\n";
}

std::string CliVersionNumber() {
    return ZELCOR_VERSION;
}

} // namespace zelcor::cli
