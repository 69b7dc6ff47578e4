// SPDX-License-Identifier: GPL-3.0-or-later
// zelcor-cli history on a SQLite file in a temporary folder: the options, and the records as
// JSON, as lines and as CSV; no port is opened for it.
#include "support/RecordingPort.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/VirtualClock.h"

#include "cli/CliRunner.h"
#include "records/RecordStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QTemporaryDir>

#include <sstream>

namespace zelcor::test {
namespace {

cli::CliOptions Parse(std::vector<std::string> words) {
    words.insert(words.begin(), "zelcor-cli");
    return cli::ParseCliOptions(words);
}

class CliHistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        records::RecordsTarget target;
        target.kind = records::RecordsTarget::Kind::Sqlite;
        target.sqlitePath = path;
        QString error;
        ASSERT_TRUE(records::OpenRecordsDatabase(target, kConnection, error))
            << error.toStdString();
        QSqlDatabase db = QSqlDatabase::database(kConnection, false);
        ServiceRecord a;
        a.id = "a";
        a.time = "2026-03-01T08:00:00.000Z";
        a.wrenchCode = "123456";
        a.job = "Get";
        a.digits = 2;
        a.direction = "CW";
        a.bytesRead = {{0x2B, 0x12}};
        a.run = RecordedRun{3, 150, 900, 1.25, 10.5};
        ServiceRecord b;
        b.id = "b";
        b.time = "2026-03-02T23:59:59.999Z";
        b.durationMs = 420;
        b.wrenchCode = "123456";
        b.job = "Parameter Write";
        b.bytesWritten = {{0x10, 0x05, 0x07}, {0x11, std::nullopt, 0xFF}};
        b.outcome = RecordOutcome::Failed;
        b.failureCode = 1;
        b.message = "Stop, \"now\"\r\nagain";
        b.operatorName = "technician";
        for (const ServiceRecord& r : {a, b}) {
            ASSERT_EQ(records::InsertRecord(db, r, error), records::InsertResult::Written)
                << error.toStdString();
        }
    }
    void TearDown() override { records::CloseRecordsDatabase(kConnection); }

    int run(std::vector<std::string> words) {
        words.insert(words.end(), {"--records", "sqlite:" + path});
        const cli::CliOptions options = Parse(words);
        EXPECT_EQ(options.error, "");
        out.str("");
        err.str("");
        cli::CliContext context{clock,
                                port,
                                boxes,
                                [] { return std::string("4711"); },
                                out,
                                err,
                                false,
                                [](std::size_t) { return std::optional<std::string>(); },
                                [] { return std::string("2026-12-06T23:00:00Z"); },
                                {}};
        cli::CliRunner runner(options, context);
        const int code = runner.run("");
        EXPECT_FALSE(port.isOpen());
        EXPECT_TRUE(port.written().empty());
        return code;
    }

    inline static const QString kConnection = QStringLiteral("cli-history-test");
    QTemporaryDir dir;
    std::string path = dir.filePath(QStringLiteral("records.sqlite")).toStdString();
    VirtualClock clock;
    RecordingPort port{clock};
    ScriptedMessageBoxes boxes;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(CliHistoryTest, JsonIsOneDocumentOfTheRecordsNewestFirst) {
    ASSERT_EQ(run({"history", "--wrench", "123456", "--json"}), cli::kExitDone) << err.str();
    QJsonParseError parsed;
    const QJsonDocument document = QJsonDocument::fromJson(out.str().c_str(), &parsed);
    ASSERT_EQ(parsed.error, QJsonParseError::NoError) << out.str();
    const QJsonArray list = document.object().value("records").toArray();
    ASSERT_EQ(list.size(), 2);
    const QJsonObject b = list[0].toObject();
    EXPECT_EQ(b.value("id").toString(), "b");
    EXPECT_EQ(b.value("outcome").toString(), "failed");
    EXPECT_EQ(b.value("failureCode").toInt(), 1);
    EXPECT_EQ(b.value("message").toString(), "Stop, \"now\"\r\nagain");
    EXPECT_TRUE(b.value("digits").isNull());
    EXPECT_EQ(b.value("bytesWritten").toArray(),
              (QJsonArray{QJsonObject{{"address", "10"},
                                      {"legend", "10H:gStatusEp"},
                                      {"before", "05"},
                                      {"after", "07"}},
                          QJsonObject{{"address", "11"},
                                      {"legend", "11H:gK_CWi_L"},
                                      {"before", QJsonValue()},
                                      {"after", "FF"}}}));
    const QJsonObject a = list[1].toObject();
    EXPECT_EQ(a.value("digits").toInt(), 2);
    EXPECT_TRUE(a.value("failureCode").isNull());
    EXPECT_EQ(a.value("bytesRead").toArray(),
              (QJsonArray{QJsonObject{{"address", "2B"}, {"value", "12"}}}));
    EXPECT_EQ(a.value("run").toObject().value("highest").toDouble(), 10.5);

    // Nothing matches: still one document.
    ASSERT_EQ(run({"history", "--job", "Read", "--json"}), cli::kExitDone);
    EXPECT_EQ(QJsonDocument::fromJson(out.str().c_str()).object().value("records"), QJsonArray());
}

TEST_F(CliHistoryTest, TextIsOneLinePerRecordAndCsvIsTheWindowsExport) {
    ASSERT_EQ(run({"history", "--since", "2026-03-02", "--until", "2026-03-02"}), cli::kExitDone);
    EXPECT_EQ(out.str(), "2026-03-02T23:59:59.999Z\t123456\tParameter Write\tfailed 1\t"
                         "technician\t-\t10:05>07 11:XX>FF\tStop, \"now\"  again\n");

    ASSERT_EQ(run({"history", "--job", "Get", "--until", "2026-03-02", "--csv"}), cli::kExitDone);
    EXPECT_EQ(out.str(), "time,wrench code,factory code,software version,job,direction,digits,"
                         "outcome,failure code,message,station,operator,program,port,duration "
                         "ms,request code,bytes written\r\n"
                         "2026-03-01T08:00:00.000Z,123456,,,Get,CW,2,done,,,,,,,0,,\r\n");

    ASSERT_EQ(run({"history", "--wrench", "ABCDEF"}), cli::kExitDone);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "zelcor-cli: no service record matches\n");
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
