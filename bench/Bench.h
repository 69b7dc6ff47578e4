// SPDX-License-Identifier: GPL-3.0-or-later
// What the parts of zelcor_bench share: the table they fill, the serial line's limits, and
// the main window on the simulated wrench with the clock stamps of both ends of the line.
#pragma once

#include "app/frmRs232SetCmd.h"
#include "platform/MessageBoxes.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "session/WrenchSession.h"
#include "sim/DeviceServer.h"
#include "sim/PtyBridge.h"
#include "wrench/RequestCode.h"
#include "wrench/WrenchMap.h"

#include <QObject>
#include <QPushButton>
#include <QString>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace zelcor::bench {

using Steady = std::chrono::steady_clock;

std::int64_t nowUs();
std::string format(const char* pattern, double value);
// A button of the main window, found by its name as a script finds it.
QPushButton* button(zelcor::frmRs232SetCmd& window, const char* name);
// The process's resident set, in bytes.
long residentBytes();

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

    void print() const;

private:
    static void widen(const Row& r, std::size_t* w);
    static void printRow(const Row& r, const std::size_t* w);

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
                         std::optional<zelcor::sim::DeviceServer::Mode> front = std::nullopt);
    ~ExchangeRig();

    bool open(std::string& error);

    zelcor::frmRs232SetCmd& window() { return *m_window; }
    std::uint8_t peek(std::uint8_t addr0);
    int boxesShown() const { return m_boxes.shown; }
    QString lastBox() const { return m_boxes.last; }

    // Times one exchange, and notes where its time went in `phases`.
    double timeExchange(const std::function<bool()>& exchange, Phases& phases, bool& ok);
    // Times a whole operation (many exchanges).
    double timeOperation(const std::function<void()>& operation);
    // From the last reply byte in to the return of the last operation timed.
    double lastTailMs() const { return m_lastTailMs; }

    // Over every run so far: the gaps between the bytes of each request as the far end saw
    // them, the same gaps as the program wrote them, and how long after its write the far
    // end took each byte off the terminal.
    struct Gaps {
        Spread farReads, farWrites, sentReads, sentWrites, lag;
    };
    Gaps gaps() const;

private:
    static void requestGaps(const std::vector<zelcor::sim::LineByte>& b, Spread& reads,
                            Spread& writes);

    // What the far end saw since the last look.
    struct Seen {
        std::size_t requestBytes = 0;
        std::int64_t lastRequestUs = 0;
        std::int64_t lastReplyUs = 0;
    };

    // Moves what both ends have noted since the last call into the runs' records.
    Seen collect();

    WrenchThread m_wrench;
    std::optional<zelcor::sim::DeviceServer::Mode> m_front;
    zelcor::sim::DeviceServer m_server;
    zelcor::QtClock m_clock;
    StampedPort m_port;
    AnsweringBoxes m_boxes;
    std::unique_ptr<zelcor::WrenchSession> m_session;
    std::unique_ptr<zelcor::frmRs232SetCmd> m_window;
    std::vector<zelcor::sim::LineByte> m_far;
    std::vector<zelcor::sim::LineByte> m_sent;
    double m_lastTailMs = 0;
};

// --- the parts -----------------------------------------------------------------------------

// Link and exchanges (LinkBench.cpp).
void exchanges(Table& table, const Line& line);
void deviceServer(Table& table, const Line& line);
void waitingExchange(Table& table);

// Jobs and windows (JobsBench.cpp).
inline constexpr const char* kFirstShowOption = "--first-show";
// The child process of the start-up part.
int firstShow(int argc, char** argv);
void startup(Table& table);
void cli(Table& table, const Line& line);
void echoBox(Table& table);
void torquePlot(Table& table);
void soak(Table& table, const Line& line, int minutes);

// Service records and their history (RecordsBench.cpp).
void serviceRecords(Table& table, const Line& line);
void historyWindows(Table& table);

} // namespace zelcor::bench
