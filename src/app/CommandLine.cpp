// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLine.h"

#include "app/Language.h"

namespace zelcor {

QString HelpText() {
    return QStringLiteral(
        "Usage: zelcor [options]\n"
        "Service tool for digital torque wrenches and pull gauges on a serial line.\n"
        "\n"
        "Options:\n"
        "  --port NAME   put NAME into \"Com No\": a port number (1 = COM1 or /dev/ttyS0)\n"
        "                or a device path such as /dev/ttyUSB0, or a serial device server:\n"
        "                tcp://HOST:PORT (raw) or rfc2217://HOST:PORT\n"
        "  --simulator   talk to a simulated wrench on a pseudo-terminal instead of a real\n"
        "                one: its device is put into \"Com No\", ready for Port Open\n"
        "  --log FILE    write every byte sent and received to FILE as it happens, one CSV\n"
        "                line each: milliseconds since the port was opened, direction, the\n"
        "                byte, and where a request starts and an exchange ends (its result)\n"
        "  --log-append  add to the --log file instead of replacing it\n"
        "  --script FILE play the script in FILE (\"-\" for standard input) against the\n"
        "                windows, printing what happens; exit code 0 when every line held,\n"
        "                1 when one failed, 2 when the script cannot be understood\n"
        "  --records WHERE\n"
        "                where each job's service record goes: the SQLite file in the\n"
        "                user's data folder unless given (or set in ZELCOR_RECORDS);\n"
        "                sqlite:PATH, postgresql://user@host[:port]/dbname (the password\n"
        "                from ~/.pgpass or PGPASSWORD), or off\n"
        "  --language en show the windows in English instead of their own texts\n"
        "  --version     show the version and exit\n"
        "  -h, --help    show this text and exit\n");
}

std::string VersionNumber() {
    return ZELCOR_VERSION;
}

QString VersionText() {
    return QStringLiteral("zelcor " ZELCOR_VERSION "\n");
}

namespace {

enum class Value { NotThis, Given, Missing };

// An option with a value, as "--name value" or "--name=value"; the first form takes the next
// argument.
Value OptionValue(const QStringList& arguments, int& i, QLatin1String name, QString& value) {
    const QString& arg = arguments[i];
    if (arg == name) {
        if (i + 1 >= arguments.size()) {
            return Value::Missing;
        }
        value = arguments[++i];
        return Value::Given;
    }
    if (arg.startsWith(name) && arg.size() > name.size() && arg[name.size()] == u'=') {
        value = arg.mid(name.size() + 1);
        return Value::Given;
    }
    return Value::NotThis;
}

} // namespace

Options ParseCommandLine(const QStringList& arguments) {
    Options options;
    bool languageGiven = false;
    for (int i = 1; i < arguments.size() && options.error.isEmpty(); ++i) {
        const QString& arg = arguments[i];
        QString value;
        // True when `arg` is the option `name`; the error is `need` when its value is missing
        // (or empty, for a file name).
        const auto valued = [&](const char* name, const QString& need, bool mayBeEmpty) {
            const Value v = OptionValue(arguments, i, QLatin1String(name), value);
            if (v == Value::Missing || (v == Value::Given && !mayBeEmpty && value.isEmpty())) {
                options.error = need;
            }
            return v != Value::NotThis;
        };
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            options.showHelp = true;
        } else if (arg == QLatin1String("--version")) {
            options.showVersion = true;
        } else if (arg == QLatin1String("--log-append")) {
            options.logAppend = true;
        } else if (arg == QLatin1String("--simulator")) {
            options.simulator = true;
        } else if (valued("--port", QStringLiteral("--port needs a port name"), true)) {
            options.port = value;
        } else if (valued("--log", QStringLiteral("--log needs a file name"), false)) {
            options.log = value;
        } else if (valued("--records", QStringLiteral("--records needs a place (or off)"), true)) {
            options.records = value;
        } else if (valued("--language",
                          QStringLiteral("--language needs a language (%1)")
                              .arg(Languages().join(QStringLiteral(", "))),
                          true)) {
            options.language = value;
            languageGiven = true;
        } else if (valued("--script",
                          QStringLiteral("--script needs a file name (\"-\" for standard input)"),
                          false)) {
            options.script = value;
        } else {
            options.error = QStringLiteral("unknown option: %1").arg(arg);
        }
    }
    if (!options.error.isEmpty()) {
        return options;
    }
    if (languageGiven && !Languages().contains(options.language)) {
        options.error = QStringLiteral("unknown language: %1 (known: %2)")
                            .arg(options.language, Languages().join(QStringLiteral(", ")));
        return options;
    }
    if (options.simulator && !options.port.isEmpty()) {
        options.error = QStringLiteral("--port and --simulator exclude each other");
    }
    return options;
}

} // namespace zelcor
