// SPDX-License-Identifier: GPL-3.0-or-later
// Speed and cost figures that tests must not assert, printed as one table against the least
// the serial line allows (or a goal). Run: build/bin/zelcor_bench, or name some of the parts
// to run only those: build/bin/zelcor_bench exchanges network waiting startup cli echo plot
// records history; the live reading's soak runs only when named: soak (10 minutes) or
// soak=MINUTES
//
// The exchanges run the real main window over the real QSerialPort against the simulated
// wrench behind a pseudo-terminal. The pseudo-terminal itself is instant; the wrench keeps
// the line's time: 1200 baud, 8N2, so 11 bits and 9.17 ms a byte in each direction, and it
// starts its reply 2 ms after the last request byte has arrived.
#include "app/frmRs232SetCmd.h"
#include "app/subMain.h"
#include "calibration/TorquePlot.h"
#include "calibration/frmRs232WRCal.h"
#include "history/HistoryWindow.h"
#include "platform/MessageBoxes.h"
#include "platform/ProcessCpu.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "records/RecordQuery.h"
#include "records/RecordStore.h"
#include "records/RecordWriter.h"
#include "records/Recorder.h"
#include "session/WrenchSession.h"
#include "sim/DeviceServer.h"
#include "sim/PtyBridge.h"
#include "widgets/EchoBox.h"

#include <QApplication>
#include <QCollator>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QLineSeries>
#include <QProcess>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <netinet/in.h>
#include <pty.h>
#include <pwd.h>
#include <string>
#include <sys/socket.h>
#include <termios.h>
#include <type_traits>
#include <unistd.h>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;

std::int64_t nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Steady::now().time_since_epoch())
        .count();
}

