// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder: what it adds to the session's record before handing it on.
#include "records/Recorder.h"

#include <QSysInfo>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <unistd.h>

namespace zelcor::test {
namespace {

using records::Recorder;

class RecorderTest : public ::testing::Test {
protected:
    Recorder::Environment environment() {
        return {[this] { return now; }, [] { return std::string("bench-7"); },
                [] { return std::string("technician"); },
                [this] { return "id-" + std::to_string(++ids); }};
    }
    Recorder recorder{"zelcor", "1.3.0",
                      [this](ServiceRecord r) { handed.push_back(std::move(r)); }, environment()};
    QDateTime now{QDate(2026, 12, 6), QTime(23, 0, 1, 5), QTimeZone::utc()};
    int ids = 0;
    std::vector<ServiceRecord> handed;
};

TEST_F(RecorderTest, FillsWhereAndByWhomAndWhen) {
    recorder.setPort("/dev/ttyUSB0");
    ServiceRecord r;
    r.job = "Get";
    r.durationMs = 1250;
    r.wrenchCode = "123456";
    recorder.record(r);
    ASSERT_EQ(handed.size(), 1u);
    const ServiceRecord& out = handed[0];
    EXPECT_EQ(out.id, "id-1");
    // 23:00:01.005 less 1.25 s.
    EXPECT_EQ(out.time, "2026-12-06T22:59:59.755Z");
    EXPECT_EQ(out.station, "bench-7");
    EXPECT_EQ(out.operatorName, "technician");
    EXPECT_EQ(out.program, "zelcor 1.3.0");
    EXPECT_EQ(out.port, "/dev/ttyUSB0");
    // The session's own fields pass unchanged.
    EXPECT_EQ(out.job, "Get");
    EXPECT_EQ(out.durationMs, 1250);
    EXPECT_EQ(out.wrenchCode, "123456");

    recorder.record(r);
    ASSERT_EQ(handed.size(), 2u);
    EXPECT_EQ(handed[1].id, "id-2");
}

TEST_F(RecorderTest, TheTimeIsUtcWhateverTheClocksZone) {
    // 01:00:00.000 at UTC+2 is 23:00:00 the day before in UTC; a job of 0 ms began then.
    now = QDateTime(QDate(2026, 12, 7), QTime(1, 0), QTimeZone(2 * 3600));
    ServiceRecord r;
    recorder.record(r);
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_EQ(handed[0].time, "2026-12-06T23:00:00.000Z");
    EXPECT_EQ(handed[0].port, "") << "no port set";
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
    EXPECT_EQ(handed[0].id, "given");
    EXPECT_EQ(handed[0].time, "2026-01-01T00:00:00.000Z");
    EXPECT_EQ(handed[0].station, "other");
    EXPECT_EQ(handed[0].operatorName, "someone");
    EXPECT_EQ(handed[0].program, "zelcor-cli 1.3.0");
    EXPECT_EQ(handed[0].port, "/dev/ttyS1");
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
    EXPECT_EQ(handed[0].id.find('{'), std::string::npos);
    EXPECT_NE(handed[0].id, handed[1].id);
    const QDateTime time =
        QDateTime::fromString(QString::fromStdString(handed[0].time), Qt::ISODateWithMs);
    ASSERT_TRUE(time.isValid()) << handed[0].time;
    EXPECT_EQ(time.timeSpec(), Qt::UTC);
    EXPECT_EQ(handed[0].time.size(), 24u) << handed[0].time;
    EXPECT_EQ(handed[0].time.back(), 'Z');
    EXPECT_EQ(handed[0].program, "zelcor-cli 1.3.0");
    EXPECT_EQ(handed[0].station, QSysInfo::machineHostName().toStdString());
    EXPECT_FALSE(handed[0].operatorName.empty());
    EXPECT_EQ(handed[0].operatorName, Recorder::OperatingSystemUser());
}

} // namespace
} // namespace zelcor::test
