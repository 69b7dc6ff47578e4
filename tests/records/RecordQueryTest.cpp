// SPDX-License-Identifier: GPL-3.0-or-later
// The history's filters and order on SQLite and on PostgreSQL, the walk over many records a
// page at a time, the jobs listed, the query plans at SQLite, and the CSV rows.
#include "records/RecordsFixture.h"

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
