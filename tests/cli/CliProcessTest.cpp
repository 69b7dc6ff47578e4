// SPDX-License-Identifier: GPL-3.0-or-later
// zelcor-cli as a user runs it, on a pseudo-terminal to a simulated wrench that lives in this
// process and keeps every byte of the line: Ctrl+C in the middle of a job (what a restore
// does when stopped is CliTest's), a port another program holds, a run with no display. Each run
// has a home and settings folder of its own, so the request codes a get hands out never touch the
// user's. No assertion on durations.
#include "platform/QtClock.h"
#include "records/RecordStore.h"
#include "sim/DeviceServer.h"
#include "sim/PtyBridge.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

namespace zelcor::sim {
namespace {

// The line as exchanges, each "C8 00 10 > 00 10 AA 02 02": the request, then the answer.
std::vector<std::string> exchanges(const std::vector<LineByte>& line) {
    std::vector<std::string> list;
    bool answering = true;
    for (const LineByte& byte : line) {
        if (list.empty() || (!byte.toHost && answering)) {
            list.emplace_back();
        }
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", byte.value);
        const char* gap = list.back().empty() ? "" : byte.toHost && !answering ? " > " : " ";
        list.back() += gap + std::string(hex);
        answering = byte.toHost;
    }
    return list;
}

// A whole read of the cell 07H + i with its whole answer.
bool wholeRead(const std::string& exchange, int i) {
    const QString cell = QString::number(0x07 + i, 16).toUpper().rightJustified(2, '0');
    return QRegularExpression(QStringLiteral("^C8 00 %1 > 00 %1 AA ([0-9A-F]{2}) \\1$").arg(cell))
        .match(QString::fromStdString(exchange))
        .hasMatch();
}

class CliProcess : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(bridge.start("", error)) << error;
        bridge.recordLine(true);
        port = QString::fromStdString(bridge.devicePath());
    }
    // With no display either: zelcor-cli needs none.
    void start(QProcess& child, const QStringList& arguments,
               const QString& program = QStringLiteral(ZELCOR_CLI_BINARY)) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());
        environment.insert("XDG_CONFIG_HOME", home.filePath(".config"));
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            environment.remove(name);
        }
        if (program == QStringLiteral("strace")) {
            // The leak checker cannot run under ptrace; a sanitized build would fail there.
            const QString asan = environment.value("ASAN_OPTIONS");
            environment.insert("ASAN_OPTIONS",
                               asan + (asan.isEmpty() ? "" : ":") + "detect_leaks=0");
        }
        child.setProcessEnvironment(environment);
        child.start(program, arguments);
    }
    // Runs the event loop, the bridge's work among it, until `done` holds or the child has
    // ended; a generous guard against hanging ends it too.
    static bool runUntil(QProcess& child, const std::function<bool()>& done) {
        QtClock clock;
        bool late = false;
        auto guard = clock.createTimer([&] { late = true; });
        guard->start(60'000);
        clock.waitUntil([&] { return late || done() || child.state() == QProcess::NotRunning; });
        return done();
    }
    // Only to a child that runs: a process id of 0 would signal the whole process group.
    static void sendSignal(QProcess& child, int number) {
        ASSERT_GT(child.processId(), 0);
        ::kill(static_cast<pid_t>(child.processId()), number);
    }
    static int finish(QProcess& child) {
        if (!runUntil(child, [&] { return child.state() == QProcess::NotRunning; })) {
            child.kill();
        }
        child.waitForFinished();
        return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    }
    // Runs zelcor-cli to its end. With `when`, Ctrl+C goes to it once an exchange for which
    // `when` holds is under way: its request perhaps not yet whole, its answer not begun.
    int run(const QStringList& arguments,
            const std::function<bool(const std::string&)>& when = nullptr) {
        QProcess child;
        start(child, arguments);
        if (when) {
            EXPECT_TRUE(runUntil(child, [&] {
                line = exchanges(bridge.lineLog());
                return !line.empty() && line.back().find('>') == std::string::npos &&
                       when(line.back());
            }));
            begun = line.size();
            sendSignal(child, SIGINT);
        }
        const int code = finish(child);
        line = exchanges(bridge.lineLog());
        out = QString::fromUtf8(child.readAllStandardOutput());
        err = QString::fromUtf8(child.readAllStandardError());
        return code;
    }

    QTemporaryDir home;
    QTemporaryDir dir;
    PtyBridge bridge;
    QString port;
    std::vector<std::string> line;
    std::size_t begun = 0; // exchanges begun when Ctrl+C was sent
    QString out;
    QString err;
};

