// SPDX-License-Identifier: GPL-3.0-or-later
// zelcor-cli history on a SQLite file in a temporary folder: the options, and the records as
// JSON, as lines and as CSV; no port is opened for it. certificate, from the same records.
#include "records/RecordsFixture.h"
#include "support/RecordingPort.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/VirtualClock.h"

#include "cli/CliRunner.h"

#include <QFile>
#include <QJsonDocument>

#include <algorithm>
#include <sstream>

namespace zelcor::test {
namespace {

cli::CliOptions Parse(std::vector<std::string> words) {
    words.insert(words.begin(), "zelcor-cli");
    return cli::ParseCliOptions(words);
}

class CliHistoryTest : public ::testing::Test {
protected:
    void SetUp() override { InsertFive(file); }

    int run(std::vector<std::string> words) {
        words.insert(words.end(), {"--records", records::TargetText(target)});
        const cli::CliOptions options = Parse(words);
        EXPECT_EQ(options.error, "");
        out.str("");
        err.str("");
        // No request code, input or port names: history and due ask for none; due asks
        // for today.
        cli::CliContext context{
            clock, port, boxes,
            {},    out,  err,
            false, {},   [] { return std::string("2026-12-07T10:00:00.000Z"); }};
        cli::CliRunner runner(options, context);
        const int code = runner.run("");
        EXPECT_FALSE(port.isOpen());
        EXPECT_TRUE(port.written().empty());
        return code;
    }

    QTemporaryDir dir;
    records::RecordsTarget target = SqliteTarget(dir);
    Connection file{target};
    VirtualClock clock;
    RecordingPort port{clock};
    ScriptedMessageBoxes boxes;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(CliHistoryTest, JsonIsOneDocumentOfTheRecordsNewestFirst) {
    ASSERT_EQ(run({"history", "--wrench", "123456", "--until", "2026-03-02", "--json"}),
              cli::kExitDone)
        << err.str();
    // Every field, newest first, a record at a time in one document.
    EXPECT_EQ(
        out.str(),
        "{\n    \"records\": [\n        "
        R"({"bytesRead":[],"bytesWritten":[{"address":"10","after":"07","before":"05",)"
        R"("legend":"10H:gStatusEp"},{"address":"11","after":"FF","before":null,)"
        R"("legend":"11H:gK_CWi_L"}],"detail":null,"digits":null,"direction":null,)"
        R"("durationMs":420,"factoryCode":null,"failureCode":1,"id":"b",)"
        R"("job":"Parameter Write","message":"Stop, \"now\"\r\nagain","newSet":null,)"
        R"("operator":"technician","outcome":"failed","port":null,"program":null,)"
        R"("requestCode":null,"requestMessage":null,"run":null,"softwareVersion":null,)"
        R"("station":null,"time":"2026-03-02T23:59:59.999Z","verification":null,)"
        R"("wrenchCode":"123456"},)"
        "\n        "
        R"({"bytesRead":[{"address":"2B","value":"12"}],"bytesWritten":[],"detail":null,)"
        R"("digits":2,"direction":"CW","durationMs":0,"factoryCode":null,"failureCode":null,)"
        R"("id":"a","job":"Get","message":null,"newSet":null,"operator":null,"outcome":"done",)"
        R"("port":null,"program":null,"requestCode":null,"requestMessage":null,)"
        R"("run":{"cycles":3,"firstMs":150,"highest":10.5,"lastMs":900,"lowest":1.25},)"
        R"("softwareVersion":null,"station":null,"time":"2026-03-01T08:00:00.000Z",)"
        R"("verification":null,"wrenchCode":"123456"})"
        "\n    ]\n}\n");

    // Nothing matches: still one document.
    ASSERT_EQ(run({"history", "--job", "Write All FF", "--json"}), cli::kExitDone);
    EXPECT_EQ(out.str(), "{\n    \"records\": []\n}\n");
}

TEST_F(CliHistoryTest, TextIsOneLinePerRecordAndCsvIsTheWindowsExport) {
    ASSERT_EQ(run({"history", "--since", "2026-03-02", "--until", "2026-03-02"}), cli::kExitDone);
    // Control characters from the database come out escaped; d names no wrench.
    EXPECT_EQ(out.str(), "2026-03-02T23:59:59.999Z\t123456\tParameter Write\tfailed 1\t"
                         "technician\t-\t10:05>07 11:XX>FF\tStop, \"now\"\\r\\nagain\n"
                         "2026-03-02T12:00:00.000Z\tunknown\tRead\tdone\t-\t-\t-\t-\n");

    // The window's export (its header is HistoryWindowTest's), of the records listed.
    ASSERT_EQ(run({"history", "--job", "Get", "--until", "2026-03-02", "--csv"}), cli::kExitDone);
    EXPECT_EQ(out.str().substr(out.str().find("\r\n") + 2),
              "2026-03-01T08:00:00.000Z,123456,,,Get,CW,2,done,,,,,,,0,,,,\r\n");

    ASSERT_EQ(run({"history", "--wrench", "ABCDEF"}), cli::kExitDone);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "zelcor-cli: no service record matches\n");
}

// One row that is not a record: the others are listed, that one marked with its id and
// why, and the exit code tells of it at the end.
TEST_F(CliHistoryTest, AnUnreadableRecordIsMarkedAndTheOthersListed) {
    file.exec("UPDATE service_record SET bytes_read = 'zz' WHERE id = 'b'");
    EXPECT_EQ(run({"history", "--since", "2026-03-02", "--until", "2026-03-02"}),
              cli::kExitCommFailure);
    EXPECT_EQ(out.str(), "record b: cannot read bytes_read\n"
                         "2026-03-02T12:00:00.000Z\tunknown\tRead\tdone\t-\t-\t-\t-\n");
    const std::string told = "zelcor-cli: 1 record of " + records::TargetText(target) +
                             " cannot be read; the others are listed\n";
    EXPECT_EQ(err.str(), told);

    EXPECT_EQ(run({"history", "--wrench", "123456", "--csv"}), cli::kExitCommFailure);
    const std::string csv = out.str();
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3) << csv; // the header, e and a
    EXPECT_EQ(err.str(), "zelcor-cli: record b: cannot read bytes_read\n" + told);
}

