// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder: what it adds to the session's record before handing it on.
#include "records/Recorder.h"

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

TEST_F(RecorderTest, FillsWhereAndByWhomAndWhen) {
    ServiceRecord r;
    r.job = "Get";
    r.durationMs = 1250;
    r.wrenchCode = "123456";
    recorder.record(r);
    recorder.setPort("/dev/ttyUSB0");
    // 01:00:00.000 at UTC+2 is 23:00:00 the day before in UTC.
    now = QDateTime(QDate(2026, 12, 7), QTime(1, 0), QTimeZone(2 * 3600));
    recorder.record(r);
    ASSERT_EQ(handed.size(), 2u);
    const auto line = [](const ServiceRecord& o) {
        return o.id + '|' + o.time + '|' + o.station + '|' + o.operatorName + '|' + o.program +
               '|' + o.port + '|' + o.job + '|' + std::to_string(o.durationMs) + '|' + o.wrenchCode;
    };
    // 23:00:01.005 less 1.25 s; no port yet.
    EXPECT_EQ(line(handed[0]),
              "id-1|2026-12-06T22:59:59.755Z|bench-7|technician|zelcor 1.3.0||Get|1250|123456");
    EXPECT_EQ(line(handed[1]), "id-2|2026-12-06T22:59:58.750Z|bench-7|technician|zelcor "
                               "1.3.0|/dev/ttyUSB0|Get|1250|123456");
}

TEST_F(RecorderTest, WhatTheRecordHoldsAlreadyIsKept) {
    recorder.setPort("/dev/ttyUSB0");
    ServiceRecord r;
    r.id = "given";
    r.time = "2026-01-01T00:00:00.000Z";
    r.station = "other";
    r.operatorName = "someone";
    r.program = "zelcor-cli 1.3.0";
    r.port = "/dev/ttyS1";
    recorder.record(r);
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_EQ(handed[0].id + handed[0].time + handed[0].station + handed[0].operatorName +
                  handed[0].program + handed[0].port,
              "given2026-01-01T00:00:00.000Zothersomeonezelcor-cli 1.3.0/dev/ttyS1");
    EXPECT_EQ(ids, 0);
}

TEST(RecorderSystemTest, TheSystemsIdentity) {
    std::vector<ServiceRecord> handed;
    Recorder recorder("zelcor-cli", "1.3.0", [&](ServiceRecord r) { handed.push_back(r); });
    recorder.record(ServiceRecord{});
    recorder.record(ServiceRecord{});
    ASSERT_EQ(handed.size(), 2u);
    // A UUID without braces: 36 characters, 4 dashes; each record its own.
    EXPECT_EQ(handed[0].id.size(), 36u);
    EXPECT_EQ(std::count(handed[0].id.begin(), handed[0].id.end(), '-'), 4);
    EXPECT_NE(handed[0].id, handed[1].id);
    const QDateTime time =
        QDateTime::fromString(QString::fromStdString(handed[0].time), Qt::ISODateWithMs);
    ASSERT_TRUE(time.isValid()) << handed[0].time;
    EXPECT_EQ(time.timeSpec(), Qt::UTC);
    EXPECT_EQ(handed[0].time.size(), 24u) << handed[0].time;
    EXPECT_EQ(handed[0].program, "zelcor-cli 1.3.0");
    EXPECT_EQ(handed[0].station, QSysInfo::machineHostName().toStdString());
    EXPECT_FALSE(handed[0].operatorName.empty());
    EXPECT_EQ(handed[0].operatorName, Recorder::OperatingSystemUser());
}

} // namespace
} // namespace zelcor::test