TEST_F(CliProcess, CtrlCInADumpEndsAfterTheExchangeUnderWay) {
    EXPECT_EQ(run({"--port", port, "dump"}, [&](auto&) { return line.size() >= 4; }), 130);
    ASSERT_EQ(line.size(), begun) << "a request after the stop";
    for (std::size_t i = 0; i < line.size(); ++i) {
        EXPECT_TRUE(wholeRead(line[i], int(i))) << line[i];
    }
    // Every cell 07H to 2DH is listed, with the byte its read gave, or XX.
    const QStringList rows = out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 39) << out.toStdString();
    EXPECT_TRUE(rows[0].startsWith("07H") && rows[38].startsWith("2DH"));
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const std::string byte = i < qsizetype(begun) ? line[i].substr(line[i].size() - 2) : "XX";
        EXPECT_TRUE(rows[i].endsWith(QString::fromStdString(" " + byte))) << rows[i].toStdString();
    }
}

// Ctrl+C while the wrench leaves a request unanswered: its time-out ends the job, stopped,
// with no retry sent (a request with no answer between runs on in the same exchange).
TEST_F(CliProcess, CtrlCWhileAReplyIsAwaitedSendsNoRetry) {
    bridge.wrench().setFaults({.noReply = true});
    const std::pair<QStringList, qsizetype> rows[] = {{{"dump"}, 3}, {{"preset", "WT-07"}, 4}};
    for (const auto& [words, requestBytes] : rows) {
        SCOPED_TRACE(words.join(' ').toStdString());
        bridge.clearLineLog();
        // Without records no wrench code is read first: the first exchange is the job's own.
        EXPECT_EQ(run(QStringList{"--port", port, "--records", "off"} + words,
                      [](auto&) { return true; }),
                  130);
        ASSERT_EQ(line.size(), 1u);
        EXPECT_EQ(QString::fromStdString(line[0]).split(' ').size(), requestBytes) << line[0];
    }
}

// A port that does not exist is CliTest's and PtyLinkTest's; one held by another program is
// only met here. A first run holds the port until SIGTERM ends it; a second is told who holds it.
TEST_F(CliProcess, APortInUseExitsFourNamingItsHolder) {
    QProcess holder;
    start(holder, {"--port", port, "live"});
    // Its header, then its first reading.
    ASSERT_TRUE(runUntil(holder, [&] { return holder.peek(4096).count('\n') >= 2; }));
    EXPECT_EQ(run({"--port", port, "read", "01", "23"}), 4);
    EXPECT_TRUE(err.contains(port + " is in use by another program (zelcor-cli, process " +
                             QString::number(holder.processId()) + ")"))
        << err.toStdString();
    sendSignal(holder, SIGTERM);
    EXPECT_EQ(finish(holder), 143);
    EXPECT_EQ(holder.readLine(), "time_ms,raw_ad,torque_nm\r\n");
}

TEST_F(CliProcess, RunsWithNoDisplayKeepingItsRequestCodeInItsOwnHome) {
    const QString log = dir.filePath("line.csv");
    for (const char* code : {"0001", "0002"}) {
        ASSERT_EQ(run({"--simulator", "get", "--direction", "cw", "--json", "--log", log}), 0)
            << err.toStdString();
        EXPECT_EQ(QJsonDocument::fromJson(out.toUtf8())["requestCode"], code) << out.toStdString();
    }
    EXPECT_TRUE(QFile::exists(home.filePath(".config/Zelcor/Zelcor.conf")));
    // The simulated wrench comes with its reference tester, each on a terminal of its own.
    ASSERT_EQ(run({"--simulator", "ports"}), 0) << err.toStdString();
    EXPECT_TRUE(out.contains("\tSimulated wrench\t") &&
                out.contains("\tSimulated reference tester\t"))
        << out.toStdString();
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray rows = file.readAll();
    EXPECT_TRUE(rows.startsWith("ms,direction,byte,marker,result\n") && rows.contains(",TX,0xC8,"))
        << rows.toStdString();
}