// Today is 2026-12-07 by the program's clock: a failed wrench, an overdue one and one never
// verified come first whatever --within says; a wrench due on the last day of --within is
// kept, one due a day later is not.
TEST_F(CliHistoryTest, DueListsEveryWrenchAndWithinKeepsThoseDueSoon) {
    for (const ServiceRecord& r : {RunRecord("v1", "2026-01-10T08:00:00.000Z", "123456", "passed"),
                                   RunRecord("v2", "2026-11-02T08:00:00.000Z", "ABCDEF", "passed"),
                                   RunRecord("v3", "2025-12-01T08:00:00.000Z", "65A321", "passed"),
                                   RunRecord("v4", "2026-12-06T08:00:00.000Z", "FFFFFF", "failed"),
                                   Listed("n1", "2026-12-07T08:00:00.000Z", "000001", "Get")}) {
        ASSERT_EQ(file.insert(r), records::InsertResult::Written) << file.error();
    }
    ASSERT_EQ(run({"due", "--json"}), cli::kExitDone) << err.str();
    EXPECT_EQ(
        QJsonDocument::fromJson(QByteArray::fromStdString(out.str()))
            .toJson(QJsonDocument::Compact)
            .toStdString(),
        R"({"today":"2026-12-07","wrenches":[)"
        R"({"dueDate":null,"recordId":"v4","state":"failed","time":"2026-12-06T08:00:00.000Z",)"
        R"("verdict":"failed","wrenchCode":"FFFFFF"},)"
        R"({"dueDate":"2026-12-01","recordId":"v3","state":"overdue",)"
        R"("time":"2025-12-01T08:00:00.000Z","verdict":"passed","wrenchCode":"65A321"},)"
        R"({"dueDate":null,"recordId":null,"state":"never verified","time":null,"verdict":null,)"
        R"("wrenchCode":"000001"},)"
        R"({"dueDate":"2027-01-10","recordId":"v1","state":"due",)"
        R"("time":"2026-01-10T08:00:00.000Z","verdict":"passed","wrenchCode":"123456"},)"
        R"({"dueDate":"2027-11-02","recordId":"v2","state":"due",)"
        R"("time":"2026-11-02T08:00:00.000Z","verdict":"passed","wrenchCode":"ABCDEF"}]})");

    ASSERT_EQ(run({"due", "--within", "34"}), cli::kExitDone) << err.str();
    EXPECT_EQ(out.str(), "FFFFFF\tfailed\t-\tfailed\t2026-12-06T08:00:00.000Z\tv4\n"
                         "65A321\toverdue\t2026-12-01\tpassed\t2025-12-01T08:00:00.000Z\tv3\n"
                         "000001\tnever verified\t-\t-\t-\t-\n"
                         "123456\tdue\t2027-01-10\tpassed\t2026-01-10T08:00:00.000Z\tv1\n");
    ASSERT_EQ(run({"due", "--within", "33", "--csv"}), cli::kExitDone) << err.str();
    EXPECT_EQ(out.str(), "wrench code,state,due date,verdict,time,record id\r\n"
                         "FFFFFF,failed,,failed,2026-12-06T08:00:00.000Z,v4\r\n"
                         "65A321,overdue,2026-12-01,passed,2025-12-01T08:00:00.000Z,v3\r\n"
                         "000001,never verified,,,,\r\n");

    EXPECT_EQ(Parse({"due", "--within", "-1"}).error.rfind("--within takes a number of days", 0),
              0u);
}

