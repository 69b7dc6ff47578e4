// SPDX-License-Identifier: GPL-3.0-or-later
// The link: single exchanges and the parameter operations against the line's limits, on the
// local terminal and through ser2net, and the CPU an exchange takes while it waits.
#include "Bench.h"

#include "app/subMain.h"
#include "platform/ProcessCpu.h"
#include "session/WrenchSession.h"

#include <QElapsedTimer>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace zelcor::bench {

namespace {

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

    // One reading of a verification run beyond the technician's pull: the maximum cleared
    // (23H, 24H) and read back, with the pull's end told the moment it is asked for.
    boxes = rig.boxesShown();
    VerificationSettings settings;
    settings.maximum = 100;
    settings.pointsPercent = {100};
    settings.readingsPerPoint = 1;
    settings.preloads = 0;
    settings.technician = "bench";
    const auto pulled = QObject::connect(&session, &WrenchSession::verificationChanged, [&] {
        if (session.verification().phase == VerifyPhase::Pulling) {
            session.verificationReference(100, "100");
        }
    });
    bool verified = false;
    const double reading = rig.timeOperation([&] { verified = session.verify(settings).ok(); });
    QObject::disconnect(pulled);
    table.addTimed(
        "Verification reading (write 23H, 24H; read 23H, 24H)", reading, line.operationMs(2, 2),
        verified && session.verification().run.readings.size() == 1 && rig.boxesShown() == boxes
            ? "beyond the pull; limit 2 x write + 2 x read"
            : "FAILED: no reading taken or a box shown: " + rig.lastBox().toStdString());
}

} // namespace

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
        auto& session = rig.window().session();
        (void)session.readRegister(0x00, kProbeAddr0); // the first of anything pays for lazy set-up
        Spread reads;
        Spread writes;
        Phases readPhases;
        Phases writePhases;
        int failed = 0;
        for (int i = 0; i < kReads; ++i) {
            bool ok = false;
            reads.add(rig.timeExchange(
                [&] { return session.readRegister(0x00, kProbeAddr0).hasData; }, readPhases, ok));
            failed += ok ? 0 : 1;
        }
        for (int i = 0; i < kWrites; ++i) {
            bool ok = false;
            const auto data = static_cast<std::uint8_t>(0xF0 + i); // FF among them
            writes.add(rig.timeExchange(
                [&] {
                    return session.writeRegister(0x00, kProbeAddr0, data) ==
                           zelcor::CommResult::Success;
                },
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
    auto& session = rig.window().session();
    // One exchange first, not counted: the first of anything pays for lazy set-up.
    (void)session.readRegister(0x00, kProbeAddr0);

    Spread reads;
    Phases readPhases;
    int failed = 0;
    for (int i = 0; i < kReads; ++i) {
        bool ok = false;
        reads.add(rig.timeExchange([&] { return session.readRegister(0x00, kProbeAddr0).hasData; },
                                   readPhases, ok));
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
            [&] {
                return session.writeRegister(0x00, kProbeAddr0, data) ==
                       zelcor::CommResult::Success;
            },
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
    auto& session = window.session();
    if (!session.isOpen()) {
        table.add(
            {"CPU while an exchange waits", "-", "-", "-", std::string("could not open ") + name});
        return;
    }
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = zelcor::ProcessCpuSeconds();
    const int result = zelcor::CommResultCode(session.readRegister(0x00, 0x05).result);
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

} // namespace zelcor::bench
