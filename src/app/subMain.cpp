// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/subMain.h"

#include "app/frmRs232SetCmd.h"
#include "script/ScriptMessageBoxes.h"
#include "script/ScriptRunner.h"
#include "serial/ExchangeLog.h"
#include "serial/WrenchLink.h"
#include "session/WrenchSession.h"
#include "sim/PtyBridge.h"
#include "widgets/QtMessageBoxes.h"

#include <QApplication>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <thread>

namespace zelcor {

namespace {

QString scriptName(const QString& path) {
    return path == QLatin1String("-") ? QStringLiteral("standard input") : path;
}

// A script is read to its end before its first line runs, so that every name in it is
// checked first. From a pipe or a terminal that end comes when the writer closes it; while
// it has not come a moment after reading began, standard error says what the program waits
// for, rather than the program hanging without a word.
class ScriptInputWatch {
public:
    explicit ScriptInputWatch(const QString& path) {
        struct stat info {};
        const bool known = path == QLatin1String("-")
                               ? ::fstat(STDIN_FILENO, &info) == 0
                               : ::stat(QFile::encodeName(path).constData(), &info) == 0;
        if (!known || S_ISREG(info.st_mode)) {
            return; // a file ends where it ends; what cannot be opened is reported
        }
        m_thread = std::thread([this, name = scriptName(path).toStdString()] {
            std::unique_lock lock(m_mutex);
            if (!m_readCv.wait_for(lock, std::chrono::seconds(1), [this] { return m_read; })) {
                std::fprintf(stderr,
                             "zelcor: waiting for the script on %s: its lines run once it has "
                             "been closed\n",
                             name.c_str());
            }
        });
    }
    ~ScriptInputWatch() {
        {
            const std::lock_guard lock(m_mutex);
            m_read = true;
        }
        m_readCv.notify_all();
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    ScriptInputWatch(const ScriptInputWatch&) = delete;
    ScriptInputWatch& operator=(const ScriptInputWatch&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_readCv;
    bool m_read = false;
    std::thread m_thread;
};

} // namespace

Application::Application(const Options& options, std::vector<ScriptLine> script)
    : m_scriptLines(std::move(script)), m_scriptName(scriptName(options.script)) {
    ScriptMessageBoxes* scriptBoxes = nullptr;
    if (options.script.isEmpty()) {
        m_boxes = std::make_unique<QtMessageBoxes>();
    } else {
        auto boxes = std::make_unique<ScriptMessageBoxes>(std::cout);
        scriptBoxes = boxes.get();
        m_boxes = std::move(boxes);
    }
    m_main = std::make_unique<frmRs232SetCmd>(
        Platform{m_clock, m_port, *m_boxes, [this] { endProgram(); }});
    if (!options.log.isEmpty()) {
        m_log =
            std::make_unique<ExchangeLog>(m_clock, QFile::encodeName(options.log).toStdString());
        m_main->session().link().setExchangeLog(m_log.get());
    }
    if (!options.port.isEmpty()) {
        m_main->choosePort(options.port);
    }
    if (options.simulator) {
        m_simulator = std::make_unique<sim::PtyBridge>();
        std::string error;
        if (!m_simulator->start({}, error)) {
            std::fprintf(stderr, "zelcor: cannot start the simulated wrench: %s\n", error.c_str());
            m_ended = true;
            m_exitCode = 1;
            return;
        }
        // The system lists no pseudo-terminal: the simulated wrench's device is added.
        m_port.alsoList({m_simulator->devicePath(), "Simulated wrench", "Zelcor", {}});
        m_main->choosePort(QString::fromStdString(m_simulator->devicePath()));
    }
    if (scriptBoxes != nullptr) {
        m_script =
            std::make_unique<ScriptRunner>(m_main->windows(), m_clock, *scriptBoxes, std::cout);
    }
}

Application::~Application() = default;

int Application::run() {
    if (m_ended) {
        return m_exitCode;
    }
    if (m_script) {
        // Every name is checked before the first line runs.
        if (auto error = m_script->check(m_scriptLines)) {
            std::fprintf(stderr, "zelcor: %s: line %d: %s\n", qPrintable(m_scriptName), error->line,
                         qPrintable(error->reason));
            return 2;
        }
        m_main->show();
        // The script's end ends the program as End does.
        m_script->start(std::move(m_scriptLines), [this](int) { m_main->cmdEnd_Click(); });
    } else {
        m_main->show();
    }
    const int code = QApplication::exec();
    return m_ended ? m_exitCode : code;
}

void Application::endProgram() {
    m_ended = true;
    if (m_script) {
        m_exitCode = m_script->programEnded();
    }
    std::cout.flush();
    std::fflush(stdout);
    std::fflush(stderr);
    if (m_clock.waitDepth() > 0) {
        // "End" pressed while an exchange or a delay waits: unwinding those handlers would
        // go on talking to the instrument, so the program stops here, as it promised.
        std::_Exit(m_exitCode);
    }
    QCoreApplication::exit(m_exitCode);
}

int Main(int argc, char** argv) {
    // The command line is read before any window system is needed, so --help works anywhere.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const Options options = ParseCommandLine(arguments);
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "zelcor: %s\n%s", qPrintable(options.error), qPrintable(HelpText()));
        return 2;
    }
    if (options.showHelp) {
        std::fputs(qPrintable(HelpText()), stdout);
        return 0;
    }
    if (options.showVersion) {
        std::fputs(qPrintable(VersionText()), stdout);
        return 0;
    }
    // A script is read and understood before any window exists.
    ParsedScript script;
    if (!options.script.isEmpty()) {
        {
            const ScriptInputWatch watch(options.script);
            script = LoadScript(options.script);
        }
        if (script.error) {
            const QString where =
                script.error->line > 0
                    ? QStringLiteral("%1: line %2: ")
                          .arg(scriptName(options.script), QString::number(script.error->line))
                    : QString();
            std::fprintf(stderr, "zelcor: %s%s\n", qPrintable(where),
                         qPrintable(script.error->reason));
            return 2;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zelcor"));
    Application zelcor(options, std::move(script.lines));
    return zelcor.run();
}

} // namespace zelcor