std::string format(const char* pattern, double value) {
    char text[160];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// A button of the main window, found by its name as a script finds it.
QPushButton* button(zelcor::frmRs232SetCmd& window, const char* name) {
    return window.findChild<QPushButton*>(QString::fromLatin1(name));
}

// --- the table -----------------------------------------------------------------------------

struct Row {
    std::string figure;
    std::string measured;
    std::string limit; // the least the line allows, or the goal
    std::string over;  // how far above the limit
    std::string note;
};

class Table {
public:
    void add(Row row) { m_rows.push_back(std::move(row)); }
    // A row for a figure that has a least possible value.
    void addTimed(const std::string& figure, double measuredMs, double limitMs,
                  const std::string& note) {
        add({figure, format("%.1f ms", measuredMs), format("%.1f ms", limitMs),
             format("%+.1f %%", 100.0 * (measuredMs - limitMs) / limitMs), note});
    }

    void print() const {
        const Row header{"Figure", "Measured", "Limit/goal", "Over", "How / detail"};
        std::size_t w[4] = {};
        widen(header, w);
        for (const Row& r : m_rows) {
            widen(r, w);
        }
        printRow(header, w);
        std::printf("%s\n", std::string(w[0] + w[1] + w[2] + w[3] + 4 * 3 + 12, '-').c_str());
        for (const Row& r : m_rows) {
            printRow(r, w);
        }
    }

private:
    static void widen(const Row& r, std::size_t* w) {
        w[0] = std::max(w[0], r.figure.size());
        w[1] = std::max(w[1], r.measured.size());
        w[2] = std::max(w[2], r.limit.size());
        w[3] = std::max(w[3], r.over.size());
    }
    static void printRow(const Row& r, const std::size_t* w) {
        if (r.measured.empty() && r.limit.empty() && r.over.empty() && r.note.empty()) {
            std::printf("%s\n", r.figure.c_str()); // a heading
            return;
        }
        std::printf("%-*s | %*s | %*s | %*s | %s\n", int(w[0]), r.figure.c_str(), int(w[1]),
                    r.measured.c_str(), int(w[2]), r.limit.c_str(), int(w[3]), r.over.c_str(),
                    r.note.c_str());
    }

    std::vector<Row> m_rows;
};

// --- the line ------------------------------------------------------------------------------

constexpr int kReadPauseMs = 20;
constexpr int kWritePauseMs = 50;
// The cells Read All and Write All FF go through: 07H to 2DH.
constexpr int kTransferCells = zelcor::cells::kLast - zelcor::cells::kFirstTransfer + 1;

struct Line {
    int baudRate = 1200;
    int turnaroundMs = 2; // the wrench's latency: last request bit to first reply bit

    double byteMs() const { return 11 * 1000.0 / baudRate; }

    // The least one exchange can take: each request byte but the last followed by its pause,
    // then the later of the last pause and the answer, which is the last request byte on
    // the line, the wrench's turnaround and the reply on the line.
    double exchangeMs(int requestBytes, int pauseMs, int replyBytes) const {
        const double answer = byteMs() * (1 + replyBytes) + turnaroundMs;
        return (requestBytes - 1) * pauseMs + std::max<double>(pauseMs, answer);
    }
    double readMs() const { return exchangeMs(3, kReadPauseMs, 5); }
    double writeMs() const { return exchangeMs(4, kWritePauseMs, 3); }
    // An operation made of exchanges one after the other.
    double operationMs(int reads, int writes) const {
        return reads * readMs() + writes * writeMs();
    }
    double readAllMs() const { return operationMs(kTransferCells, 0); }
    // Get: its 16 reads, and its own pauses of 20 ms before and 100 ms after them.
    double getMs() const { return operationMs(16, 0) + 120; }
};

// --- exchanges against the simulated wrench ------------------------------------------------

// Every box is answered at once, OK (or Yes, so a confirmation goes ahead), and counted: a
// run that showed any box did not go as measured.
class AnsweringBoxes final : public zelcor::MessageBoxes {
public:
    zelcor::BoxAnswer show(const QString& text, const QString& title, zelcor::BoxIcon,
                           zelcor::BoxButtons buttons) override {
        ++shown;
        last = title + QStringLiteral(": ") +
               QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        return buttons == zelcor::BoxButtons::YesNo ? zelcor::BoxAnswer::Yes
                                                    : zelcor::BoxAnswer::Ok;
    }
    int shown = 0;
    QString last;
};

struct Spread {
    double mean = 0;
    double min = 0;
    double max = 0;
    int count = 0;
    void add(double v) {
        min = count == 0 ? v : std::min(min, v);
        max = count == 0 ? v : std::max(max, v);
        mean = (mean * count + v) / (count + 1);
        ++count;
    }
    std::string text() const {
        char s[96];
        std::snprintf(s, sizeof s, "min %.1f, mean %.1f, max %.1f ms", min, mean, max);
        return s;
    }
};

// The simulated wrench on a thread of its own, as a wrench is a machine of its own: when the
// bridge takes a request byte off the terminal, and when it answers, does not wait for the
// program's event loop. Everything that touches the bridge runs on that thread.
class WrenchThread {
public:
    // Runs `action` with the bridge on the wrench's thread and returns when it is done.
    template <typename Action> auto run(Action action) {
        if constexpr (std::is_void_v<decltype(action())>) {
            QMetaObject::invokeMethod(&m_context, action, Qt::BlockingQueuedConnection);
        } else {
            decltype(action()) result{};
            QMetaObject::invokeMethod(
                &m_context, [&] { result = action(); }, Qt::BlockingQueuedConnection);
            return result;
        }
    }

    explicit WrenchThread(zelcor::sim::WrenchOptions options) {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        run([&] { m_bridge = std::make_unique<zelcor::sim::PtyBridge>(options); });
    }
    ~WrenchThread() {
        run([&] { m_bridge.reset(); });
        m_thread.quit();
        m_thread.wait();
    }
    WrenchThread(const WrenchThread&) = delete;
    WrenchThread& operator=(const WrenchThread&) = delete;

    zelcor::sim::PtyBridge& bridge() { return *m_bridge; } // only inside run()

private:
    QThread m_thread;
    QObject m_context;
    std::unique_ptr<zelcor::sim::PtyBridge> m_bridge;
};

// The real port, noting when each byte was handed to the driver and when the last batch of
// reply bytes came in: the program's side of the line, to set against what the far end saw.
class StampedPort final : public zelcor::SerialPort {
public:
    StampedPort() {
        m_port.setReceiveHandler([this](const std::vector<std::uint8_t>& bytes) {
            lastReceiveUs = nowUs();
            deliver(bytes);
        });
        m_port.setErrorHandler([this](const std::string& message) { reportError(message); });
    }
    bool open(const std::string& portName, const zelcor::SerialSettings& settings,
              std::string& error) override {
        return m_port.open(portName, settings, error);
    }
    void close() override { m_port.close(); }
    bool isOpen() const override { return m_port.isOpen(); }
    bool writeByte(std::uint8_t byte) override {
        const bool ok = m_port.writeByte(byte);
        written.push_back({byte, false, nowUs()});
        return ok;
    }
    int pauseMarginMs() const override { return m_port.pauseMarginMs(); }

    std::vector<zelcor::sim::LineByte> written;
    std::int64_t lastReceiveUs = 0;

private:
    zelcor::QtSerialPort m_port;
};

// Where the time of one kind of exchange went: until the program wrote the first request
// byte, from the first to the last (the pauses), and from the last on: until the far end
// took it, until the far end had put the whole reply on, until the program had it, and until
// the exchange returned.
struct Phases {
    Spread toFirst;
    Spread pauses;
    Spread taken;
    Spread replied;
    Spread in;
    Spread returned;

    // `answerMs`: from the far end taking the last byte to its putting on the reply's last
    // byte, as the line times them.
    std::string text(double pausesMs, double answerMs, double returnMs) const {
        char s[240];
        std::snprintf(s, sizeof s,
                      "call-1st byte %.2f; pauses %.1f (%.0f); after the last byte: far end took "
                      "it %.2f, replied %.1f (%.1f), reply in %.1f, return %.1f (%.1f)",
                      toFirst.mean, pauses.mean, pausesMs, taken.mean, replied.mean,
                      taken.mean + answerMs, in.mean, returned.mean, returnMs);
        return s;
    }
};

// The main window on the real clock and port, opened on the simulated wrench: on its
// terminal, or through ser2net in front of it when `front` names how.
class ExchangeRig {
public:
    explicit ExchangeRig(const Line& line,
                         std::optional<zelcor::sim::DeviceServer::Mode> front = std::nullopt)
        : m_wrench(zelcor::sim::WrenchOptions{.baudRate = line.baudRate,
                                              .turnaroundMs = line.turnaroundMs}),
          m_front(front) {}
    ~ExchangeRig() {
        // The port goes before its far end, so it never sees the wrench vanish.
        m_window.reset();
        m_port.close();
    }

    bool open(std::string& error) {
        std::string path;
        const bool started = m_wrench.run([&] {
            auto& bridge = m_wrench.bridge();
            bridge.recordLine(true);
            const bool ok = bridge.start({}, error);
            path = bridge.devicePath();
            return ok;
        });
        if (!started) {
            return false;
        }
        if (m_front) {
            if (!m_server.start(path, *m_front, error)) {
                return false;
            }
            path = m_server.url();
        }
        m_window = std::make_unique<zelcor::frmRs232SetCmd>(
            zelcor::Platform{m_clock, m_port, m_boxes, [] {}});
        m_window->show();
        m_window->choosePort(QString::fromStdString(path));
        button(*m_window, "cmdPortOpen")->click();
        if (!m_port.isOpen()) {
            error = "could not open " + path;
            return false;
        }
        return true;
    }

    zelcor::frmRs232SetCmd& window() { return *m_window; }
    std::uint8_t peek(std::uint8_t addr0) {
        return m_wrench.run([&] { return m_wrench.bridge().wrench().peek(0x00, addr0); });
    }
    int boxesShown() const { return m_boxes.shown; }
    QString lastBox() const { return m_boxes.last; }

    // Times one exchange, and notes where its time went in `phases`.
    double timeExchange(const std::function<bool()>& exchange, Phases& phases, bool& ok) {
        collect();
        const std::int64_t start = nowUs();
        ok = exchange();
        const std::int64_t end = nowUs();
        const auto sent = m_port.written;
        const Seen seen = collect();
        if (!sent.empty() && seen.requestBytes == sent.size() && seen.lastReplyUs > 0) {
            const auto ms = [&](std::int64_t us) { return (us - sent.back().atUs) / 1000.0; };
            phases.toFirst.add((sent.front().atUs - start) / 1000.0);
            phases.pauses.add((sent.back().atUs - sent.front().atUs) / 1000.0);
            phases.taken.add(ms(seen.lastRequestUs));
            phases.replied.add(ms(seen.lastReplyUs));
            phases.in.add(ms(m_port.lastReceiveUs));
            phases.returned.add(ms(end));
        }
        return (end - start) / 1000.0;
    }
    // Times a whole operation (many exchanges).
    double timeOperation(const std::function<void()>& operation) {
        collect();
        const std::int64_t start = nowUs();
        operation();
        const std::int64_t end = nowUs();
        m_lastTailMs = (end - m_port.lastReceiveUs) / 1000.0;
        collect();
        return (end - start) / 1000.0;
    }
    // From the last reply byte in to the return of the last operation timed.
    double lastTailMs() const { return m_lastTailMs; }

    // Over every run so far: the gaps between the bytes of each request as the far end saw
    // them, the same gaps as the program wrote them, and how long after its write the far
    // end took each byte off the terminal.
    struct Gaps {
        Spread farReads, farWrites, sentReads, sentWrites, lag;
    };
    Gaps gaps() const {
        Gaps g;
        requestGaps(m_far, g.farReads, g.farWrites);
        requestGaps(m_sent, g.sentReads, g.sentWrites);
        if (m_far.size() == m_sent.size()) {
            for (std::size_t i = 0; i < m_far.size(); ++i) {
                g.lag.add((m_far[i].atUs - m_sent[i].atUs) / 1000.0);
            }
        }
        return g;
    }

private:
    static void requestGaps(const std::vector<zelcor::sim::LineByte>& b, Spread& reads,
                            Spread& writes) {
        for (std::size_t i = 0; i < b.size();) {
            const bool read = b[i].value == 0xC8;
            const std::size_t length = read ? 3 : 4;
            if ((!read && b[i].value != 0xE8) || i + length > b.size()) {
                ++i;
                continue;
            }
            for (std::size_t k = i + 1; k < i + length; ++k) {
                (read ? reads : writes).add((b[k].atUs - b[k - 1].atUs) / 1000.0);
            }
            i += length;
        }
    }

    // What the far end saw since the last look.
    struct Seen {
        std::size_t requestBytes = 0;
        std::int64_t lastRequestUs = 0;
        std::int64_t lastReplyUs = 0;
    };

    // Moves what both ends have noted since the last call into the runs' records.
    Seen collect() {
        const auto log = m_wrench.run([&] {
            auto& bridge = m_wrench.bridge();
            auto taken = bridge.lineLog();
            bridge.clearLineLog();
            return taken;
        });
        Seen seen;
        for (const auto& byte : log) {
            if (byte.toHost) {
                seen.lastReplyUs = byte.atUs;
            } else {
                m_far.push_back(byte);
                ++seen.requestBytes;
                seen.lastRequestUs = byte.atUs;
            }
        }
        m_sent.insert(m_sent.end(), m_port.written.begin(), m_port.written.end());
        m_port.written.clear();
        return seen;
    }

    WrenchThread m_wrench;
    std::optional<zelcor::sim::DeviceServer::Mode> m_front;
    zelcor::sim::DeviceServer m_server;
    zelcor::QtClock m_clock;
    StampedPort m_port;
    AnsweringBoxes m_boxes;
    std::unique_ptr<zelcor::frmRs232SetCmd> m_window;
    std::vector<zelcor::sim::LineByte> m_far;
    std::vector<zelcor::sim::LineByte> m_sent;
    double m_lastTailMs = 0;
};

constexpr int kReads = 25;
constexpr int kWrites = 10;
constexpr std::uint8_t kProbeAddr0 = 0x10;

// Times the parameter operations that consist of a known number of exchanges, against the
// sum of their exchanges' limits.
void operations(Table& table, ExchangeRig& rig, const Line& line) {
    auto& session = rig.window().session();
    const int cells = kTransferCells;

    int boxes = rig.boxesShown();
    session.memory().clear();
    for (int i = zelcor::cells::kFirstTransfer; i <= zelcor::cells::kLast; ++i) {
        session.memory().setSelected(i, true);
    }
    const double readAll = rig.timeOperation([&] { session.readCells(); });
    int unread = 0;
    for (int i = zelcor::cells::kFirstTransfer; i <= zelcor::cells::kLast; ++i) {
        unread += session.memory().byte(i) ? 0 : 1;
    }
    table.addTimed("Read All, 39 cells 07H-2DH", readAll, line.readAllMs(),
                   unread == 0 && rig.boxesShown() == boxes
                       ? format("%.1f ms a cell; limit 39 x read", readAll / cells)
                       : "FAILED: cells left unread or a box shown");

    boxes = rig.boxesShown();
    const double writeAllFF = rig.timeOperation([&] { session.writeAllFF(); });
    int notFF = 0;
    for (int i = zelcor::cells::kFirstTransfer; i <= zelcor::cells::kLast; ++i) {
        notFF += rig.peek(static_cast<std::uint8_t>(i)) == 0xFF ? 0 : 1;
    }
    table.addTimed("Write All FF, 39 addresses", writeAllFF, line.operationMs(0, cells),
                   notFF == 0 && rig.boxesShown() == boxes
                       ? format("%.1f ms an address; limit 39 x write", writeAllFF / cells)
                       : "FAILED: an address not written or a box shown");

    boxes = rig.boxesShown();
    const double get = rig.timeOperation([&] { session.getParameterSet(); });
    const std::string request = session.parameterRequest();
    table.addTimed("Get (16 reads)", get, line.getMs(),
                   request.size() == 62 && request.find("XX") == std::string::npos &&
                           rig.boxesShown() == boxes
                       ? "limit 16 x read + its 20 and 100 ms pauses"
                       : "FAILED: the request is incomplete or a box shown");

    // The parameter Write of the request Get handed out: the same wrench takes it back.
    boxes = rig.boxesShown();
    bool written = false;
    const double write =
        rig.timeOperation([&] { written = session.writeParameterSet(request).ok(); });
    table.addTimed("Write (parameters, 8 reads + 12 writes)", write, line.operationMs(8, 12),
                   written && rig.boxesShown() == boxes
                       ? "limit 8 x read + 12 x write"
                       : "FAILED: refused or a box shown: " + rig.lastBox().toStdString());
}

// The read and the write exchange on the local terminal and through ser2net in front of it,
// raw and with COM-PORT-CONTROL, one after the other in the same run, with the shortest pause
// between request bytes as the wrench saw it.
void deviceServer(Table& table, const Line& line) {
    using Mode = zelcor::sim::DeviceServer::Mode;
    const std::pair<const char*, std::optional<Mode>> fronts[] = {
        {"local pseudo-terminal", std::nullopt},
        {"ser2net raw TCP", Mode::Raw},
        {"ser2net RFC 2217", Mode::ComPortControl}};
    for (const auto& [name, front] : fronts) {
        ExchangeRig rig(line, front);
        std::string error;
        if (!rig.open(error)) {
            table.add({std::string("Exchanges, ") + name, "-", "-", "-", "not measured: " + error});
            continue;
        }
        auto& link = rig.window().session().link();
        (void)link.read(0x00, kProbeAddr0); // the first of anything pays for lazy set-up
        Spread reads;
        Spread writes;
        Phases readPhases;
        Phases writePhases;
        int failed = 0;
        for (int i = 0; i < kReads; ++i) {
            bool ok = false;
            reads.add(rig.timeExchange([&] { return link.read(0x00, kProbeAddr0).hasData; },
                                       readPhases, ok));
            failed += ok ? 0 : 1;
        }
        for (int i = 0; i < kWrites; ++i) {
            bool ok = false;
            const auto data = static_cast<std::uint8_t>(0xF0 + i); // FF among them
            writes.add(rig.timeExchange(
                [&] { return link.write(0x00, kProbeAddr0, data) == zelcor::CommResult::Success; },
                writePhases, ok));
            failed += ok ? 0 : 1;
        }
        const auto gaps = rig.gaps();
        const std::string fault = format("FAILED: %.0f exchanges failed", failed);
        table.addTimed(
            format("Read exchange 00 10, mean of %.0f, ", kReads) + name, reads.mean, line.readMs(),
            failed == 0 ? reads.text() + format("; pauses min %.2f written", gaps.sentReads.min) +
                              format(", %.2f at the far end", gaps.farReads.min)
                        : fault);
        const double readAnswer = line.byteMs() + line.turnaroundMs + 5 * line.byteMs();
        table.add(
            {"", "", "", "",
             readPhases.text(2 * kReadPauseMs, readAnswer, line.readMs() - 2 * kReadPauseMs)});
        table.addTimed(format("Write exchange 00 10, mean of %.0f, ", kWrites) + name, writes.mean,
                       line.writeMs(),
                       failed == 0 ? writes.text() +
                                         format("; pauses min %.2f written", gaps.sentWrites.min) +
                                         format(", %.2f at the far end", gaps.farWrites.min)
                                   : fault);
        table.add({"", "", "", "",
                   writePhases.text(3 * kWritePauseMs,
                                    line.byteMs() + line.turnaroundMs + 3 * line.byteMs(),
                                    kWritePauseMs)});
    }
}

void exchanges(Table& table, const Line& line) {
    ExchangeRig rig(line);
    std::string error;
    if (!rig.open(error)) {
        table.add({"Exchanges", "-", "-", "-", "not measured: " + error});
        return;
    }
    auto& link = rig.window().session().link();
    // One exchange first, not counted: the first of anything pays for lazy set-up.
    (void)link.read(0x00, kProbeAddr0);

    Spread reads;
    Phases readPhases;
    int failed = 0;
    for (int i = 0; i < kReads; ++i) {
        bool ok = false;
        reads.add(
            rig.timeExchange([&] { return link.read(0x00, kProbeAddr0).hasData; }, readPhases, ok));
        failed += ok ? 0 : 1;
    }
    // From the far end taking the last byte: that byte on the line, the turnaround, the reply.
    const double readAnswer = line.byteMs() + line.turnaroundMs + 5 * line.byteMs();
    table.addTimed(format("Read exchange 00 10, mean of %.0f", kReads), reads.mean, line.readMs(),
                   failed == 0 ? reads.text() : format("FAILED: %.0f exchanges failed", failed));
    table.add({"", "", "", "",
               readPhases.text(2 * kReadPauseMs, readAnswer, line.readMs() - 2 * kReadPauseMs)});

    Spread writes;
    Phases writePhases;
    failed = 0;
    for (int i = 0; i < kWrites; ++i) {
        bool ok = false;
        const auto data = static_cast<std::uint8_t>(0x40 + i);
        writes.add(rig.timeExchange(
            [&] { return link.write(0x00, kProbeAddr0, data) == zelcor::CommResult::Success; },
            writePhases, ok));
        failed += ok ? 0 : 1;
    }
    table.addTimed(format("Write exchange 00 10, mean of %.0f", kWrites), writes.mean,
                   line.writeMs(),
                   failed == 0 ? writes.text() : format("FAILED: %.0f exchanges failed", failed));
    table.add(
        {"", "", "", "",
         writePhases.text(3 * kWritePauseMs, line.byteMs() + line.turnaroundMs + 3 * line.byteMs(),
                          kWritePauseMs)});

    operations(table, rig, line);

    const auto gaps = rig.gaps();
    const auto gapRow = [&](const char* figure, const Spread& far, const Spread& sent, int goalMs) {
        char note[200];
        std::snprintf(note, sizeof note,
                      "mean %.2f over %d gaps; as the program wrote them: min %.2f, mean %.2f",
                      far.mean, far.count, sent.min, sent.mean);
        table.add({figure, format("%.2f ms", far.min), format(">= %.0f ms", goalMs),
                   far.min >= goalMs ? "met" : format("%.2f short", goalMs - far.min), note});
    };
    gapRow("Shortest read-request pause, far end", gaps.farReads, gaps.sentReads, kReadPauseMs);
    gapRow("Shortest write-request pause, far end", gaps.farWrites, gaps.sentWrites, kWritePauseMs);
    if (gaps.lag.count > 0) {
        table.add({"", "", "", "",
                   format("the far end took each byte off the terminal %.2f ms after its write",
                          gaps.lag.mean) +
                       format(" (max %.2f)", gaps.lag.max)});
    }
    if (rig.boxesShown() > 0) {
        table.add({"", "", "", "",
                   "boxes shown: " + std::to_string(rig.boxesShown()) +
                       ", last: " + rig.lastBox().toStdString()});
    }
}

// --- waiting -------------------------------------------------------------------------------

// A read against a pseudo-terminal whose far end never answers: the program waits the
// whole 3000 ms reply time-out. CPU time over wall time tells whether the wait spins.
void waitingExchange(Table& table) {
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        table.add({"CPU while an exchange waits", "-", "-", "-", "no pseudo-terminal here"});
        return;
    }
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);

    zelcor::Application app{zelcor::Options{}};
    auto& window = app.mainWindow();
    window.choosePort(QString::fromLocal8Bit(name));
    button(window, "cmdPortOpen")->click();
    auto& link = window.session().link();
    if (!link.isOpen()) {
        table.add(
            {"CPU while an exchange waits", "-", "-", "-", std::string("could not open ") + name});
        return;
    }
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = zelcor::ProcessCpuSeconds();
    const int result = zelcor::CommResultCode(link.read(0x00, 0x05).result);
    const double cpu = zelcor::ProcessCpuSeconds() - cpuBefore;
    const double seconds = static_cast<double>(wall.elapsed()) / 1000.0;
    char note[128];
    std::snprintf(note, sizeof note, "silent line, result %d after %.3f s wall, %.3f s CPU", result,
                  seconds, cpu);
    table.add({"CPU while an exchange waits", format("%.2f %%", 100.0 * cpu / seconds), "no spin",
               "", note});
    button(window, "cmdPortClose")->click();
    close(slave);
    close(master);
}

