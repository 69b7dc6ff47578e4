// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/subMain.h"

#include "app/Language.h"
#include "app/frmRs232SetCmd.h"
#include "common/TextConv.h"
#include "platform/StopSignals.h"
#include "records/RecordWriter.h"
#include "records/Recorder.h"
#include "script/ScriptMessageBoxes.h"
#include "script/ScriptReader.h"
#include "script/ScriptRunner.h"
#include "serial/ExchangeLog.h"
#include "serial/WrenchLink.h"
#include "session/WrenchSession.h"
#include "sim/PtyBridge.h"
#include "verification/VerificationWindow.h"
#include "widgets/QtMessageBoxes.h"
#include "wrench/RequestCode.h"

#include <QApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTranslator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

namespace zelcor {

namespace {

QString scriptName(const QString& path) {
    return path == QLatin1String("-") ? QStringLiteral("standard input") : path;
}

void reportScriptError(const QString& name, const ScriptError& error) {
    const QString where =
        error.line > 0 ? QStringLiteral("%1: line %2: ").arg(name, QString::number(error.line))
                       : QString();
    std::fprintf(stderr, "zelcor: %s%s\n", qPrintable(where), qPrintable(error.reason));
}

// Input that ends only when its writer closes it (a pipe, a terminal, a socket, a device):
// its lines run as they arrive. A file (or what cannot be looked at) is read whole first.
bool readAsItArrives(const QString& path) {
    struct stat info {};
    const bool known = path == QLatin1String("-")
                           ? ::fstat(STDIN_FILENO, &info) == 0
                           : ::stat(QFile::encodeName(path).constData(), &info) == 0;
    return known && (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode) || S_ISSOCK(info.st_mode));
}

std::optional<ScriptError> openScript(const QString& path, ScriptInput& script) {
    if (!readAsItArrives(path)) {
        // A file is read and understood before any window exists.
        ParsedScript parsed = LoadScript(path);
        script.lines = std::move(parsed.lines);
        return parsed.error;
    }
    // Opened without waiting for a writer, as a named pipe's open would; nothing is read
    // before the windows are there to run the lines.
    const bool standardInput = path == QLatin1String("-");
    script.ownsFd = !standardInput;
    script.fd = standardInput ? STDIN_FILENO
                              : ::open(QFile::encodeName(path).constData(),
                                       O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (script.fd < 0) {
        return ScriptError{0, ScriptReadError(scriptName(path), qt_error_string(errno))};
    }
    return std::nullopt;
}

} // namespace

Application::Application(const Options& options, ScriptInput script)
    : m_scriptLines(std::move(script.lines)), m_scriptName(scriptName(options.script)) {
    ScriptMessageBoxes* scriptBoxes = nullptr;
    if (options.script.isEmpty()) {
        m_boxes = std::make_unique<QtMessageBoxes>();
    } else {
        auto boxes = std::make_unique<ScriptMessageBoxes>(std::cout);
        scriptBoxes = boxes.get();
        m_boxes = std::move(boxes);
    }
    m_session = std::make_unique<WrenchSession>(m_clock, m_port, *m_boxes, NextRequestCode);
    m_session->setTesterPort(&m_testerPort);
    m_main = std::make_unique<frmRs232SetCmd>(
        *m_session, Platform{m_clock, m_port, *m_boxes, [this] { endProgram(); }});
    startRecords(options.recordsTarget);
    if (!options.log.isEmpty()) {
        m_log = std::make_unique<ExchangeLog>(m_clock, QFile::encodeName(options.log).toStdString(),
                                              options.logAppend);
        m_main->session().setExchangeLog(m_log.get());
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
        // The wrench pulls after each clearing of its maximum, and the tester sends the peaks.
        m_simulator->wrench().setPulls(sim::PullOptions{});
        if (!m_simulator->startTester({}, error)) {
            std::fprintf(stderr, "zelcor: cannot start the simulated tester: %s\n", error.c_str());
            m_ended = true;
            m_exitCode = 1;
            return;
        }
        // The system lists no pseudo-terminal: the simulated devices are added.
        m_port.alsoList({m_simulator->devicePath(), "Simulated wrench", "Zelcor", {}, {}});
        m_port.alsoList(
            {m_simulator->testerDevicePath(), "Simulated reference tester", "Zelcor", {}, {}});
        m_main->choosePort(QString::fromStdString(m_simulator->devicePath()));
        m_main->setSimulatedTesterPort(m_simulator->testerDevicePath());
    }
    if (scriptBoxes != nullptr) {
        m_script =
            std::make_unique<ScriptRunner>(m_main->windows(), m_clock, *scriptBoxes, std::cout);
        if (script.fd >= 0) {
            m_reader = std::make_unique<ScriptReader>(
                script.fd, script.ownsFd, m_scriptName,
                ScriptReader::Handlers{[this](ScriptLine line) -> std::optional<QString> {
                                           if (auto reason = m_script->checkLine(line)) {
                                               return reason;
                                           }
                                           m_script->append(std::move(line));
                                           return std::nullopt;
                                       },
                                       [this](std::optional<ScriptError> error) {
                                           m_scriptError = error;
                                           m_script->endOfInput(std::move(error));
                                       }});
        }
    }
}

Application::~Application() = default;

void Application::startRecords(const records::RecordsTarget& target) {
    m_main->setRecordsTarget(target);
    if (target.kind == records::RecordsTarget::Kind::Off) {
        return;
    }
    records::RecordWriter::Options writing;
    writing.onFailure = [this](const std::string& message) {
        if (m_recordsEnding) {
            // The windows are gone: what became of the last records goes to standard error.
            std::fprintf(stderr, "zelcor: %s\n", message.c_str());
            return;
        }
        // Told on the writer's thread; shown on the windows'.
        QMetaObject::invokeMethod(
            m_main.get(),
            [this, text = QString::fromStdString(message)] { showRecordsFailure(text); },
            Qt::QueuedConnection);
    };
    // Held in memory: worth a box while the program runs; at its end it is lost, and said so.
    writing.onHeld = [this, tell = writing.onFailure](const std::string& message) {
        if (!m_recordsEnding) {
            tell(message);
        }
    };
    m_recordWriter = std::make_unique<records::RecordWriter>(target, writing);
    m_recorder = std::make_unique<records::Recorder>(
        "zelcor", VersionNumber(), [this](ServiceRecord record) {
            // A verification run's certificate is asked for by the id its record was kept as.
            if (record.verification) {
                m_main->verification().runRecorded(QString::fromStdString(record.id));
            }
            m_recordWriter->submit(std::move(record));
        });
    QObject::connect(&m_main->session(), &WrenchSession::jobRecorded, m_recorder.get(),
                     &records::Recorder::record);
}

void Application::showRecordsFailure(const QString& message) {
    WrenchSession& session = m_main->session();
    if (session.busy()) {
        // Once, when the job that runs now has ended.
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = QObject::connect(&session, &WrenchSession::busyChanged, m_main.get(),
                                       [this, connection, message](bool busy) {
                                           if (!busy && *connection) {
                                               QObject::disconnect(*connection);
                                               *connection = {};
                                               QMetaObject::invokeMethod(
                                                   m_main.get(),
                                                   [this, message] { showRecordsFailure(message); },
                                                   Qt::QueuedConnection);
                                           }
                                       });
        return;
    }
    m_boxes->show(message, QCoreApplication::translate("zelcor::Application", "Service records"),
                  BoxIcon::Warning, BoxButtons::Ok);
}

int Application::run() {
    if (m_ended) {
        return m_exitCode;
    }
    // Ctrl+C or SIGTERM ends the program as "End" does: the port released, the records of
    // the jobs that have ended written or put into the spool. A second one during that wait
    // ends it at once, the records spooled.
    const bool caught = CatchStopSignals();
    QSocketNotifier stopNotifier(StopSignalFd(), QSocketNotifier::Read);
    stopNotifier.setEnabled(caught);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, [this, &stopNotifier] {
        m_stopSignal = TakeStopSignal();
        if (m_stopSignal != 0) {
            stopNotifier.setEnabled(false); // the next one is the records' wait's to see
            m_main->cmdEnd_Click();
        }
    });
    if (m_reader) {
        m_main->show();
        m_script->startReading(
            [this](int code) {
                if (code == 2 && m_scriptError) {
                    reportScriptError(m_scriptName, *m_scriptError);
                }
                m_main->cmdEnd_Click();
            },
            [this] {
                std::fprintf(stderr, "zelcor: waiting for line %d of the script on %s\n",
                             m_reader->nextLineNumber(), qPrintable(m_scriptName));
            });
        m_reader->start();
    } else if (m_script) {
        // Every name is checked before the first line runs.
        if (auto error = m_script->check(m_scriptLines)) {
            reportScriptError(m_scriptName, *error);
            return 2;
        }
        m_main->show();
        // The script's end ends the program as End does.
        m_script->start(std::move(m_scriptLines), [this](int) { m_main->cmdEnd_Click(); });
    } else {
        m_main->show();
    }
    const int code = QApplication::exec();
    finishRecords(m_ended ? m_exitCode : code);
    return m_ended ? m_exitCode : code;
}