// The certificate, the one subcommand that starts Qt Gui, needs no display either.
TEST_F(CliProcess, WritesACertificateWithNoDisplay) {
    records::RecordsTarget target; // a SQLite file
    target.sqlitePath = dir.filePath("records.sqlite").toStdString();
    ServiceRecord record;
    record.id = "5e6f7a8b-0000-4000-8000-000000000000";
    record.time = "2026-12-07T09:15:00.000Z";
    record.job = "Verification";
    VerificationRun verification;
    verification.settings.maximum = 10;
    verification.settings.pointsPercent = {100};
    verification.settings.readingsPerPoint = 1;
    verification.settings.technician = "Ana Ruiz";
    verification.readings.push_back({"CW", 0, 1, 10, 10.1, 10.0, "+010.00 N.m", false, ""});
    verification.verdict = Verdict::Passed;
    record.verification = verification;
    {
        QString error;
        ASSERT_TRUE(records::OpenRecordsDatabase(target, "certificate", error))
            << error.toStdString();
        QSqlDatabase db = QSqlDatabase::database("certificate", false);
        EXPECT_EQ(records::InsertRecord(db, record, error), records::InsertResult::Written)
            << error.toStdString();
    }
    records::CloseRecordsDatabase("certificate");
    const QString pdf = dir.filePath("certificate.pdf");
    ASSERT_EQ(run({"--records", QString::fromStdString("sqlite:" + target.sqlitePath),
                   "certificate", QString::fromStdString(record.id), "-o", pdf}),
              0)
        << err.toStdString();
    EXPECT_EQ(out, "certificate ZV-20261207-5E6F7A8B0000 (passed) written to " + pdf + "\n");
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(5) == "%PDF-");
}

// ser2net in front of the wrench's terminal, raw and with COM-PORT-CONTROL: the same requests
// reach the wrench as through the local port, a write lands, and ser2net killed in the middle
// of a dump ends it at once, with no request after the one under way. Each mode has a wrench
// of its own: a request cut short by the kill would still be in the first one.
TEST_F(CliProcess, ThroughADeviceServerTheWrenchSeesWhatALocalPortSends) {
    const QStringList get{"--records", "off", "get", "--direction", "cw"};
    bridge.wrench().poke(0x00, 0x12, 0x5A);
    ASSERT_EQ(run(QStringList{"--port", port} + get), 0) << err.toStdString();
    const std::vector<std::string> local = line;
    ASSERT_EQ(local.size(), 16u);
    for (const auto mode : {DeviceServer::Mode::Raw, DeviceServer::Mode::ComPortControl}) {
        PtyBridge wrench;
        DeviceServer server;
        std::string error;
        ASSERT_TRUE(wrench.start("", error)) << error;
        wrench.recordLine(true);
        wrench.wrench().poke(0x00, 0x12, 0x5A);
        ASSERT_TRUE(server.start(wrench.terminalPath(), mode, error)) << error;
        const QString url = QString::fromStdString(server.url());
        SCOPED_TRACE(url.toStdString());
        const auto runThrough = [&](const QStringList& words) {
            wrench.clearLineLog();
            const int code = run(QStringList{"--port", url} + words);
            line = exchanges(wrench.lineLog());
            return code;
        };

        EXPECT_EQ(runThrough(get), 0) << err.toStdString();
        EXPECT_EQ(line, local);
        EXPECT_EQ(runThrough({"--records", "off", "read", "00", "12"}), 0);
        EXPECT_EQ(out, "5A 00 00\n");
        EXPECT_EQ(line, std::vector<std::string>{"C8 00 12 > 00 12 AA 5A 5A"});
        // FF is the telnet escape: it goes through doubled and comes back single.
        EXPECT_EQ(runThrough({"--records", "off", "write", "00", "10", "FF"}), 0);
        EXPECT_EQ(wrench.wrench().peek(0x00, 0x10), 0xFF);
        EXPECT_EQ(line, std::vector<std::string>{"E8 00 10 FF > 00 10 FF"});

        wrench.clearLineLog();
        QProcess child;
        start(child, {"--port", url, "--records", "off", "dump"});
        ASSERT_TRUE(runUntil(child, [&] { return exchanges(wrench.lineLog()).size() >= 5; }));
        server.kill();
        EXPECT_EQ(finish(child), 1);
        line = exchanges(wrench.lineLog());
        const QString said = QString::fromUtf8(child.readAllStandardError());
        EXPECT_TRUE(said.contains("port has gone away (the connection to " + url.section('/', 2) +
                                  " was lost: the server closed the connection)"))
            << said.toStdString();
        // The cells after the lost one were not tried: XX from where the line ended.
        const QStringList rows =
            QString::fromUtf8(child.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(rows.size(), 39);
        ASSERT_GE(line.size(), 5u);
        ASSERT_LE(line.size(), 6u);
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const qsizetype exchanged = qsizetype(line.size());
            if (i + 1 < exchanged || i >= exchanged) {
                EXPECT_EQ(rows[i].endsWith(" XX"), i >= exchanged) << rows[i].toStdString();
            }
        }
    }
}