// --- start-up ------------------------------------------------------------------------------

constexpr const char* kFirstShowOption = "--first-show";
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

long residentBytes() {
    long pages = 0;
    long resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

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
            plot.addPoint(std::int64_t{n} * 100, static_cast<std::int16_t>(n % 2000),
                          (n % 80) * 0.85);
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

// --- service records -----------------------------------------------------------------------

using zelcor::records::RecordsTarget;

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string spreadText(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    char s[160];
    std::snprintf(s, sizeof s, "%s%smedian of %zu (%.2f-%.2f ms)", what, *what ? " " : "",
                  ms.size(), ms.front(), ms.back());
    return s;
}

// A record as a parameter Write leaves it: the identity read, twelve bytes written.
zelcor::ServiceRecord sampleRecord() {
    zelcor::ServiceRecord r;
    r.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    r.time = zelcor::records::RecordTimeText(QDateTime::currentDateTimeUtc());
    r.durationMs = 3213;
    r.station = "bench";
    r.operatorName = "technician";
    r.program = "zelcor_bench";
    r.port = "/dev/ttyUSB0";
    r.factoryCode = "2017";
    r.softwareVersion = "0105";
    r.wrenchCode = "123456";
    r.job = "Parameter Write";
    r.direction = "CW";
    r.digits = 1;
    for (const int a : {0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x2B, 0x2C, 0x2D}) {
        r.bytesRead.push_back({a, 0x12});
    }
    for (const int a : {0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x25, 0x26, 0x2B, 0x2C, 0x2D}) {
        r.bytesWritten.push_back({a, 0x12, 0x34});
    }
    r.newSet = "00010001/1/00/01/01/05/2017/123456/01/0010/02/60/50/00/00/2392";
    return r;
}

// A PostgreSQL cluster of the bench's own, started as the records tests start theirs: initdb
// in a temporary folder (owned by "nobody", who runs the server programs, when the bench runs
// as root), trust for the user "zelcor", 127.0.0.1 on a free port; stopped and removed at the
// end. Unlike the tests' server it keeps fsync on: a commit costs what it costs on a server.
class BenchPostgres {
public:
    ~BenchPostgres() {
        if (m_started) {
            std::string error;
            run(QStringLiteral("pg_ctl"),
                {QStringLiteral("stop"), QStringLiteral("-D"), data(), QStringLiteral("-m"),
                 QStringLiteral("fast"), QStringLiteral("-w")},
                error);
        }
    }
    bool start(std::string& error) {
        QDir versions(QStringLiteral("/usr/lib/postgresql"));
        QStringList names = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCollator numeric;
        numeric.setNumericMode(true);
        std::sort(names.begin(), names.end(),
                  [&](const QString& a, const QString& b) { return numeric.compare(a, b) > 0; });
        for (const QString& name : names) {
            const QString bin = versions.filePath(name + QStringLiteral("/bin"));
            if (QFileInfo(bin + QStringLiteral("/initdb")).isExecutable() &&
                QFileInfo(bin + QStringLiteral("/pg_ctl")).isExecutable()) {
                m_bin = bin;
                break;
            }
        }
        if (m_bin.isEmpty()) {
            error = "PostgreSQL's server programs are not installed under "
                    "/usr/lib/postgresql/*/bin (scripts/setup installs them)";
            return false;
        }
        const passwd* nobody = ::getpwnam("nobody");
        if (!m_root.isValid() ||
            (::geteuid() == 0 &&
             (nobody == nullptr || ::chown(QFile::encodeName(m_root.path()).constData(),
                                           nobody->pw_uid, nobody->pw_gid) != 0))) {
            error = "no temporary folder for the server";
            return false;
        }
        m_port = freePort();
        if (!run(QStringLiteral("initdb"),
                 {QStringLiteral("-D"), data(), QStringLiteral("-A"), QStringLiteral("trust"),
                  QStringLiteral("-U"), QStringLiteral("zelcor"), QStringLiteral("-E"),
                  QStringLiteral("UTF8"), QStringLiteral("--no-locale"),
                  QStringLiteral("--no-sync")},
                 error) ||
            m_port == 0) {
            return false;
        }
        m_started = run(QStringLiteral("pg_ctl"),
                        {QStringLiteral("start"), QStringLiteral("-D"), data(),
                         QStringLiteral("-w"), QStringLiteral("-l"),
                         m_root.filePath(QStringLiteral("server.log")), QStringLiteral("-o"),
                         QStringLiteral("-c listen_addresses=127.0.0.1 -c port=%1 -c "
                                        "unix_socket_directories=%2")
                             .arg(m_port)
                             .arg(m_root.path())},
                        error);
        return m_started;
    }
    RecordsTarget target() const {
        RecordsTarget t;
        t.kind = RecordsTarget::Kind::Postgresql;
        t.user = "zelcor";
        t.host = "127.0.0.1";
        t.port = m_port;
        t.database = "postgres";
        return t;
    }

private:
    QString data() const { return m_root.filePath(QStringLiteral("data")); }
    bool run(const QString& program, QStringList arguments, std::string& error) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        arguments.prepend(m_bin + QLatin1Char('/') + program);
        if (::geteuid() == 0) {
            arguments =
                QStringList{QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--")} +
                arguments;
            p.start(QStringLiteral("runuser"), arguments);
        } else {
            p.start(arguments.takeFirst(), arguments);
        }
        if (!p.waitForFinished(120'000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0) {
            error = program.toStdString() + " failed: " + p.readAll().trimmed().toStdString();
            return false;
        }
        return true;
    }
    static int freePort() {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        int port = 0;
        if (s >= 0 && ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port = ntohs(address.sin_port);
        }
        if (s >= 0) {
            ::close(s);
        }
        return port;
    }

    QString m_bin;
    QTemporaryDir m_root{QDir::tempPath() + QStringLiteral("/zelcor-bench-pg-XXXXXX")};
    int m_port = 0;
    bool m_started = false;
};

constexpr int kRecordWrites = 200;

// One record at a time, as the programs write them: submitted to the writer, and flush()
// waiting until its thread has committed it. Then the same through InsertRecord alone, on a
// connection of the bench's own: the database's share.
void recordWrites(Table& table, const char* figure, const RecordsTarget& target,
                  const QString& spool) {
    std::vector<double> writer;
    std::string failure;
    {
        zelcor::records::RecordWriter::Options options;
        options.spoolPath = spool.toStdString();
        options.onFailure = [&failure](const std::string& message) { failure = message; };
        zelcor::records::RecordWriter records(target, options);
        // The first opens the database and brings it to its version: not counted.
        records.submit(sampleRecord());
        records.flush(std::chrono::seconds(30));
        for (int i = 0; i < kRecordWrites; ++i) {
            zelcor::ServiceRecord r = sampleRecord();
            const std::int64_t start = nowUs();
            records.submit(std::move(r));
            records.flush(std::chrono::seconds(30));
            writer.push_back((nowUs() - start) / 1000.0);
        }
    }
    std::vector<double> insert;
    long long stored = -1;
    QString error;
    const QString connection = QStringLiteral("bench-records");
    if (zelcor::records::OpenRecordsDatabase(target, connection, error)) {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        for (int i = 0; i < kRecordWrites; ++i) {
            const zelcor::ServiceRecord r = sampleRecord();
            const std::int64_t start = nowUs();
            const auto result = zelcor::records::InsertRecord(db, r, error);
            insert.push_back((nowUs() - start) / 1000.0);
            if (result != zelcor::records::InsertResult::Written) {
                failure = error.toStdString();
            }
        }
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("SELECT count(*) FROM service_record")) && q.next()) {
            stored = q.value(0).toLongLong();
        }
        q = QSqlQuery();
        db = QSqlDatabase();
        zelcor::records::CloseRecordsDatabase(connection);
    } else {
        failure = error.toStdString();
    }
    const bool ok = failure.empty() && stored == 2 * kRecordWrites + 1 && !QFile::exists(spool);
    table.add({figure, format("%.2f ms", median(writer)), "", "",
               ok ? spreadText("submit to commit through the writer,", writer) + "; " +
                        spreadText("InsertRecord alone", insert)
                  : "FAILED: " + (failure.empty() ? "a record is missing" : failure)});
}

