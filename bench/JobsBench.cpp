// SPDX-License-Identifier: GPL-3.0-or-later
// Jobs and windows: the program's start-up, zelcor-cli runs, the echo box, the torque plot
// and the live reading's soak.
#include "Bench.h"

#include "app/subMain.h"
#include "calibration/TorquePlot.h"
#include "calibration/frmRs232WRCal.h"
#include "platform/ProcessCpu.h"
#include "session/WrenchSession.h"
#include "widgets/EchoBox.h"

#include <QApplication>
#include <QLineSeries>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <malloc.h>
#include <unistd.h>

namespace zelcor::bench {

// --- start-up ------------------------------------------------------------------------------

namespace {

constexpr int kStartups = 5;

// Reports the main window's first paint, then ends the program.
class FirstPaint final : public QObject {
public:
    explicit FirstPaint(std::int64_t builtUs) : m_builtUs(builtUs) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            std::printf("%lld %lld\n", static_cast<long long>(m_builtUs),
                        static_cast<long long>(nowUs()));
            std::fflush(stdout);
            QCoreApplication::exit(0);
        }
        return false;
    }

private:
    std::int64_t m_builtUs;
    bool m_seen = false;
};

} // namespace

// The child: the program as zelcor::Main starts it with no options, up to the first paint of
// its main window. Prints when main() began, when the windows were built and when it painted.
int firstShow(int argc, char** argv) {
    const std::int64_t mainUs = nowUs();
    std::printf("%lld ", static_cast<long long>(mainUs));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zelcor"));
    zelcor::Application program{zelcor::Options{}};
    FirstPaint probe(nowUs());
    program.mainWindow().installEventFilter(&probe);
    return program.run();
}

void startup(Table& table) {
    struct Run {
        double total, toMain, toBuilt;
    };
    std::vector<Run> runs;
    for (int i = 0; i <= kStartups; ++i) {
        QProcess child;
        const std::int64_t start = nowUs();
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(kFirstShowOption)});
        if (!child.waitForFinished(20'000)) {
            child.kill();
            child.waitForFinished();
            break;
        }
        long long mainUs = 0;
        long long builtUs = 0;
        long long paintUs = 0;
        if (std::sscanf(child.readAllStandardOutput().constData(), "%lld %lld %lld", &mainUs,
                        &builtUs, &paintUs) != 3) {
            break;
        }
        if (i > 0) { // the first run only warms the file cache
            runs.push_back({(paintUs - start) / 1000.0, (mainUs - start) / 1000.0,
                            (builtUs - start) / 1000.0});
        }
    }
    if (runs.size() != kStartups) {
        table.add(
            {"Start-up to the first window shown", "-", "-", "-", "the child did not report"});
        return;
    }
    std::sort(runs.begin(), runs.end(),
              [](const Run& a, const Run& b) { return a.total < b.total; });
    const Run& median = runs[runs.size() / 2];
    char note[200];
    std::snprintf(note, sizeof note,
                  "median of %d process starts (%.0f-%.0f): main() at %.0f, windows built at "
                  "%.0f, first paint of the main window",
                  kStartups, runs.front().total, runs.back().total, median.toMain, median.toBuilt);
    table.add(
        {"Start-up to the first window shown", format("%.0f ms", median.total), "", "", note});
}

// --- zelcor-cli ---------------------------------------------------------------------------

