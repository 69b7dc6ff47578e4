// SPDX-License-Identifier: GPL-3.0-or-later
// The history's filters and order on SQLite and on PostgreSQL, the walk over many records a
// page at a time, the jobs listed, the query plans at SQLite, and the CSV rows.
#include "records/RecordsFixture.h"

#include "records/DueList.h"
#include "records/RecordListModel.h"
#include "records/RecordQuery.h"

#include <set>

namespace zelcor::test {
namespace {

using records::RecordFilter;

std::vector<std::string> Ids(QSqlDatabase db, const RecordFilter& filter) {
    std::vector<std::string> ids;
    QString error;
    EXPECT_TRUE(records::ForEachRecord(
        db, filter,
        [&](const ServiceRecord& r) {
            ids.push_back(r.id);
            return true;
        },
        error))
        << error.toStdString();
    // The window's list shows the same records in the same order, read two at a time here
    // so that pages end inside a millisecond (c and e).
    std::vector<std::string> listed;
    std::optional<records::PageStart> after;
    for (int page = 0; page < 5; ++page) {
        std::vector<records::RecordRow> rows;
        EXPECT_TRUE(records::ReadRecordPage(db, filter, after, 2, rows, error))
            << error.toStdString();
        for (const records::RecordRow& row : rows) {
            listed.push_back(row[records::kColId].toString().toStdString());
        }
        if (rows.empty()) {
            break;
        }
        after = records::PageStart{rows.back()[records::kColTime].toString(),
                                   rows.back()[records::kColId].toString()};
    }
    EXPECT_EQ(listed, ids);
    return ids;
}

class RecordQueryTest : public ConnectedTest {};

using V = std::vector<std::string>;

TEST_P(RecordQueryTest, FiltersByWrenchJobAndDaysNewestFirst) {
    InsertFive(*c);
    QSqlDatabase db = c->db();
    const QDate march2(2026, 3, 2);
    const std::pair<RecordFilter, V> cases[] = {
        {{}, {"e", "c", "b", "d", "a"}},
        {{"123456", "", {}, {}}, {"e", "b", "a"}},
        {{" 65a321 ", "", {}, {}}, {"c"}}, // as typed: blanks and case aside
        {{"", "Get", {}, {}}, {"e", "c", "a"}},
        {{"123456", "Get", {}, {}}, {"e", "a"}},
        {{"", "Get' OR '1'='1", {}, {}}, {}}, // a job's text is a value, never part of the query
        // Days are UTC days, both ends included: b's last millisecond of 2 March is in, c's
        // first of 3 March is out.
        {{"", "", march2, std::nullopt}, {"e", "c", "b", "d"}},
        {{"", "", std::nullopt, march2}, {"b", "d", "a"}},
        {{"", "", march2, march2}, {"b", "d"}},
    };
    for (const auto& [filter, ids] : cases) {
        EXPECT_EQ(Ids(db, filter), ids) << filter.wrenchCode << '/' << filter.job;
    }
    QString error;
    const auto jobs = records::RecordedJobs(db, error);
    ASSERT_TRUE(jobs) << error.toStdString();
    EXPECT_EQ(*jobs, (QStringList{"Get", "Parameter Write", "Read"}));
}

TEST_P(RecordQueryTest, AWalkOverManyRecordsMissesNoneAcrossPages) {
    // 1203 records, two in each millisecond (so pages end inside a millisecond), every 100th
    // with a byte written; made in one statement each, as the writer's speed is not the test.
    c->exec(QStringLiteral(
        "INSERT INTO service_record (id, time_utc, duration_ms, job, outcome) "
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 1202) "
        "SELECT 'p' || (10000 + i), '2026-01-01T00:00:00.' || (100 + i / 2) || 'Z', 0, 'Get', "
        "'done' FROM n"));
    c->exec(QStringLiteral("INSERT INTO written_byte (record_id, seq, address, before, after) "
                           "SELECT id, 0, 16, NULL, 128 FROM service_record "
                           "WHERE substr(id, 5, 2) = '00'"));
    QSqlDatabase db = c->db();
    QString error;
    V walked;
    ASSERT_TRUE(records::ForEachRecord(
        db, {},
        [&](const ServiceRecord& r) {
            walked.push_back(r.id + ' ' + records::WrittenBytesText(r.bytesWritten));
            return true;
        },
        error))
        << error.toStdString();
    // Newest first is the ids from p11202 down to p10000; p10000, p10100 ... with their byte.
    V expected;
    for (int i = 11202; i >= 10000; --i) {
        expected.push_back('p' + std::to_string(i) + (i % 100 == 0 ? " 10:XX>80" : " "));
    }
    EXPECT_EQ(walked, expected);