constexpr int kClearPairs = 6;

// Clear Er0 on the simulated wrench (3 reads, 3 writes), recorded and not in turn: the record
// is completed and queued on the windows' thread as the job ends, and written on the writer's
// thread while the next job runs.
void clearWithRecords(Table& table, const Line& line, const QTemporaryDir& folder) {
    ExchangeRig rig(line);
    std::string error;
    if (!rig.open(error)) {
        table.add({"Clear Er0 with records", "-", "-", "-", "not run: " + error});
        return;
    }
    RecordsTarget target;
    target.sqlitePath = folder.filePath(QStringLiteral("clear.sqlite")).toStdString();
    zelcor::records::RecordWriter::Options options;
    options.spoolPath = folder.filePath(QStringLiteral("clear-spool.sqlite")).toStdString();
    auto writer = std::make_unique<zelcor::records::RecordWriter>(target, options);
    zelcor::records::Recorder recorder(
        "zelcor", "bench", [&](zelcor::ServiceRecord r) { writer->submit(std::move(r)); });
    auto& session = rig.window().session();
    // The record's own time on the job's thread: from the session telling of it to its
    // being queued for the writer, timed by a slot before the recorder's and one after.
    std::int64_t toldUs = 0;
    Spread recordMs;
    const auto clear = [&](bool recorded) {
        std::vector<QMetaObject::Connection> c;
        if (recorded) {
            c.push_back(QObject::connect(&session, &zelcor::WrenchSession::jobRecorded,
                                         [&] { toldUs = nowUs(); }));
            c.push_back(QObject::connect(&session, &zelcor::WrenchSession::jobRecorded, &recorder,
                                         &zelcor::records::Recorder::record));
            c.push_back(QObject::connect(&session, &zelcor::WrenchSession::jobRecorded,
                                         [&] { recordMs.add((nowUs() - toldUs) / 1000.0); }));
        }
        const double ms = rig.timeOperation([&] { session.clearEr0(); });
        for (const auto& connection : c) {
            QObject::disconnect(connection);
        }
        return ms;
    };
    clear(true); // opens the database; not counted
    recordMs = Spread();
    Spread on, off, tailOn, tailOff;
    for (int i = 0; i < 2 * kClearPairs; ++i) {
        const bool recorded = (i % 4 == 0 || i % 4 == 3); // on, off, off, on, ...
        (recorded ? on : off).add(clear(recorded));
        (recorded ? tailOn : tailOff).add(rig.lastTailMs());
    }
    writer->flush(std::chrono::seconds(30));
    writer.reset();
    long long stored = -1;
    QString openError;
    if (zelcor::records::OpenRecordsDatabase(target, QStringLiteral("bench-clear"), openError)) {
        {
            QSqlQuery q(QSqlDatabase::database(QStringLiteral("bench-clear"), false));
            if (q.exec(QStringLiteral("SELECT count(*) FROM service_record WHERE job = 'Clear "
                                      "Er0' AND outcome = 'done'")) &&
                q.next()) {
                stored = q.value(0).toLongLong();
            }
        }
        zelcor::records::CloseRecordsDatabase(QStringLiteral("bench-clear"));
    }
    const bool ok = stored == kClearPairs + 1 && rig.boxesShown() == 0;
    char note[240];
    std::snprintf(note, sizeof note,
                  "mean of %d each, in turn; last reply byte in to the job's return: %.2f ms "
                  "with, %.2f ms without (max %.2f / %.2f); the record's own part of it %.3f ms "
                  "(max %.3f)",
                  kClearPairs, tailOn.mean, tailOff.mean, tailOn.max, tailOff.max, recordMs.mean,
                  recordMs.max);
    table.add(
        {"Clear Er0 with records on, SQLite", format("%.1f ms", on.mean),
         format("%.1f ms off", off.mean), format("%+.2f %%", 100 * (on.mean / off.mean - 1)),
         ok ? note : "FAILED: a record missing or a box shown: " + rig.lastBox().toStdString()});
}

