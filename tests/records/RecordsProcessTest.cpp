// SPDX-License-Identifier: GPL-3.0-or-later
// Both programs as a technician runs them against a simulated wrench of its own (zelcor-sim,
// a process of its own): a Get and a Clear Er0 each leave one record, zelcor's (a script
// played) in a SQLite file, zelcor-cli's on the suite's PostgreSQL server. What each job puts
// in its record is the session's tests' (RecordingTest); here, that both programs hand it to
// their database. Each program has a home, settings and data folder of its own.
#include "records/RecordsFixture.h"

#include "records/RecordQuery.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <functional>

namespace zelcor::test {
namespace {

constexpr int kGuardMs = 120'000; // against a hang, never a measure of speed

// The simulated wrench as a Get reads it (CW, 1 digit), and the request it hands out with
// request code 0001; the checksum summed by hand.
const std::string kGetRead = "0C=20 0D=17 0E=05 0F=01 10=02 11=53 12=57 13=53 14=57 25=00 26=00 "
                             "27=00 28=00 2B=12 2C=34 2D=56";
const std::string kRequest = "0001 00010001/1/00/01/01/05/2017/123456/01/0010/02/57/53/00/00/2401";
// Clear Er0 on the same wrench: status 02 has no error flag to clear, the maximum is 0 already.
const std::string kClearEr0 = "read 10=02 23=00 24=00 | wrote 10:02>02 23:00>00 24:00>00";
// zelcor-cli's Clear Er0 reads the wrench code first: each run is a connection of its own.
const std::string kCliClearEr0 = "  123456 | - | read 2B=12 2C=34 2D=56 10=02 23=00 24=00 | "
                                 "wrote 10:02>02 23:00>00 24:00>00";

// A record as one line, without what changes from run to run (id, time, duration, station).
std::string Line(const ServiceRecord& r) {
    return r.job + " | " + r.factoryCode + ' ' + r.softwareVersion + ' ' + r.wrenchCode + " | " +
           r.direction + (r.digits ? std::to_string(*r.digits) : "-") + " | read " +
           records::BytesReadText(r.bytesRead) + " | wrote " +
           records::WrittenBytesText(r.bytesWritten) + " | " + r.requestCode + ' ' +
           r.requestMessage + " | " + r.newSet + " | " + records::OutcomeText(r.outcome) +
           std::to_string(r.failureCode) + r.message;
}

class RecordsEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        wrench.start(QStringLiteral(ZELCOR_SIM_BINARY), {QStringLiteral("--link"), link});
        while (!wrench.canReadLine() && wrench.waitForReadyRead(kGuardMs)) {
        }
        ASSERT_EQ(wrench.readLine().trimmed(), link.toUtf8()) << "zelcor-sim did not start";
    }
    void TearDown() override {
        wrench.terminate();
        wrench.waitForFinished(kGuardMs);
    }
    // Runs a program to its end with its home, settings and data folders in `home`; what it
    // printed, standard error into `err` when given. `meanwhile` acts on it while it runs.
    QByteArray run(const char* program, const QStringList& arguments, const QString& home,
                   int exitCode = 0, QByteArray* err = nullptr,
                   const std::function<void(QProcess&)>& meanwhile = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
            env.insert(QLatin1String(name), home + '/' + QLatin1String(name));
        }
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QLatin1String(program), arguments);
        if (meanwhile) {
            meanwhile(p);
        }
        if (!p.waitForFinished(kGuardMs)) {
            p.kill();
            p.waitForFinished();
        }
        const QByteArray out = p.readAllStandardOutput();
        const QByteArray error = p.readAllStandardError();
        EXPECT_TRUE(p.exitStatus() == QProcess::NormalExit && p.exitCode() == exitCode)
            << program << ' ' << arguments.join(' ').toStdString() << ": " << p.exitCode() << '\n'
            << (out + error).toStdString();
        if (err != nullptr) {
            *err = error;
        }
        return out;
    }
    // SIGTERM, only to a program that runs: a process id of 0 would signal the whole process
    // group, the test runner and the server's watchdog with it.
    static void terminate(QProcess& p) {
        ASSERT_GT(p.processId(), 0) << "the program ended before it was to be stopped";
        ::kill(pid_t(p.processId()), SIGTERM);
    }
    // The same with a home of its own, every record reaching its database: none waits in the
    // spool.
    void run(const char* program, const QStringList& arguments) {
        QTemporaryDir home;
        run(program, arguments, home.path());
        EXPECT_FALSE(QFile::exists(home.filePath("XDG_DATA_HOME/Zelcor/records-spool.sqlite")));
    }
    // Every record of the database, oldest first, as lines; each names its program and port.
    std::vector<std::string> lines(const records::RecordsTarget& target, const char* program) {
        Connection c(target);
        EXPECT_TRUE(c.open()) << c.error();
        std::vector<std::string> lines;
        for (const std::string& id : c.column("SELECT id FROM service_record ORDER BY time_utc")) {
            const ServiceRecord r = c.read(id).value_or(ServiceRecord{});
            EXPECT_EQ(r.program.substr(0, r.program.find(' ')), program);
            EXPECT_EQ(r.port, link.toStdString());
            lines.push_back(Line(r));
        }
        return lines;
    }

    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("wrench"));
    QProcess wrench;
};