// A verification run's certificate is written from its record; any other record, or none, is
// bad input and leaves no file.
TEST_F(CliHistoryTest, CertificateOfAVerificationRunAndOfNothingElse) {
    ServiceRecord kept = Listed("7d1e2f30-aaaa-4bbb-8ccc-000000000000", "2026-12-07T09:15:00Z",
                                "12A4F0", "Verification");
    VerificationRun verification;
    verification.settings.maximum = 10;
    verification.settings.pointsPercent = {100};
    verification.settings.readingsPerPoint = 1;
    verification.settings.technician = "Ana Ruiz";
    verification.readings.push_back({"CW", 0, 1, 10, 10.1, 10.0, "+010.00 N.m", false, ""});
    verification.verdict = Verdict::Passed;
    verification.dueDate = "2027-12-07";
    kept.verification = verification;
    ASSERT_EQ(file.insert(kept), records::InsertResult::Written) << file.error();
    ServiceRecord stopped = kept;
    stopped.id = "stopped";
    stopped.verification->stopped = true;
    stopped.verification->verdict = Verdict::None;
    ASSERT_EQ(file.insert(stopped), records::InsertResult::Written) << file.error();

    const QString pdf = dir.filePath(QStringLiteral("certificate.pdf"));
    ASSERT_EQ(run({"certificate", "7d1e2f30-aaaa-4bbb-8ccc-000000000000", "-o", pdf.toStdString()}),
              cli::kExitDone)
        << err.str();
    EXPECT_EQ(out.str(), "certificate ZV-20261207-7D1E2F30AAAA (passed) written to " +
                             pdf.toStdString() + "\n");
    QFile written(pdf);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.read(5) == "%PDF-");
    written.remove();

    // As left at 10:00, after the as-found run above (09:15) and a write between them.
    ServiceRecord write = Listed("w", "2026-12-07T09:30:00.000Z", "12A4F0", "Parameter Write");
    write.bytesWritten = {{0x12, 0x40, 0x44}};
    kept.id = "left";
    kept.time = "2026-12-07T10:00:00.000Z";
    kept.verification->settings.asLeft = true;
    for (const ServiceRecord& r : {write, kept}) {
        ASSERT_EQ(file.insert(r), records::InsertResult::Written) << file.error();
    }
    ASSERT_EQ(run({"certificate", "left", "-o", pdf.toStdString(), "--json"}), cli::kExitDone);
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(out.str())).object();
    EXPECT_EQ(json["asFound"], "ZV-20261207-7D1E2F30AAAA") << out.str();
    EXPECT_EQ(json["writesBetween"], 1) << out.str();
    QFile::remove(pdf);

    const std::pair<std::string, std::string> refused[] = {
        {"a", "zelcor-cli: no certificate: the record a is no verification run\n"},
        {"stopped", "zelcor-cli: no certificate: the record stopped is a run that was stopped "
                    "or did not end with a verdict: it gets no certificate\n"},
        {"zz", "zelcor-cli: there is no service record \"zz\" in " + records::TargetText(target) +
                   " (history --json shows each record's id)\n"},
    };
    for (const auto& [id, told] : refused) {
        EXPECT_EQ(run({"certificate", id, "-o", pdf.toStdString()}), cli::kExitUsage) << id;
        EXPECT_EQ(err.str(), told);
        EXPECT_FALSE(QFile::exists(pdf)) << id;
    }
    EXPECT_EQ(Parse({"certificate", "a"}).error,
              "certificate needs -o FILE.pdf, the file to write");
    EXPECT_EQ(Parse({"history", "-o", "x.pdf"}).error, "history does not take -o");
}

TEST(CliHistoryOptionsTest, WhatHistoryTakesAndRefuses) {
    const cli::CliOptions full = Parse({"--wrench=12ab56", "history", "--job", "Get", "--since",
                                        "2026-01-31", "--until", "2026-02-01", "--csv"});
    EXPECT_EQ(full.error, ""); // no port, no simulator
    EXPECT_EQ(full.filter,
              (records::RecordFilter{"12ab56", "Get", QDate(2026, 1, 31), QDate(2026, 2, 1)}));
    EXPECT_TRUE(full.csv);
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"history", "--wrench", "12345"}, "--wrench takes a wrench code"},
        {{"history", "--since", "2026-02-30"}, "--since takes a day as YYYY-MM-DD"},
        {{"history", "--since", "2026-02-02", "--until", "2026-02-01"}, "--since is a later day"},
        {{"history", "--json", "--csv"}, "--json and --csv exclude each other"},
        {{"dump", "--simulator", "--job", "Get"}, "dump does not take --job"},
    };
    for (const auto& [words, error] : refused) {
        EXPECT_EQ(Parse(words).error.rfind(error, 0), 0u) << Parse(words).error;
    }

    // ZELCOR_RECORDS stands for --records when it is not given.
    qputenv("ZELCOR_RECORDS", "sqlite:/srv/bench/records.sqlite");
    const cli::CliOptions fromEnvironment = Parse({"history"});
    const cli::CliOptions given = Parse({"history", "--records", "off"});
    qputenv("ZELCOR_RECORDS", "nonsense");
    const cli::CliOptions bad = Parse({"history"});
    qunsetenv("ZELCOR_RECORDS");
    EXPECT_EQ(fromEnvironment.recordsTarget.sqlitePath, "/srv/bench/records.sqlite");
    EXPECT_EQ(given.recordsTarget.kind, records::RecordsTarget::Kind::Off);
    EXPECT_EQ(bad.error.rfind("ZELCOR_RECORDS: unknown records target", 0), 0u) << bad.error;
}

} // namespace
} // namespace zelcor::test