    int seen = 0;
    ASSERT_TRUE(records::ForEachRecord(
        db, {}, [&](const ServiceRecord&) { return ++seen < 3; }, error));
    EXPECT_EQ(seen, 3);
}

// A row another program filled with what no record holds: the walk hands it on with its id
// and reason and goes on to the rest; the window's list shows it with the reason.
TEST_P(RecordQueryTest, AnUnreadableRowIsToldAndTheOthersAreRead) {
    InsertFive(*c);
    c->exec("UPDATE service_record SET bytes_read = 'zz' WHERE id = 'b'");
    QSqlDatabase db = c->db();
    QString error;
    V walked;
    const auto visit = [&](const ServiceRecord& r) {
        walked.push_back(r.id);
        return true;
    };
    EXPECT_TRUE(records::ForEachRecord(db, {}, visit, error,
                                       [&](const std::string& id, const QString& reason) {
                                           walked.push_back(id + ": " + reason.toStdString());
                                           return true;
                                       }))
        << error.toStdString();
    EXPECT_EQ(walked, (V{"e", "c", "b: cannot read bytes_read", "d", "a"}));
    EXPECT_FALSE(records::ForEachRecord(db, {}, visit, error));
    EXPECT_EQ(error.toStdString(), "record b: cannot read bytes_read");

    records::RecordListModel model;
    ASSERT_TRUE(model.list(c->name(), {}, error)) << error.toStdString();
    ASSERT_EQ(model.rowCount(), 5);
    EXPECT_EQ(model.unreadable(1), "");
    EXPECT_EQ(model.index(2, records::kColMessage).data().toString(),
              "This record cannot be read (cannot read bytes_read).");
    EXPECT_EQ(model.index(2, records::kColJob).data().toString(), "Parameter Write");
}

// The window's list reads a page when listed and one more each time the view asks, on
// either database; the rows end where the records do.
TEST_P(RecordQueryTest, TheListReadsAPageAtATime) {
    c->exec(QStringLiteral(
        "INSERT INTO service_record (id, time_utc, duration_ms, job, outcome) "
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 599) "
        "SELECT 'r' || (10000 + i), '2026-01-01T00:00:00.' || (100 + i / 3) || 'Z', 0, 'Get', "
        "'done' FROM n"));
    records::RecordListModel model;
    QString error;
    ASSERT_TRUE(model.list(c->name(), {}, error)) << error.toStdString();
    std::vector<int> counts{model.rowCount()};
    while (model.canFetchMore()) {
        model.fetchMore();
        counts.push_back(model.rowCount());
    }
    EXPECT_EQ(counts, (std::vector<int>{256, 512, 600}));
    EXPECT_EQ(model.index(0, records::kColId).data().toString(), "r10599");
    EXPECT_EQ(model.index(599, records::kColId).data().toString(), "r10000");
    std::set<QString> ids;
    for (int row = 0; row < model.rowCount(); ++row) {
        ids.insert(model.index(row, records::kColId).data().toString());
    }
    EXPECT_EQ(ids.size(), 600u);
}

// ---- the due list and the "as found" run ---------------------------------------------------

std::string Line(const records::DueEntry& e) {
    return e.wrenchCode + ' ' + records::DueStateWord(e.state) + ' ' +
           (e.dueDate.empty() ? "-" : e.dueDate) + ' ' + (e.recordId.empty() ? "-" : e.recordId);
}