constexpr int kHistoryRecords = 1'000'000;
constexpr int kHistoryWrenches = 2000;
constexpr int kHistoryRuns = 5;

QString historyWrench(int k) {
    return QString::number(100000 + 37 * k);
}

// A new SQLite file with the program's schema (made by opening it once) and `count` records:
// one transaction of one prepared statement, no journal and no syncing while it fills. A
// record every 90 s from 2023 on, over kHistoryWrenches wrenches and twelve jobs; ids are
// UUIDs as the recorder makes them. Written bytes are left out: the list never reads them.
bool fillRecords(const RecordsTarget& target, int count, std::string& error) {
    QString e;
    if (!zelcor::records::OpenRecordsDatabase(target, QStringLiteral("bench-fill"), e)) {
        error = e.toStdString();
        return false;
    }
    zelcor::records::CloseRecordsDatabase(QStringLiteral("bench-fill"));
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "bench-fill");
        db.setDatabaseName(QString::fromStdString(target.sqlitePath));
        QSqlQuery q(db);
        ok = db.open() && q.exec(QStringLiteral("PRAGMA journal_mode=OFF")) &&
             q.exec(QStringLiteral("PRAGMA synchronous=OFF")) &&
             q.exec(QStringLiteral("PRAGMA cache_size=-400000")) && db.transaction() &&
             q.prepare(QStringLiteral(
                 "INSERT INTO service_record (id, time_utc, duration_ms, station, operator, "
                 "program, port, factory_code, software_version, wrench_code, job, direction, "
                 "digits, bytes_read, outcome) VALUES (?, ?, ?, 'bench-7', 'technician', "
                 "'zelcor 1.3.0', '/dev/ttyUSB0', '2017', '0105', ?, ?, 'CW', 1, ?, ?)"));
        const char* const jobs[] = {"Get",          "Parameter Write", "Read",
                                    "Write",        "Read All",        "Read Max Torque",
                                    "Clear Er0",    "Test Run",        "Live Reading",
                                    "Write All FF", "zelcor-cli dump", "zelcor-cli backup"};
        const QString read = QStringLiteral("0C=20 0D=17 0E=05 0F=01 10=02 11=53 12=57 13=53");
        const QDateTime base(QDate(2023, 1, 1), QTime(0, 0), Qt::UTC);
        for (int i = 0; ok && i < count; ++i) {
            q.bindValue(0, QUuid::createUuid().toString(QUuid::WithoutBraces));
            q.bindValue(1, base.addMSecs(std::int64_t{i} * 90'000 + i % 1000)
                               .toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'")));
            q.bindValue(2, 100 + i % 5000);
            q.bindValue(3, historyWrench(int((std::int64_t{i} * 7919) % kHistoryWrenches)));
            q.bindValue(4, QLatin1String(jobs[(i / 7) % 12]));
            q.bindValue(5, read);
            q.bindValue(6, i % 50 == 0 ? QStringLiteral("failed") : QStringLiteral("done"));
            ok = q.exec();
        }
        ok = ok && db.commit() && q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        if (!ok) {
            error = q.lastError().text().toStdString() + db.lastError().text().toStdString();
        }
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-fill"));
    return ok;
}

// A PostgreSQL database of the bench's server, new, made with `name`: the bench's target
// with that database.
bool newPostgresDatabase(const RecordsTarget& server, const QString& name, RecordsTarget& target,
                         std::string& error) {
    QString e;
    if (!zelcor::records::OpenRecordsDatabase(server, QStringLiteral("bench-create"), e)) {
        error = e.toStdString();
        return false;
    }
    bool ok = false;
    {
        QSqlQuery q(QSqlDatabase::database(QStringLiteral("bench-create"), false));
        ok = q.exec(QStringLiteral("CREATE DATABASE ") + name);
        if (!ok) {
            error = q.lastError().text().toStdString();
        }
    }
    zelcor::records::CloseRecordsDatabase(QStringLiteral("bench-create"));
    target = server;
    target.database = name.toStdString();
    return ok;
}

// The same records as fillRecords, made on the PostgreSQL server in one statement, then
// analysed so that the planner knows them.
bool fillPostgres(const RecordsTarget& target, int count, std::string& error) {
    QString e;
    if (!zelcor::records::OpenRecordsDatabase(target, QStringLiteral("bench-fill"), e)) {
        error = e.toStdString();
        return false;
    }
    bool ok = false;
    {
        QSqlQuery q(QSqlDatabase::database(QStringLiteral("bench-fill"), false));
        // The programs' statement limit is for one record; a million in one statement may
        // take longer.
        ok = q.exec(QStringLiteral("SET statement_timeout = 0")) &&
             q.exec(QStringLiteral(
                        "INSERT INTO service_record (id, time_utc, duration_ms, station, operator, "
                        "program, port, factory_code, software_version, wrench_code, job, "
                        "direction, digits, bytes_read, outcome) SELECT md5(i::text)::uuid::text, "
                        "to_char(timestamp '2023-01-01' + i * interval '90 s' + (i % 1000) * "
                        "interval '1 ms', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), 100 + i % 5000, "
                        "'bench-7', 'technician', 'zelcor 1.3.0', '/dev/ttyUSB0', '2017', '0105', "
                        "(100000 + 37 * ((i::bigint * 7919) % %1))::text, (ARRAY['Get', "
                        "'Parameter Write', 'Read', 'Write', 'Read All', 'Read Max Torque', "
                        "'Clear Er0', 'Test Run', 'Live Reading', 'Write All FF', "
                        "'zelcor-cli dump', 'zelcor-cli backup'])[(i / 7) % 12 + 1], 'CW', 1, "
                        "'0C=20 0D=17 0E=05 0F=01 10=02 11=53 12=57 13=53', CASE WHEN i % 50 = 0 "
                        "THEN 'failed' ELSE 'done' END FROM generate_series(0, %2) AS i")
                        .arg(kHistoryWrenches)
                        .arg(count - 1)) &&
             q.exec(QStringLiteral("ANALYZE service_record"));
        if (!ok) {
            error = q.lastError().text().toStdString();
        }
    }
    zelcor::records::CloseRecordsDatabase(QStringLiteral("bench-fill"));
    return ok;
}

// The History window at 10^6 records: opened (the database opened, the job list and the first
// rows read, painted), then filtered by one wrench, and by one wrench and one job; and the
// resident set with the first screen shown, above a window on an empty database.
void historyWindow(Table& table, const char* kind, const RecordsTarget& empty,
                   const RecordsTarget& target, const std::string& filled) {
    const QString wrench = historyWrench(1234);
    std::vector<double> open, byWrench, byJob;
    int openRows = 0, wrenchRows = 0, jobRows = 0;
    bool ok = true;
    double residentMb = 0;
    for (int run = 0; run < kHistoryRuns; ++run) {
        // The first run measures the resident set: an empty history shown beside it first.
        std::unique_ptr<zelcor::HistoryWindow> none;
        long emptyResident = 0;
        if (run == 0) {
            none = std::make_unique<zelcor::HistoryWindow>(empty, [] { return std::string(); });
            none->show();
            QApplication::processEvents();
            emptyResident = residentBytes();
        }
        zelcor::HistoryWindow window(target, [] { return std::string(); });
        auto* grid = window.findChild<QTableView*>(QStringLiteral("grdRecords"));
        auto* code = window.findChild<QLineEdit*>(QStringLiteral("txtWrenchCode"));
        auto* job = window.findChild<QComboBox*>(QStringLiteral("cmbJob"));
        // Until the list shows its first row, painted.
        const auto shown = [&](const std::function<void()>& change, int& rows) {
            const std::int64_t start = nowUs();
            change();
            QAbstractItemModel* model = grid->model();
            const QString first = model->data(model->index(0, zelcor::records::kColId)).toString();
            QApplication::processEvents();
            const double ms = (nowUs() - start) / 1000.0;
            rows = model->rowCount();
            ok &= !first.isEmpty();
            return ms;
        };
        open.push_back(shown([&] { window.show(); }, openRows));
        if (run == 0) {
            residentMb = (residentBytes() - emptyResident) / 1e6;
            none.reset();
        }
        byWrench.push_back(shown([&] { code->setText(wrench); }, wrenchRows));
        byJob.push_back(
            shown([&] { job->setCurrentIndex(job->findText("Parameter Write")); }, jobRows));
        ok &= grid->model()
                  ->data(grid->model()->index(0, zelcor::records::kColWrenchCode))
                  .toString() == wrench;
    }
    const auto row = [&](const std::string& figure, const std::vector<double>& ms, int rows,
                         const std::string& more) {
        const double m = median(ms);
        table.add({figure, format("%.1f ms", m), "< 100 ms",
                   m < 100 ? "met" : format("%.1f over", m - 100),
                   ok ? spreadText("", ms) + format("; %.0f rows read", rows) + more
                      : "FAILED: the list showed no record or another wrench's"});
    };
    row(std::string("History window, 10^6 records, ") + kind + ": open", open, openRows,
        "; " + filled);
    table.add({"  its resident set above an empty history", format("%.1f MB", residentMb),
               "< 100 MB", residentMb < 100 ? "met" : format("%.1f over", residentMb - 100),
               "first screen shown, measured in the first run"});
    row("  filter by one wrench (500 records)", byWrench, wrenchRows, "");
    row("  and by one job", byJob, jobRows, "");
}

void historyWindows(Table& table) {
    const QTemporaryDir folder;
    RecordsTarget target;
    target.sqlitePath = folder.filePath(QStringLiteral("history.sqlite")).toStdString();
    RecordsTarget empty;
    empty.sqlitePath = folder.filePath(QStringLiteral("empty.sqlite")).toStdString();
    std::string error;
    std::int64_t fillStart = nowUs();
    if (fillRecords(target, kHistoryRecords, error)) {
        const double seconds = (nowUs() - fillStart) / 1e6;
        const double fileMb = QFileInfo(QString::fromStdString(target.sqlitePath)).size() / 1e6;
        historyWindow(table, "SQLite", empty, target,
                      format("filled in %.1f s, ", seconds) + format("%.0f MB", fileMb));
    } else {
        table.add({"History window, 10^6 records, SQLite", "-", "-", "-", "not filled: " + error});
    }

    BenchPostgres server;
    RecordsTarget pgEmpty, pgTarget;
    fillStart = nowUs();
    if (server.start(error) &&
        newPostgresDatabase(server.target(), QStringLiteral("history_empty"), pgEmpty, error) &&
        newPostgresDatabase(server.target(), QStringLiteral("history"), pgTarget, error) &&
        fillPostgres(pgTarget, kHistoryRecords, error)) {
        historyWindow(table, "PostgreSQL", pgEmpty, pgTarget,
                      format("filled in %.1f s on the server", (nowUs() - fillStart) / 1e6));
    } else {
        table.add(
            {"History window, 10^6 records, PostgreSQL", "-", "-", "-", "not measured: " + error});
    }
}

void serviceRecords(Table& table, const Line& line) {
    const QTemporaryDir folder;
    recordWrites(
        table, "Write one record, SQLite file",
        [&] {
            RecordsTarget t;
            t.sqlitePath = folder.filePath(QStringLiteral("one.sqlite")).toStdString();
            return t;
        }(),
        folder.filePath(QStringLiteral("one-spool.sqlite")));
    BenchPostgres server;
    std::string error;
    if (server.start(error)) {
        recordWrites(table, "Write one record, PostgreSQL (local, fsync on)", server.target(),
                     folder.filePath(QStringLiteral("pg-spool.sqlite")));
    } else {
        std::printf("zelcor_bench: records on PostgreSQL not measured: %s\n", error.c_str());
        table.add({"Write one record, PostgreSQL", "-", "", "", "not measured: " + error});
    }
    clearWithRecords(table, line, folder);
}

double loadAverage() {
    double load = -1;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1) {
            load = -1;
        }
        std::fclose(f);
    }
    return load;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (argc > 1 && std::string(argv[1]) == kFirstShowOption) {
        return firstShow(argc, argv);
    }
    QApplication app(argc, argv);
    // Get hands out request codes from the settings, and records go to the data folder by
    // default: the bench's own, not the user's.
    const QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    const double loadBefore = loadAverage();
    const Line line;
    std::printf("zelcor_bench: simulated wrench on a pseudo-terminal, %d baud, 8N2 (11 bits, "
                "%.2f ms a byte), wrench latency %d ms; Qt platform %s\n",
                line.baudRate, line.byteMs(), line.turnaroundMs,
                qgetenv("QT_QPA_PLATFORM").constData());
    std::fflush(stdout);

    // Parts can be named on the command line to run only those; all of them by default.
    const QStringList parts = QCoreApplication::arguments().mid(1);
    Table table;
    // Other work on the machine shows in the figures: each part notes the load it started at.
    const auto part = [&](const char* name, const std::function<void()>& run) {
        if (parts.isEmpty() || parts.contains(QLatin1String(name))) {
            table.add({std::string("(") + name + format(": load average %.2f)", loadAverage()), "",
                       "", "", ""});
            run();
        }
    };
    part("exchanges", [&] { exchanges(table, line); });
    part("network", [&] { deviceServer(table, line); });
    part("waiting", [&] { waitingExchange(table); });
    part("startup", [&] { startup(table); });
    part("cli", [&] { cli(table, line); });
    part("echo", [&] { echoBox(table); });
    part("plot", [&] { torquePlot(table); });
    part("records", [&] { serviceRecords(table, line); });
    part("history", [&] { historyWindows(table); });
    // Long: only when named, as "soak" (10 minutes) or "soak=MINUTES".
    for (const QString& name : parts) {
        if (name == QLatin1String("soak") || name.startsWith(QLatin1String("soak="))) {
            const int minutes = name.contains(QLatin1Char('=')) ? name.section('=', 1).toInt() : 10;
            table.add({format("(soak: load average %.2f)", loadAverage()), "", "", "", ""});
            soak(table, line, std::max(minutes, 1));
        }
    }

    std::printf("\n");
    table.print();
    std::printf("\nLimits: read = 2 x %d ms + last request byte %.2f + latency %d + 5-byte reply "
                "%.2f = %.1f ms;\n        write = 3 x %d ms + max(%d, %.2f + %d + 3 x %.2f) = %.1f "
                "ms. Load average %.2f before, %.2f after (%ld cores).\n",
                kReadPauseMs, line.byteMs(), line.turnaroundMs, 5 * line.byteMs(), line.readMs(),
                kWritePauseMs, kWritePauseMs, line.byteMs(), line.turnaroundMs, line.byteMs(),
                line.writeMs(), loadBefore, loadAverage(), sysconf(_SC_NPROCESSORS_ONLN));
    return 0;
}