void Application::finishRecords(int exitCode) {
    if (!m_recordWriter) {
        return;
    }
    m_recordsEnding = true;
    const auto end = m_recordWriter->finish(records::kRecordsEndWait, StopSignalFd());
    if (end != records::RecordWriter::End::Done) {
        // What the database had not taken is in the spool; the writer's thread may still wait
        // for the server, and nothing may wait for it now.
        if (const int signal = TakeStopSignal(); signal != 0) {
            exitCode = kExitSignalBase + signal;
        }
        std::fflush(nullptr);
        std::_Exit(exitCode);
    }
}

void Application::endProgram() {
    m_ended = true;
    if (m_script) {
        m_exitCode = m_script->programEnded();
    }
    if (m_stopSignal != 0) {
        m_exitCode = kExitSignalBase + m_stopSignal;
    }
    std::cout.flush();
    std::fflush(stdout);
    std::fflush(stderr);
    if (m_clock.waitDepth() > 0) {
        // "End" pressed while an exchange or a delay waits: unwinding those handlers would
        // go on talking to the instrument, so the program stops here, as it promised. The
        // records of the jobs that have ended are written (or spooled) first.
        finishRecords(m_exitCode);
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
    ScriptInput script;
    if (!options.script.isEmpty()) {
        if (auto error = openScript(options.script, script)) {
            reportScriptError(scriptName(options.script), *error);
            return 2;
        }
    }
    Options resolved = options;
    const QString recordsText = options.records.value_or(qEnvironmentVariable("ZELCOR_RECORDS"));
    std::string recordsError;
    const auto target = records::ParseRecordsTarget(recordsText.toStdString(), recordsError);
    if (!target) {
        std::fprintf(stderr, "zelcor: the records' place %s: %s\n",
                     QuotedInput(records::WithoutPassword(recordsText.toStdString())).c_str(),
                     recordsError.c_str());
        return 2;
    }
    resolved.recordsTarget = *target;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zelcor"));
    // The windows take their texts as they are built: the language comes first.
    QTranslator translator;
    if (!options.language.isEmpty()) {
        if (!LoadLanguage(translator, options.language)) {
            std::fprintf(stderr, "zelcor: the %s texts cannot be loaded\n",
                         qPrintable(options.language));
            return 2;
        }
        QCoreApplication::installTranslator(&translator);
    }
    Application zelcor(resolved, std::move(script));
    return zelcor.run();
}

} // namespace zelcor