// Today is 2026-12-07. A failed run after a pass makes the wrench failed without a due date,
// a pass after a failure makes it due again; a stopped run changes nothing; a wrench only
// read is never verified.
TEST_P(RecordQueryTest, TheDueListPutsFailedOverdueAndNeverVerifiedFirst) {
    for (const ServiceRecord& r : {
             RunRecord("a1", "2026-01-10T08:00:00.000Z", "111111", "passed"),
             RunRecord("a2", "2026-06-01T08:00:00.000Z", "111111", "stopped"),
             RunRecord("b1", "2025-03-01T08:00:00.000Z", "222222", "passed"),
             RunRecord("b2", "2026-05-02T08:00:00.000Z", "222222", "failed"),
             RunRecord("b3", "2026-06-02T08:00:00.000Z", "222222", "stopped"),
             RunRecord("c1", "2025-11-30T08:00:00.000Z", "333333", "passed"),
             Listed("d1", "2026-12-01T08:00:00.000Z", "444444", "Get"),
             RunRecord("e1", "2026-12-02T08:00:00.000Z", "555555", "stopped"),
             RunRecord("f1", "2026-02-28T08:00:00.000Z", "666666", "passed"),
             RunRecord("g1", "2026-11-30T09:00:00.000Z", "777777", "failed"),
             RunRecord("g2", "2026-11-30T15:00:00.000Z", "777777", "passed"),
             Listed("h1", "2026-11-30T15:00:00.000Z", "", "Get"),
         }) {
        ASSERT_EQ(c->insert(r), records::InsertResult::Written) << c->error();
    }
    QSqlDatabase db = c->db();
    QString error;
    std::vector<std::string> lines;
    for (const records::DueEntry& e : records::DueList(db, QDate(2026, 12, 7), error)) {
        lines.push_back(Line(e));
    }
    EXPECT_EQ(error.toStdString(), "");
    EXPECT_EQ(lines,
              (V{"222222 failed - b2", "333333 overdue 2026-11-30 c1", "444444 never verified - -",
                 "555555 never verified - -", "111111 due 2027-01-10 a1",
                 "666666 due 2027-02-28 f1", "777777 due 2027-11-30 g2"}));
}

// An "as left" run at 10:00 finds the last "as found" run of its wrench that day that was not
// stopped, and the records of that wrench that wrote bytes after it, oldest first.
TEST_P(RecordQueryTest, AnAsLeftRunFindsTheSameDaysAsFoundRunAndTheWritesBetween) {
    ServiceRecord write = Listed("w-0900", "2026-12-07T09:00:00.000Z", "ABCDEF", "Parameter Write");
    write.bytesWritten = {{0x10, 0x05, 0x07}};
    ServiceRecord before = write, later = write, other = write, yesterday = write;
    before.id = "w-0730";
    before.time = "2026-12-07T07:30:00.000Z";
    later.id = "w-0950";
    later.time = "2026-12-07T09:50:00.000Z";
    other.id = "other";
    other.wrenchCode = "123456";
    yesterday.id = "w-yesterday";
    yesterday.time = "2026-12-06T23:00:00.000Z";
    const ServiceRecord asLeft =
        RunRecord("left", "2026-12-07T10:00:00.000Z", "ABCDEF", "passed", true);
    for (const ServiceRecord& r :
         {RunRecord("found-0700", "2026-12-07T07:00:00.000Z", "ABCDEF", "failed"), before,
          RunRecord("found-0800", "2026-12-07T08:00:00.000Z", "ABCDEF", "failed"), write,
          Listed("get", "2026-12-07T09:30:00.000Z", "ABCDEF", "Get"),
          RunRecord("stopped", "2026-12-07T09:40:00.000Z", "ABCDEF", "stopped"), later, other,
          asLeft, RunRecord("after", "2026-12-07T11:00:00.000Z", "ABCDEF", "passed"), yesterday,
          RunRecord("found-late", "2026-12-06T23:30:00.000Z", "987654", "passed"),
          RunRecord("left-2", "2026-12-07T00:10:00.000Z", "987654", "passed", true)}) {
        ASSERT_EQ(c->insert(r), records::InsertResult::Written) << c->error();
    }
    QSqlDatabase db = c->db();
    QString error;
    const auto found = records::AsFoundContext(db, asLeft, error);
    ASSERT_TRUE(found) << error.toStdString();
    EXPECT_EQ(found->run.value_or(ServiceRecord{}).id, "found-0800");
    EXPECT_EQ(
        DescribeRun(found->run.value_or(ServiceRecord{}).verification.value_or(VerificationRun{})),
        DescribeRun(RunRecord("x", "2026-12-07T08:00:00.000Z", "", "failed")
                        .verification.value_or(VerificationRun{})));
    V writes;
    for (const ServiceRecord& r : found->writes) {
        writes.push_back(r.id + ' ' + records::WrittenBytesText(r.bytesWritten));
    }
    EXPECT_EQ(writes, (V{"w-0900 10:05>07", "w-0950 10:05>07"}));
    // An "as found" run has none; nor has an "as left" run whose "as found" run was the day
    // before.
    EXPECT_FALSE(records::AsFoundContext(db, *c->read("found-0800"), error));
    EXPECT_FALSE(records::AsFoundContext(db, *c->read("left-2"), error));
    EXPECT_EQ(error.toStdString(), "");
}

