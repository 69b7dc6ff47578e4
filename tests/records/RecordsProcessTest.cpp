// SPDX-License-Identifier: GPL-3.0-or-later
// Both programs as a technician runs them against a simulated wrench of its own (zelcor-sim,
// a process of its own): Get, a parameter Write, Write All FF and Clear Er0 each leave one
// record, zelcor's (a script played) in a SQLite file, zelcor-cli's on the suite's PostgreSQL
// server. Each program has a home, settings and data folder of its own.
#include "records/RecordsFixture.h"

#include "records/RecordQuery.h"

#include <QProcess>

namespace zelcor::test {
namespace {

constexpr int kGuardMs = 120'000; // against a hang, never a measure of speed

// What the factory issues for the simulated wrench (CW, 1 digit): status 02, VIH 60, VIL 50,
// VAH and VAL 00; the checksum summed by hand.
const char* const kNewSet = "00010001/1/00/01/01/05/2017/123456/01/0010/02/60/50/00/00/2392";
const std::string kRequest = "0001 00010001/1/00/01/01/05/2017/123456/01/0010/02/57/53/00/00/2401";
const std::string kGetRead = "0C=20 0D=17 0E=05 0F=01 10=02 11=53 12=57 13=53 14=57 25=00 26=00 "
                             "27=00 28=00 2B=12 2C=34 2D=56";
const std::string kWriteRead = "0C=20 0D=17 0E=05 0F=01 10=02 2B=12 2C=34 2D=56";

// Cells first to last written FF over bytes that were not known.
std::string OverUnknown(int first, int last) {
    std::string text;
    for (int a = first; a <= last; ++a) {
        text += QStringLiteral(" %1:XX>FF").arg(a, 2, 16, QLatin1Char('0')).toUpper().toStdString();
    }
    return text.substr(1);
}

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
    // Runs a program to its end, with a home, settings and data folder of its own.
    void run(const char* program, const QStringList& arguments) {
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
            env.insert(QLatin1String(name), home.filePath(QLatin1String(name)));
        }
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QLatin1String(program), arguments);
        if (!p.waitForFinished(kGuardMs)) {
            p.kill();
            p.waitForFinished();
        }
        EXPECT_TRUE(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            << program << ' ' << arguments.join(' ').toStdString() << '\n'
            << (p.readAllStandardOutput() + p.readAllStandardError()).toStdString();
        // Every record reached its database: none waits in the spool.
        EXPECT_FALSE(QFile::exists(home.filePath("XDG_DATA_HOME/Zelcor/records-spool.sqlite")));
    }
    // Every record of the database, oldest first, as lines; each names its program and port.
    std::vector<std::string> lines(const records::RecordsTarget& target, const char* program) {
        Connection c(target);
        EXPECT_TRUE(c.open()) << c.error();
        std::vector<std::string> lines;
        QSqlDatabase db = c.db();
        for (const std::string& id : c.column("SELECT id FROM service_record ORDER BY time_utc")) {
            QString error;
            const auto r = records::ReadRecord(db, id, error);
            EXPECT_TRUE(r) << id << ' ' << error.toStdString();
            EXPECT_EQ(r->program.substr(0, r->program.find(' ')), program);
            EXPECT_EQ(r->port, link.toStdString());
            lines.push_back(Line(*r));
        }
        return lines;
    }

    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("wrench"));
    QProcess wrench;
};

TEST_F(RecordsEndToEnd, TheWindowsRecordEachJobOnceInSqlite) {
    // Get and Write each ask to be sure first.
    QFile script(dir.filePath(QStringLiteral("jobs.zs")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("click cmdPortOpen\nanswer yes\nclick cmdGetPara\nset txtNewPara "
                                "%1\nanswer yes\nclick cmdWrPara\nclick cmdRs232WRPara\nclick "
                                "cmdWriteAllFF\nclick cmdClrEr0\n")
                     .arg(kNewSet)
                     .toUtf8());
    script.close();
    const records::RecordsTarget target = SqliteTarget(dir);
    run(ZELCOR_BINARY, {"--script", script.fileName(), "--port", link, "--records",
                        QString::fromStdString(records::TargetText(target))});
    EXPECT_EQ(lines(target, "zelcor"),
              (std::vector<std::string>{
                  "Get | 2017 0105 123456 | CW1 | read " + kGetRead + " | wrote  | " + kRequest +
                      " |  | done0",
                  "Parameter Write | 2017 0105 123456 | CW1 | read " + kWriteRead +
                      " | wrote 0C:20>20 0D:17>17 0E:05>05 0F:01>01 10:02>02 11:53>50 12:57>60 "
                      "25:00>00 26:00>00 2B:12>12 2C:34>34 2D:56>56 |   | " +
                      kNewSet + " | done0",
                  "Write All FF | 2017 0105 123456 | - | read  | wrote " + OverUnknown(0x07, 0x0B) +
                      " 0C:20>FF 0D:17>FF 0E:05>FF 0F:01>FF 10:02>FF 11:50>FF 12:60>FF 13:53>FF "
                      "14:57>FF " +
                      OverUnknown(0x15, 0x24) +
                      " 25:00>FF 26:00>FF 27:00>FF 28:00>FF 29:XX>FF 2A:XX>FF 2B:12>FF 2C:34>FF "
                      "2D:56>FF |   |  | done0",
                  "Clear Er0 | FFFF FFFF FFFFFF | - | read 10=FF 23=FF 24=FF | wrote 10:FF>7F "
                  "23:FF>00 24:FF>00 |   |  | done0"}));
}

TEST_F(RecordsEndToEnd, TheCommandLineRecordsEachJobOnceInPostgresql) {
    const auto target = PostgresTarget();
    ASSERT_TRUE(target);
    const QStringList common{"--port", link, "--records",
                             QString::fromStdString(records::TargetText(*target))};
    run(ZELCOR_CLI_BINARY, common + QStringList{"get", "--direction", "cw"});
    run(ZELCOR_CLI_BINARY,
        common + QStringList{"write-params", "--direction", "cw", "--digits", "1", kNewSet});
    run(ZELCOR_CLI_BINARY, common + QStringList{"write-all-ff", "--yes"});
    run(ZELCOR_CLI_BINARY, common + QStringList{"clear-er0"});
    // Each run knows nothing of the wrench before its job: a byte it did not read was unknown,
    // and a wrench it did not read is not named (Write All FF leaves no wrench code to read).
    EXPECT_EQ(lines(*target, "zelcor-cli"),
              (std::vector<std::string>{
                  "zelcor-cli get | 2017 0105 123456 | CW1 | read " + kGetRead + " | wrote  | " +
                      kRequest + " |  | done0",
                  "zelcor-cli write-params | 2017 0105 123456 | CW1 | read " + kWriteRead +
                      " | wrote 0C:20>20 0D:17>17 0E:05>05 0F:01>01 10:02>02 11:XX>50 12:XX>60 "
                      "25:XX>00 26:XX>00 2B:12>12 2C:34>34 2D:56>56 |   | " +
                      kNewSet + " | done0",
                  "zelcor-cli write-all-ff |    | - | read  | wrote " + OverUnknown(0x07, 0x2D) +
                      " |   |  | done0",
                  "zelcor-cli clear-er0 |    | - | read 10=FF 23=FF 24=FF | wrote 10:FF>7F "
                  "23:FF>00 24:FF>00 |   |  | done0"}));
}

} // namespace
} // namespace zelcor::test