TEST_F(RecordsEndToEnd, TheWindowsRecordEachJobOnceInSqlite) {
    // Get asks to be sure first.
    QFile script(dir.filePath(QStringLiteral("jobs.zs")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("click cmdPortOpen\nanswer yes\nclick cmdGetPara\nclick cmdClrEr0\n");
    script.close();
    const records::RecordsTarget target = SqliteTarget(dir);
    run(ZELCOR_BINARY, {"--script", script.fileName(), "--port", link, "--records",
                        QString::fromStdString(records::TargetText(target))});
    // Clear Er0 names the wrench the Get read before it.
    EXPECT_EQ(lines(target, "zelcor"),
              (std::vector<std::string>{"Get | 2017 0105 123456 | CW1 | read " + kGetRead +
                                            " | wrote  | " + kRequest + " |  | done0",
                                        "Clear Er0 | 2017 0105 123456 | - | " + kClearEr0 +
                                            " |   |  | done0"}));
}

TEST_F(RecordsEndToEnd, TheCommandLineRecordsEachJobOnceInPostgresql) {
    const auto target = PostgresTarget();
    ASSERT_TRUE(target);
    const QStringList common{"--port", link, "--records",
                             QString::fromStdString(records::TargetText(*target))};
    run(ZELCOR_CLI_BINARY, common + QStringList{"get", "--direction", "cw"});
    run(ZELCOR_CLI_BINARY, common + QStringList{"clear-er0"});
    // Each run knows nothing of the wrench before its job: clear-er0 reads its code first.
    EXPECT_EQ(
        lines(*target, "zelcor-cli"),
        (std::vector<std::string>{"zelcor-cli get | 2017 0105 123456 | CW1 | read " + kGetRead +
                                      " | wrote  | " + kRequest + " |  | done0",
                                  "zelcor-cli clear-er0 | " + kCliClearEr0 + " |   |  | done0"}));
}

// A record its database could not take waits in the spool; the next history hands it to the
// database first, and lists it.
TEST_F(RecordsEndToEnd, HistoryListsWhatWaitedInTheSpool) {
    const QTemporaryDir home;
    const QString folder = dir.filePath(QStringLiteral("records")); // not there yet
    const records::RecordsTarget target = SqliteTarget(dir, QStringLiteral("records/r.sqlite"));
    const QString place = QString::fromStdString(records::TargetText(target));
    run(ZELCOR_CLI_BINARY, {"--port", link, "--records", place, "clear-er0"}, home.path());
    ASSERT_TRUE(QDir().mkdir(folder));
    const QByteArray listed = run(ZELCOR_CLI_BINARY, {"--records", place, "history"}, home.path());
    EXPECT_TRUE(listed.contains("\t123456\tzelcor-cli clear-er0\tdone\t")) << listed.toStdString();
    EXPECT_TRUE(listed.endsWith("\t10:02>02 23:00>00 24:00>00\t-\n")) << listed.toStdString();
    EXPECT_EQ(
        lines(target, "zelcor-cli"),
        (std::vector<std::string>{"zelcor-cli clear-er0 | " + kCliClearEr0 + " |   |  | done0"}));
}

// A password in the records' address is refused by both programs, and neither shows it.
TEST(RecordsAddressProcess, NeitherProgramShowsAPassword) {
    const QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    for (const char* address : {"postgresql://u:Secret@h/d", "postgresql://u:ab/Secret@h/d",
                                "postgres://u@h/d?password=Secret"}) {
        for (const auto& [program, arguments] :
             {std::pair{ZELCOR_BINARY, QStringList{"--records", address}},
              std::pair{ZELCOR_CLI_BINARY, QStringList{"--records", address, "history"}}}) {
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(QLatin1String(program), arguments);
            ASSERT_TRUE(p.waitForFinished(kGuardMs));
            const QByteArray said = p.readAllStandardOutput() + p.readAllStandardError();
            EXPECT_EQ(p.exitCode(), 2) << program << ' ' << address;
            EXPECT_TRUE(said.contains("***")) << said.toStdString();
            EXPECT_FALSE(said.contains("Secret")) << said.toStdString();
        }
    }
}

// Another session holds the table locked: the end of a job of zelcor-cli, and of zelcor, waits
// no longer than 5 s, or than a SIGTERM lets it (then 143), and leaves the record in the
// spool; history writes them all once the lock is gone.
TEST_F(RecordsEndToEnd, ALockedTableHoldsNeitherTheEndNorTheRecord) {
    const auto target = PostgresTarget();
    ASSERT_TRUE(target);
    Connection locker(*target);
    locker.exec("BEGIN");
    locker.exec("LOCK TABLE service_record");
    const QTemporaryDir home;
    const QStringList common{"--port", link, "--records",
                             QString::fromStdString(records::TargetText(*target))};
    // The end's 5 s, or the server's statement limit of 5 s, whichever comes first: the same.
    const std::string kept = "Service records cannot be written to " +
                             records::TargetText(*target) + " (it did not answer within 5 s).";
    QByteArray err;
    run(ZELCOR_CLI_BINARY, common + QStringList{"clear-er0"}, home.path(), 0, &err);
    EXPECT_TRUE(err.contains(kept)) << err.data();
    // The job's output is printed as it ends. (On a loaded machine the job can outlast the
    // statement limit, and the writer spools the record before the signal comes.)
    run(ZELCOR_CLI_BINARY, common + QStringList{"get", "--direction", "cw"}, home.path(), 143, &err,
        [](QProcess& p) {
            p.waitForReadyRead(kGuardMs);
            terminate(p);
        });
    EXPECT_TRUE(err.contains("(the program was stopped before it answered). They are kept in ") ||
                err.contains("(it did not answer within 5 s). They are kept in "))
        << err.data();
    QFile script(dir.filePath(QStringLiteral("jobs.zs")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("click cmdPortOpen\nclick cmdClrEr0\n");
    script.close();
    run(ZELCOR_BINARY, QStringList{"--script", script.fileName()} + common, home.path(), 0, &err);
    EXPECT_TRUE(err.contains("zelcor: " + kept)) << err.data();
    // SIGTERM, once its job has ended, ends the window program as End does: the record goes
    // to the spool by the end of the wait.
    ASSERT_TRUE(script.open(QIODevice::WriteOnly | QIODevice::Append));
    script.write("print cmdClrEr0\nwait 600000\n");
    script.close();
    run(ZELCOR_BINARY, QStringList{"--script", script.fileName()} + common, home.path(),
        128 + SIGTERM, &err, [](QProcess& p) {
            while (!p.peek(1 << 16).contains("cmdClrEr0 = ") && p.waitForReadyRead(kGuardMs)) {
            }
            terminate(p);
        });
    EXPECT_TRUE(err.contains("zelcor: " + kept)) << err.data();
    EXPECT_EQ(locker.text("SELECT count(*) FROM service_record"), "0");
    locker.exec("ROLLBACK");
    const QByteArray listed = run(ZELCOR_CLI_BINARY, common + QStringList{"history"}, home.path());
    EXPECT_EQ(listed.count('\n'), 4) << listed.data();
    EXPECT_EQ(locker.counts(), "4 records, 9 bytes");
}

// A server that takes the connection and never answers: a job's record is tried once, at its
// end; history and its writer each try once, at the same time.
TEST_F(RecordsEndToEnd, AServerThatNeverAnswersIsWaitedForOnce) {
    const int silent = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(::listen(silent, 16), 0);
    ASSERT_EQ(::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &size), 0);
    // The connections the kernel took for it, never answered.
    const auto taken = [silent] {
        int n = 0;
        for (int c; (c = ::accept(silent, nullptr, nullptr)) >= 0; ++n) {
            ::close(c);
        }
        return n;
    };
    const QTemporaryDir home;
    const QString place =
        QStringLiteral("postgresql://zelcor@127.0.0.1:%1/records").arg(ntohs(address.sin_port));
    run(ZELCOR_CLI_BINARY, {"--port", link, "--records", place, "clear-er0"}, home.path());
    EXPECT_EQ(taken(), 1);
    run(ZELCOR_CLI_BINARY, {"--records", place, "history"}, home.path(), 1);
    EXPECT_EQ(taken(), 2);
    ::close(silent);
}

// The data folder on a full disk (a tmpfs of its own, in a namespace of the test's own): the
// record can be neither written nor kept in the spool, and both programs say so in plain
// words, zelcor-cli with exit 6. A database on the full disk, the spool elsewhere: kept.
TEST_F(RecordsEndToEnd, AFullDiskLosesNoRecordUntold) {
    const QTemporaryDir disk, data;
    QFile script(data.filePath(QStringLiteral("jobs.zs")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("click cmdPortOpen\nclick cmdClrEr0\n");
    script.close();
    const char* const commands =
        R"(mount -t tmpfs -o size=512k tmpfs "$1" && mkdir "$1/home" || exit 9
cat /dev/zero > "$1/fill" 2> /dev/null
export HOME="$1/home" XDG_DATA_HOME="$1/home/data"
"$2" --simulator clear-er0; echo "exit $?"
"$3" --simulator --script "$4/jobs.zs" > /dev/null; echo "exit $?"
XDG_DATA_HOME="$4" "$2" --simulator --records "sqlite:$1/r.sqlite" clear-er0; echo "exit $?")";
    QByteArray err;
    const QByteArray out = run("unshare",
                               {"-Urm", "sh", "-c", commands, "sh", disk.path(), ZELCOR_CLI_BINARY,
                                ZELCOR_BINARY, data.path()},
                               disk.path(), 0, &err);
    EXPECT_EQ(out, "exit 6\nexit 0\nexit 0\n") << err.data();
    const QString lost =
        QStringLiteral("A service record cannot be written to sqlite:%1/home/data/Zelcor/"
                       "records.sqlite (the disk is full) nor kept in the spool %1/home/"
                       "data/Zelcor/records-spool.sqlite (the disk is full): it is lost.\n")
            .arg(disk.path());
    EXPECT_TRUE(err.contains(("zelcor-cli: " + lost).toUtf8())) << err.data();
    EXPECT_TRUE(err.contains(("zelcor: " + lost).toUtf8())) << err.data();
    EXPECT_TRUE(err.contains(QStringLiteral("zelcor-cli: Service records cannot be written to "
                                            "sqlite:%1/r.sqlite (the disk is full). They are "
                                            "kept in %2/Zelcor/records-spool.sqlite")
                                 .arg(disk.path(), data.path())
                                 .toUtf8()))
        << err.data();
}

// ---- verification runs ------------------------------------------------------------------------
// zelcor-sim with its reference tester, as a calibration bench runs zelcor-cli against it: the
// simulated wrench pulls to the standard procedure of a 100 N·m wrench (3 pre-loads at 100,
// then 5 readings at each of 20, 60 and 100 N·m), and the tester sends each true peak.
class VerificationEndToEnd : public RecordsEndToEnd {
protected:
    void SetUp() override {}
    // zelcor-sim and its tester, the wrench reading `bias` % high, with `more` options.
    void startWrench(const QString& bias, const QStringList& more = {}) {
        wrench.start(QStringLiteral(ZELCOR_SIM_BINARY),
                     QStringList{"--link", link, "--tester-link", tester, "--bias", bias} + more);
        QStringList lines;
        while (lines.size() < 2 && wrench.waitForReadyRead(kGuardMs)) {
            while (wrench.canReadLine()) {
                lines.push_back(QString::fromUtf8(wrench.readLine().trimmed()));
            }
        }
        ASSERT_EQ(lines, (QStringList{link, tester})) << "zelcor-sim did not start";
    }
    void stopWrench() {
        wrench.terminate();
        wrench.waitForFinished(kGuardMs);
    }
    // The run against the wrench, as the technician types it; what it printed.
    QByteArray verify(const QString& place, int exitCode, const QString& log,
                      const QStringList& more = {}) {
        const QTemporaryDir home;
        return run(ZELCOR_CLI_BINARY,
                   QStringList{"--port", link, "--records", place, "--log", log, "verify",
                               "--tester-port", tester, "--max", "100", "--tolerance", "4"} +
                       more,
                   home.path(), exitCode);
    }
    // The wrench's cells the program wrote, in order, from its exchange log: the request bytes
    // sent, E8 A1 A0 D for a write, C8 A1 A0 for a read.
    static std::vector<int> written(const QString& log) {
        QFile file(log);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << log.toStdString();
        std::vector<int> sent;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(',');
            if (fields.size() > 2 && fields[1] == "TX") {
                sent.push_back(fields[2].toInt(nullptr, 16));
            }
        }
        std::vector<int> cells;
        for (std::size_t i = 0; i + 2 < sent.size();) {
            if (sent[i] == 0xE8) {
                cells.push_back(sent[i + 2]);
            }
            i += sent[i] == 0xE8 ? 4 : 3;
        }
        return cells;
    }
    // The certificate of the record `id`, as text.
    QString certificate(const QString& place, const QString& id) {
        const QString pdf = dir.filePath(id + QStringLiteral(".pdf"));
        const QTemporaryDir home;
        run(ZELCOR_CLI_BINARY, {"--records", place, "certificate", id, "-o", pdf}, home.path());
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        EXPECT_TRUE(text.waitForFinished(kGuardMs)) << "pdftotext";
        EXPECT_EQ(text.exitCode(), 0) << text.readAllStandardError().toStdString();
        return QString::fromUtf8(text.readAllStandardOutput());
    }
    // The wrench 123456 in `zelcor-cli due --json`.
    QJsonObject due(const QString& place) {
        const QTemporaryDir home;
        const QByteArray out =
            run(ZELCOR_CLI_BINARY, {"--records", place, "due", "--json"}, home.path());
        for (const QJsonValue& v :
             QJsonDocument::fromJson(out).object().value("wrenches").toArray()) {
            if (v.toObject().value("wrenchCode") == QStringLiteral("123456")) {
                return v.toObject();
            }
        }
        ADD_FAILURE() << "wrench 123456 not in the due list: " << out.toStdString();
        return {};
    }
    // The ids of the records, oldest first.
    std::vector<std::string> ids(const records::RecordsTarget& target) {
        Connection c(target);
        EXPECT_TRUE(c.open()) << c.error();
        return c.column("SELECT id FROM service_record ORDER BY time_utc");
    }

    const QString tester = dir.filePath(QStringLiteral("tester"));
    // A passed run is due twelve months after its day (UTC).
    const QString nextYear =
        QDateTime::currentDateTimeUtc().date().addMonths(12).toString(Qt::ISODate);
};

// A wrench reading 6 % high fails (exit 5) and one reading right passes (exit 0); each leaves
// one record, and neither writes any cell but the maximum's two. Every reading is worked out by
// hand: the tester sends 20.00, 60.00 and 100.00 N·m; the wrench keeps 21.2, 63.6 and 106.0
// (+6.00 %) or 20.0, 60.0 and 100.0 (0.00 %).
TEST_F(VerificationEndToEnd, ABiasedWrenchFailsARightOnePassesAndEachRunHasItsCertificate) {
    const records::RecordsTarget target = SqliteTarget(dir);
    const QString place = QString::fromStdString(records::TargetText(target));
    const QString failedLog = dir.filePath(QStringLiteral("failed.csv"));
    const QString passedLog = dir.filePath(QStringLiteral("passed.csv"));
    startWrench(QStringLiteral("6"));
    const QByteArray failed = verify(place, 5, failedLog);
    stopWrench();
    startWrench(QStringLiteral("0"));
    const QByteArray passed = verify(place, 0, passedLog);
    EXPECT_TRUE(failed.contains("verdict: failed")) << failed.toStdString();
    EXPECT_TRUE(passed.contains("verdict: passed")) << passed.toStdString();
    std::vector<int> clears;
    for (int pull = 0; pull < 18; ++pull) {
        clears.insert(clears.end(), {0x23, 0x24});
    }
    EXPECT_EQ(written(failedLog), clears);
    EXPECT_EQ(written(passedLog), clears);

    const std::vector<std::string> runs = ids(target);
    ASSERT_EQ(runs.size(), 2u);
    const QString failedText = certificate(place, QString::fromStdString(runs[0]));
    const QString passedText = certificate(place, QString::fromStdString(runs[1]));
    for (const QString& text : {failedText, passedText}) {
        EXPECT_TRUE(text.contains("123456")) << text.toStdString();
    }
    for (const char* reading : {"21.2", "63.6", "106.0", "20.00", "60.00", "100.00"}) {
        EXPECT_GE(failedText.count(QLatin1String(reading)), 5) << reading;
    }
    EXPECT_GE(failedText.count(QStringLiteral("+6.00 %")), 15);
    EXPECT_GE(failedText.count(QStringLiteral("FAIL")), 4); // each point's and the run's
    EXPECT_FALSE(failedText.contains(nextYear));
    EXPECT_GE(passedText.count(QStringLiteral("0.00 %")), 15);
    EXPECT_GE(passedText.count(QStringLiteral("PASS")), 4);
    EXPECT_FALSE(passedText.contains(QStringLiteral("FAIL")));
    EXPECT_TRUE(passedText.contains(nextYear)) << passedText.toStdString();

    const QJsonObject entry = due(place);
    EXPECT_EQ(entry.value("state").toString(), "due");
    EXPECT_EQ(entry.value("dueDate").toString(), nextYear);
    EXPECT_EQ(entry.value("recordId").toString().toStdString(), runs[1]);
}

// The same on the suite's PostgreSQL server, a short run (one reading at each point, no
// pre-load) with the wrench pulled to the run's own points.
TEST_F(VerificationEndToEnd, APassedRunOnPostgresqlIsDueAYearOn) {
    const auto target = PostgresTarget();
    ASSERT_TRUE(target);
    const QString place = QString::fromStdString(records::TargetText(*target));
    const std::vector<std::string> before = ids(*target);
    startWrench(QStringLiteral("0"), {"--pulls", "20,60,100"});
    verify(place, 0, dir.filePath(QStringLiteral("log.csv")),
           {"--readings", "1", "--preloads", "0"});
    const std::vector<std::string> after = ids(*target);
    ASSERT_EQ(after.size(), before.size() + 1);
    const QJsonObject entry = due(place);
    EXPECT_EQ(entry.value("state").toString(), "due");
    EXPECT_EQ(entry.value("verdict").toString(), "passed");
    EXPECT_EQ(entry.value("dueDate").toString(), nextYear);
    EXPECT_EQ(entry.value("recordId").toString().toStdString(), after.back());
}

} // namespace
} // namespace zelcor::test