ZELCOR_ON_BOTH_DATABASES(RecordQueryTest);

// At a million records the list must come from an index, in its order: a full scan or a sort
// of every row would read them all before the first is shown.
TEST(RecordQueryPlanTest, EveryFilterReadsAnIndexInTimeOrder) {
    QTemporaryDir dir;
    Connection c(SqliteTarget(dir));
    ASSERT_TRUE(c.open()) << c.error();
    const std::pair<RecordFilter, const char*> cases[] = {
        {{}, "service_record_time"},
        {{"123456", "Get", {}, {}}, "service_record_wrench_time"},
        {{"", "Get", QDate(2026, 1, 1), QDate(2026, 2, 1)}, "service_record_job_time"},
        {{"", "", QDate(2026, 1, 1), std::nullopt}, "service_record_time"}};
    for (const auto& [filter, index] : cases) {
        // A later page as the first: the index bounds it.
        const records::ListSql sql = records::RecordPageSql(
            filter, records::PageStart{"2026-01-15T00:00:00.000Z", "x"}, 256);
        QSqlQuery q(c.db());
        ASSERT_TRUE(q.prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + sql.text));
        for (const QVariant& v : sql.values) {
            q.addBindValue(v);
        }
        ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
        QStringList plan;
        while (q.next()) {
            plan << q.value(3).toString();
        }
        const std::string text = plan.join(QStringLiteral(" | ")).toStdString();
        EXPECT_NE(text.find(std::string("USING INDEX ") + index), std::string::npos) << text;
        // Only the rows of one millisecond are ever sorted among themselves.
        EXPECT_EQ(text.find("USE TEMP B-TREE FOR ORDER BY"), std::string::npos) << text;
    }
}

// The History window's test reads a whole file back; here what it does not meet: a line
// break, an address above FFH, and a verification run's verdict and due date at the end.
TEST(RecordCsvTest, ALineBreakIsQuotedAndAnAddressAboveFFHasFourDigits) {
    ServiceRecord r = FullRecord("x");
    r.message = "line one\r\nline two";
    r.bytesWritten.push_back({0x0105, 0x01, 0x02});
    EXPECT_EQ(records::CsvRow(r),
              "2026-12-06T23:00:00.125Z,123456,A1B2,1005,Parameter Write,CW,2,failed,4,"
              "\"line one\r\nline two\",bench-7,technician,zelcor 1.3.0,/dev/ttyUSB0,1875,4711,"
              "10:05>07 11:XX>FF 12:00>80 0105:01>02,,\r\n");
    EXPECT_EQ(records::CsvRow(RunRecord("v", "2026-02-28T10:00:00.000Z", "ABC123", "passed")),
              "2026-02-28T10:00:00.000Z,ABC123,,,Verification,,,done,,,,,,,0,,"
              "23:XX>00 24:XX>00,passed,2027-02-28\r\n");
    const std::string header = records::CsvHeader();
    EXPECT_EQ(header.substr(header.find("request code")),
              "request code,bytes written,verdict,due date\r\n");
}

} // namespace
} // namespace zelcor::test