namespace {

constexpr int kCliRuns = 3;

// One zelcor-cli run as a process of its own against the simulated wrench, from just before
// the process starts: to the first request byte the wrench took, and to the process's end.
struct CliRun {
    double totalMs = 0;
    double firstByteMs = 0;
    double lastReplyMs = 0; // when the wrench put the last reply byte on the line
    bool ok = false;
};

CliRun runCli(WrenchThread& wrench, const QStringList& arguments,
              const QProcessEnvironment& environment) {
    wrench.run([&] { wrench.bridge().clearLineLog(); });
    QProcess child;
    child.setProcessEnvironment(environment);
    const std::int64_t start = nowUs();
    child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/zelcor-cli"), arguments);
    const bool finished = child.waitForFinished(60'000);
    const std::int64_t end = nowUs();
    if (!finished) {
        child.kill();
        child.waitForFinished();
    }
    const auto log = wrench.run([&] { return wrench.bridge().lineLog(); });
    CliRun run{(end - start) / 1000.0};
    const auto first =
        std::find_if(log.begin(), log.end(), [](const auto& b) { return !b.toHost; });
    const auto last =
        std::find_if(log.rbegin(), log.rend(), [](const auto& b) { return b.toHost; });
    if (first != log.end() && last != log.rend()) {
        run.firstByteMs = (first->atUs - start) / 1000.0;
        run.lastReplyMs = (last->atUs - start) / 1000.0;
    }
    run.ok = finished && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
             child.readAllStandardError().isEmpty() && first != log.end();
    return run;
}

} // namespace

// `zelcor-cli get` and `dump` as a user runs them, each against the least its exchanges take
// on the line, and the time from its start to its first request byte: the goal is 50 ms, and
// Get's own 20 ms pause before its first read. Get hands out request codes from the settings:
// the child gets a home of its own.
void cli(Table& table, const Line& line) {
    WrenchThread wrench(
        zelcor::sim::WrenchOptions{.baudRate = line.baudRate, .turnaroundMs = line.turnaroundMs});
    std::string error;
    std::string device;
    const bool started = wrench.run([&] {
        auto& bridge = wrench.bridge();
        bridge.recordLine(true);
        const bool ok = bridge.start({}, error);
        device = bridge.devicePath();
        return ok;
    });
    const QTemporaryDir home;
    if (!started || !home.isValid()) {
        table.add({"zelcor-cli", "-", "-", "-", "not run: " + error});
        return;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/.config"));
    const QStringList port{QStringLiteral("--port"), QString::fromStdString(device)};
    const struct {
        const char* figure;
        QStringList arguments;
        double limitMs;
        const char* limit;
        double firstByteGoalMs;
    } jobs[] = {
        {"zelcor-cli get --direction cw",
         QStringList{QStringLiteral("get"), QStringLiteral("--direction"), QStringLiteral("cw")} +
             port,
         line.getMs(), "16 x read + 120 ms", 50 + 20},
        {"zelcor-cli dump", QStringList{QStringLiteral("dump")} + port, line.readAllMs(),
         "39 x read", 50}};
    for (const auto& job : jobs) {
        std::vector<CliRun> runs;
        bool ok = true;
        for (int i = 0; i < kCliRuns; ++i) {
            runs.push_back(runCli(wrench, job.arguments, environment));
            ok &= runs.back().ok;
        }
        std::sort(runs.begin(), runs.end(),
                  [](const CliRun& a, const CliRun& b) { return a.totalMs < b.totalMs; });
        const CliRun& median = runs[runs.size() / 2];
        char note[200];
        std::snprintf(note, sizeof note,
                      "median of %d process runs (%.0f-%.0f), limit %s; exit %.1f ms after the "
                      "last reply byte",
                      kCliRuns, runs.front().totalMs, runs.back().totalMs, job.limit,
                      median.totalMs - median.lastReplyMs);
        table.addTimed(job.figure, median.totalMs, job.limitMs,
                       ok ? note : "FAILED: a run did not end with status 0 and nothing on stderr");
        std::sort(runs.begin(), runs.end(),
                  [](const CliRun& a, const CliRun& b) { return a.firstByteMs < b.firstByteMs; });
        const double first = runs[runs.size() / 2].firstByteMs;
        const double goal = job.firstByteGoalMs;
        table.add({"  process start to 1st request byte", format("%.1f ms", first),
                   format("< %.0f ms", goal),
                   first < goal ? "met" : format("%.1f over", first - goal),
                   format("median; %.1f", runs.front().firstByteMs) +
                       format("-%.1f ms, as the wrench took it off the terminal",
                              runs.back().firstByteMs)});
    }
}

// --- the echo box --------------------------------------------------------------------------

namespace {

struct EchoCost {
    double usPerAppend = 0;
    double bytesPerLine = 0;     // growth of the resident set
    double textBytesPerLine = 0; // the box's own copy of its text
};

// Appends `lines` receive-echo lines to a fresh, shown echo box (no repaint in between).
EchoCost echoBoxAppends(int lines) {
    malloc_trim(0); // what earlier boxes freed must not be counted as room for this one
    const long before = residentBytes();
    zelcor::EchoBox box;
    box.show();
    const QString line = QStringLiteral("&H00 &H05 &HAA &H12 &H12 \r\n");
    const std::int64_t start = nowUs();
    for (int i = 0; i < lines; ++i) {
        box.appendText(line);
    }
    const std::int64_t end = nowUs();
    return {static_cast<double>(end - start) / lines,
            static_cast<double>(residentBytes() - before) / lines,
            static_cast<double>(box.text().size()) * sizeof(QChar) / lines};
}

} // namespace

// --- the live reading, for a long time ------------------------------------------------------

// Reading On against the simulated wrench for `minutes`, then Reading OFF: the resident set
// once a minute, the cycles read, the boxes (every failed read shows one) and the CPU used.
void soak(Table& table, const Line& line, int minutes) {
    ExchangeRig rig(line);
    std::string error;
    if (!rig.open(error)) {
        table.add({"Live reading soak", "-", "-", "-", "not run: " + error});
        return;
    }
    auto& window = rig.window();
    std::vector<long> rss;
    QTimer minute;
    QObject::connect(&minute, &QTimer::timeout, [&] {
        rss.push_back(residentBytes());
        std::printf("  soak: minute %zu, resident %.1f MB, %zu torques computed\n", rss.size(),
                    rss.back() / 1e6, window.calibration().plot().samples().size());
        std::fflush(stdout);
        if (static_cast<int>(rss.size()) >= minutes) {
            button(window, "cmdAutoOff")->click();
        }
    });
    minute.start(60'000);
    const int boxesBefore = rig.boxesShown();
    const double cpuBefore = zelcor::ProcessCpuSeconds();
    const std::int64_t start = nowUs();
    button(window, "cmdAutoOn")->click(); // returns when the reading has ended
    const double seconds = static_cast<double>(nowUs() - start) / 1e6;
    const double cpu = zelcor::ProcessCpuSeconds() - cpuBefore;
    const std::size_t cycles = window.calibration().plot().samples().size();
    const int failures = rig.boxesShown() - boxesBefore - 1; // less Get's warning
    table.add({format("Live reading soak, %.0f min", seconds / 60), format("%.0f cycles", cycles),
               "", "",
               format("%.0f ms a cycle (pause 300 ms); ", seconds * 1000 / cycles) +
                   (failures == 0 ? std::string("no failed read")
                                  : format("FAILED: %.0f boxes", failures))});
    if (rss.size() >= 2) {
        table.add({"Soak memory, first to last minute",
                   format("%+.2f MB", (rss.back() - rss.front()) / 1e6), "", "",
                   format("resident %.1f MB after the first minute", rss.front() / 1e6)});
    }
    table.add({"Soak CPU", format("%.2f %%", 100 * cpu / seconds), "", "",
               "of one core, the program with the wrench's thread"});
}

// --- the torque plot -----------------------------------------------------------------------

// Adds 10 000 torque points 100 ms apart (about the fastest a test run computes) to the
// calibration window's plot on the screen, drawing it every 10 points. The curve keeps only
// its last minute, so a late block must cost what an early one does once that is full.
void torquePlot(Table& table) {
    zelcor::TorquePlot plot;
    plot.resize(640, 400);
    plot.show();
    std::vector<double> blockUs;
    for (int block = 0; block < 10; ++block) {
        const std::int64_t start = nowUs();
        for (int i = 0; i < 1000; ++i) {
            const int n = block * 1000 + i;
            plot.addPoint(std::int64_t{n} * 100, (n % 80) * 0.85);
            if (n % 10 == 9) {
                QApplication::processEvents();
            }
        }
        blockUs.push_back(static_cast<double>(nowUs() - start) / 1000);
    }
    // The first block fills the minute the curve shows; from the second on the curve holds
    // as many points at every append.
    table.add({"Torque plot, points 1001-2000", format("%.0f us", blockUs[1]), "", "",
               "per point, drawn every 10 points, the curve full"});
    table.add({"Torque plot, points 9001-10000", format("%.0f us", blockUs.back()), "", "",
               format("per point; %.0f points on the curve, the last 60 s",
                      static_cast<double>(plot.series()->count()))});
}

void echoBox(Table& table) {
    for (const int lines : {100'000, 1'000'000}) {
        const EchoCost cost = echoBoxAppends(lines);
        const std::string size = lines == 100'000 ? "10^5" : "10^6";
        table.add(
            {"Echo box append, " + size + " lines", format("%.2f us", cost.usPerAppend), "", "",
             format("%.1f s in all, one 27-character line each", cost.usPerAppend * lines / 1e6)});
        table.add({"Echo box memory, " + size + " lines", format("%.0f B/line", cost.bytesPerLine),
                   "", "",
                   format("resident set growth; %.0f B/line of it the kept text",
                          cost.textBytesPerLine)});
    }
}

} // namespace zelcor::bench