// A device server that cannot be reached, and one that will not set the line, are open
// failures naming the address and the reason.
TEST_F(CliProcess, ADeviceServerThatFailsExitsFourSayingWhy) {
    EXPECT_EQ(run({"--port", "tcp://127.0.0.1:1", "read", "00", "10"}), 4);
    EXPECT_TRUE(err.contains("127.0.0.1:1: connection refused")) << err.toStdString();

    // It takes the option, then answers SET-BAUDRATE with 9600 (00 00 25 80).
    QTcpServer refusing;
    ASSERT_TRUE(refusing.listen(QHostAddress::LocalHost));
    QObject::connect(&refusing, &QTcpServer::newConnection, [&] {
        refusing.nextPendingConnection()->write(QByteArray::fromHex("fffd2c"
                                                                    "fffa2c6500002580fff0"));
    });
    const QString url = QStringLiteral("rfc2217://127.0.0.1:%1").arg(refusing.serverPort());
    EXPECT_EQ(run({"--port", url, "read", "00", "10"}), 4);
    EXPECT_TRUE(err.contains("refuses the line settings 1200,N,8,2: it set baud rate 9600 "
                             "instead of 1200"))
        << err.toStdString();
    EXPECT_TRUE(bridge.lineLog().empty());
}

// A USB adapter's driver is asked for low latency once the line is open; a pseudo-terminal has
// no such setting and refuses, and the job goes on. QSerialPort asks the driver about the line
// while it sets the speed: ours is the request after the flush that ends the opening.
TEST_F(CliProcess, ALocalPortsDriverIsAskedForLowLatency) {
    const QString trace = dir.filePath("ioctl.txt");
    QProcess child;
    start(child,
          {"-f", "-e", "trace=ioctl", "-o", trace, ZELCOR_CLI_BINARY, "--port", port, "--records",
           "off", "read", "00", "12"},
          "strace");
    EXPECT_EQ(finish(child), 0) << child.readAllStandardError().toStdString();
    QFile file(trace);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString calls = QString::fromUtf8(file.readAll());
    const qsizetype opened = calls.indexOf("TCFLSH");
    ASSERT_GT(opened, 0) << calls.toStdString();
    EXPECT_GT(calls.indexOf("TIOCGSERIAL", opened), opened) << calls.toStdString();
}

// In real time through the real ports: a wrench 6 % high against the simulated tester on a
// terminal of its own fails the run (exit 5), and nothing but the two maximum cells, each
// cleared before its pull, is written.
TEST_F(CliProcess, VerifyAgainstATesterOnItsOwnTerminalExitsFiveForABiasedWrench) {
    std::string error;
    ASSERT_TRUE(bridge.startTester("", error)) << error;
    PullOptions pulls;
    pulls.targets = {20, 60, 100};
    pulls.biasPercent = 6;
    bridge.wrench().setPulls(pulls);
    EXPECT_EQ(run({"--port", port, "--records", "off", "verify", "--tester-port",
                   QString::fromStdString(bridge.testerDevicePath()), "--max", "100", "--readings",
                   "1", "--preloads", "0", "--technician", "Ada"}),
              5);
    EXPECT_NE(out.indexOf("CW 60.0 N·m: 1 of 1 readings, mean 63.60 N·m against 60.00 N·m"), -1)
        << out.toStdString() << err.toStdString();
    EXPECT_NE(out.indexOf("verdict: failed"), -1);
    std::vector<std::string> writes;
    for (const std::string& exchange : line) {
        if (exchange.rfind("E8", 0) == 0) {
            writes.push_back(exchange.substr(0, 11));
        }
    }
    EXPECT_EQ(writes, (std::vector<std::string>{"E8 00 23 00", "E8 00 24 00", "E8 00 23 00",
                                                "E8 00 24 00", "E8 00 23 00", "E8 00 24 00"}));
}

} // namespace
} // namespace zelcor::sim
