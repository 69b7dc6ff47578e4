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
        "                or a device path such as /dev/ttyUSB0\n"
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

Options ParseCommandLine(const QStringList& arguments) {
    Options options;
    bool languageGiven = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            options.showHelp = true;
        } else if (arg == QLatin1String("--port")) {
            if (i + 1 >= arguments.size()) {
                options.error = QStringLiteral("--port needs a port name");
                return options;
            }
            options.port = arguments[++i];
        } else if (arg.startsWith(QLatin1String("--port="))) {
            options.port = arg.mid(7);
        } else if (arg == QLatin1String("--version")) {
            options.showVersion = true;
        } else if (arg == QLatin1String("--log")) {
            if (i + 1 >= arguments.size()) {
                options.error = QStringLiteral("--log needs a file name");
                return options;
            }
            options.log = arguments[++i];
        } else if (arg.startsWith(QLatin1String("--log="))) {
            options.log = arg.mid(6);
            if (options.log.isEmpty()) {
                options.error = QStringLiteral("--log needs a file name");
                return options;
            }
        } else if (arg == QLatin1String("--records")) {
            if (i + 1 >= arguments.size()) {
                options.error = QStringLiteral("--records needs a place (or off)");
                return options;
            }
            options.records = arguments[++i];
        } else if (arg.startsWith(QLatin1String("--records="))) {
            options.records = arg.mid(10);
        } else if (arg == QLatin1String("--language")) {
            if (i + 1 >= arguments.size()) {
                options.error = QStringLiteral("--language needs a language (%1)")
                                    .arg(Languages().join(QStringLiteral(", ")));
                return options;
            }
            options.language = arguments[++i];
            languageGiven = true;
        } else if (arg.startsWith(QLatin1String("--language="))) {
            options.language = arg.mid(11);
            languageGiven = true;
        } else if (arg == QLatin1String("--log-append")) {
            options.logAppend = true;
        } else if (arg == QLatin1String("--simulator")) {
            options.simulator = true;
        } else if (arg == QLatin1String("--script")) {
            if (i + 1 >= arguments.size()) {
                options.error =
                    QStringLiteral("--script needs a file name (\"-\" for standard input)");
                return options;
            }
            options.script = arguments[++i];
        } else if (arg.startsWith(QLatin1String("--script="))) {
            options.script = arg.mid(9);
            if (options.script.isEmpty()) {
                options.error =
                    QStringLiteral("--script needs a file name (\"-\" for standard input)");
                return options;
            }
        } else {
            options.error = QStringLiteral("unknown option: %1").arg(arg);
            return options;
        }
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
