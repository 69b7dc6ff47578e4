// SPDX-License-Identifier: GPL-3.0-or-later
// The bridge and zelcor-sim on a real pseudo-terminal, in real time: no assertion on durations.
// Every wait ends on its condition or on a generous guard against hanging.
#include "sim/PtyBridge.h"
#include "platform/QtClock.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <termios.h>
#include <unistd.h>

namespace zelcor::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr int kGuardMs = 5000;

// The host end, opened plainly on the terminal as the bridge set it up (raw, 1200 8N2).
int openHost(const std::string& path) {
    return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

// Looks every 10 ms whether `done` holds, until it does or the guard against hanging has
// passed; the events in between (the bridge's among them) have run before each look.
bool waitFor(const std::function<bool()>& done) {
    bool late = false;
    bool met = false;
    QtClock clock;
    auto guard = clock.createTimer([&] { late = true; });
    guard->start(kGuardMs);
    auto poll = clock.createTimer([&] { met = met || done(); });
    poll->start(10, true);
    clock.waitUntil([&] { return late || met; });
    return met;
}

// Writes a request, then looks for `replyLength` bytes of answer every 10 ms. The bridge drops
// a reply that went out to nobody when it sees the next request, so the host reads after that.
Bytes exchange(int host, const Bytes& request, std::size_t replyLength) {
    EXPECT_EQ(::write(host, request.data(), request.size()), ssize_t(request.size()));
    Bytes got;
    waitFor([&] {
        for (std::uint8_t byte = 0; ::read(host, &byte, 1) == 1;) {
            got.push_back(byte);
        }
        return got.size() >= replyLength;
    });
    return got;
}

TEST(PtyBridge, ExchangesSurviveTheHostClosingAndReopening) {
    PtyBridge bridge;
    std::string error;
    ASSERT_TRUE(bridge.start("", error)) << error;
    int host = openHost(bridge.devicePath());
    ASSERT_GE(host, 0);
    EXPECT_EQ(exchange(host, {0xE8, 0x00, 0x30, 0x42}, 3), (Bytes{0x00, 0x30, 0x42}));
    // A request, and the host is gone before the answer: the bridge takes it, puts its five
    // bytes of answer on the line to nobody, and does not give up.
    bridge.recordLine(true);
    exchange(host, {0xC8, 0x00, 0x10}, 0);
    ::close(host);
    EXPECT_TRUE(waitFor([&] {
        return std::count_if(bridge.lineLog().begin(), bridge.lineLog().end(),
                             [](const LineByte& b) { return b.toHost; }) == 5;
    }));
    EXPECT_EQ(bridge.wrench().exchangeCount(), 2);

    // The next host, once it has emptied its input, gets its own answer. (That the bridge
    // drops an answer left unread for long is a matter of real time, not tested here.)
    host = openHost(bridge.devicePath());
    ASSERT_GE(host, 0);
    ::tcflush(host, TCIFLUSH);
    EXPECT_EQ(exchange(host, {0xC8, 0x00, 0x30}, 5), (Bytes{0x00, 0x30, 0xAA, 0x42, 0x42}));
    ::close(host);
}

// zelcor-sim as a user runs it, with its link where an earlier run left a stale one.
TEST(PtyBridge, TheProgramLinksItsDeviceAnswersAndCleansUpOnTerminate) {
    const std::string link =
        std::filesystem::temp_directory_path() / ("zelcor-sim-link-" + std::to_string(::getpid()));
    std::filesystem::remove(link);
    std::filesystem::create_symlink("/nonexistent/old-terminal", link);
    const QTemporaryDir home; // the program's home, never the user's
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.path() + "/.config");
    QProcess sim;
    sim.setProcessEnvironment(environment);
    sim.start(QStringLiteral(ZELCOR_SIM_BINARY), {"--link", QString::fromStdString(link)});
    ASSERT_TRUE(sim.waitForStarted(kGuardMs));
    while (!sim.canReadLine() && sim.waitForReadyRead(kGuardMs)) {
    }
    EXPECT_EQ(sim.readLine().trimmed().toStdString(), link);
    const int host = openHost(link);
    ASSERT_GE(host, 0);
    EXPECT_EQ(exchange(host, {0xC8, 0x00, 0x00}, 2), (Bytes{0x00, 0x00}));
    ::close(host);
    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(kGuardMs));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));

    // Anything but a link in its place is left alone; a bad option is refused.
    { std::ofstream(link) << "keep"; }
    for (const auto& [args, code] :
         {std::pair{QStringList{"--link", QString::fromStdString(link)}, 1},
          {QStringList{"--corrupt"}, 2}}) {
        QProcess refused;
        refused.setProcessEnvironment(environment);
        refused.start(QStringLiteral(ZELCOR_SIM_BINARY), args);
        ASSERT_TRUE(refused.waitForFinished(kGuardMs));
        EXPECT_EQ(refused.exitCode(), code) << args.join(' ').toStdString();
    }
    EXPECT_TRUE(std::filesystem::is_regular_file(link));
    std::filesystem::remove(link);
}

// zelcor-sim with its tester: the maximum cleared on the wrench's terminal brings, a second
// later, the pull's peak as a line on the tester's, and the wrench's biased reading in its
// maximum cells (60 N·m + 6 % = 63.6 N·m: 636 counts, 02 7C).
TEST(PtyBridge, TheProgramsTesterSendsThePeakOfAPullAfterTheMaximumIsCleared) {
    const QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    QProcess sim;
    sim.setProcessEnvironment(environment);
    sim.start(QStringLiteral(ZELCOR_SIM_BINARY), {"--tester", "--pulls", "60", "--bias", "6"});
    ASSERT_TRUE(sim.waitForStarted(kGuardMs));
    std::vector<std::string> devices;
    while (devices.size() < 2 && (sim.canReadLine() || sim.waitForReadyRead(kGuardMs))) {
        while (sim.canReadLine()) {
            devices.push_back(sim.readLine().trimmed().toStdString());
        }
    }
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_NE(devices[0], devices[1]);
    const int wrench = openHost(devices[0]);
    const int tester = openHost(devices[1]);
    ASSERT_GE(wrench, 0);
    ASSERT_GE(tester, 0);
    EXPECT_EQ(exchange(wrench, {0xE8, 0x00, 0x23, 0x00}, 3), (Bytes{0x00, 0x23, 0x00}));
    EXPECT_EQ(exchange(wrench, {0xE8, 0x00, 0x24, 0x00}, 3), (Bytes{0x00, 0x24, 0x00}));
    std::string line;
    EXPECT_TRUE(waitFor([&] {
        for (char c = 0; ::read(tester, &c, 1) == 1;) {
            line.push_back(c);
        }
        return line.ends_with('\n');
    }));
    EXPECT_EQ(line, "+060.00 N.m\r\n");
    EXPECT_EQ(exchange(wrench, {0xC8, 0x00, 0x23}, 5), (Bytes{0x00, 0x23, 0xAA, 0x7C, 0x7C}));
    EXPECT_EQ(exchange(wrench, {0xC8, 0x00, 0x24}, 5), (Bytes{0x00, 0x24, 0xAA, 0x02, 0x02}));
    ::close(wrench);
    ::close(tester);
    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(kGuardMs));
    EXPECT_EQ(sim.exitCode(), 0);
}

} // namespace
} // namespace zelcor::sim
