// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder: what it adds to the session's record before handing it on.
#include "records/Recorder.h"

#include <QRegularExpression>
#include <QSysInfo>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace zelcor::test {
namespace {

using records::Recorder;

class RecorderTest : public ::testing::Test {
protected:
    Recorder recorder{"zelcor",
                      "1.3.0",
                      [this](ServiceRecord r) { handed.push_back(std::move(r)); },
                      {[this] { return now; }, [] { return std::string("bench-7"); },
                       [] { return std::string("technician"); },
                       [this] { return "id-" + std::to_string(++ids); }}};
    QDateTime now{QDate(2026, 12, 6), QTime(23, 0, 1, 5), QTimeZone::utc()};
    int ids = 0;
    std::vector<ServiceRecord> handed;
};

TEST_F(RecorderTest, FillsWhatTheRecordLeavesEmpty) {
    ServiceRecord r;
    r.job = "Get";
    r.durationMs = 1250;
    r.wrenchCode = "123456";
    recorder.record(r);
    recorder.setPort("/dev/ttyUSB0");
    // 01:00:00.000 at UTC+2 is 23:00:00 the day before in UTC.
    now = QDateTime(QDate(2026, 12, 7), QTime(1, 0), QTimeZone(2 * 3600));
    recorder.record(r);
    // What the record holds already is kept.
    r.id = "given";
    r.time = "2026-01-01T00:00:00.000Z";
    r.station = "other";
    r.operatorName = "someone";
    r.program = "zelcor-cli 1.3.0";
    r.port = "/dev/ttyS1";
    recorder.record(r);
    std::vector<std::string> lines;
    for (const ServiceRecord& o : handed) {
        lines.push_back(o.id + '|' + o.time + '|' + o.station + '|' + o.operatorName + '|' +
                        o.program + '|' + o.port + '|' + o.job + '|' +
                        std::to_string(o.durationMs) + '|' + o.wrenchCode);
    }
    // 23:00:01.005 less 1.25 s; no port yet.
    EXPECT_EQ(lines,
              (std::vector<std::string>{
                  "id-1|2026-12-06T22:59:59.755Z|bench-7|technician|zelcor 1.3.0||Get|1250|123456",
                  "id-2|2026-12-06T22:59:58.750Z|bench-7|technician|zelcor 1.3.0|/dev/ttyUSB0|Get|"
                  "1250|123456",
                  "given|2026-01-01T00:00:00.000Z|other|someone|zelcor-cli 1.3.0|/dev/ttyS1|Get|"
                  "1250|123456"}));
    EXPECT_EQ(ids, 2);
}

TEST(RecorderSystemTest, TheSystemsIdentity) {
    std::vector<ServiceRecord> handed;
    Recorder recorder("zelcor-cli", "1.3.0", [&](ServiceRecord r) { handed.push_back(r); });
    recorder.record(ServiceRecord{});
    recorder.record(ServiceRecord{});
    ASSERT_EQ(handed.size(), 2u);
    const auto matches = [](const char* pattern, const std::string& text) {
        return QRegularExpression(QLatin1String(pattern))
            .match(QString::fromStdString(text))
            .hasMatch();
    };
    // A UUID without braces, each record its own; the time in UTC with its milliseconds.
    EXPECT_TRUE(matches("^[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}$", handed[0].id))
        << handed[0].id;
    EXPECT_NE(handed[0].id, handed[1].id);
    EXPECT_TRUE(matches("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$", handed[0].time))
        << handed[0].time;
    EXPECT_EQ(handed[0].program, "zelcor-cli 1.3.0");
    EXPECT_EQ(handed[0].station, QSysInfo::machineHostName().toStdString());
    EXPECT_FALSE(handed[0].operatorName.empty());
}

} // namespace
} // namespace zelcor::test
