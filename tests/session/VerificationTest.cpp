// SPDX-License-Identifier: GPL-3.0-or-later
// The verification run on the simulated wrench and tester, in virtual time: after each clearing
// of its maximum the wrench makes a pull to its next target and keeps its reading of the peak
// in 23H, 24H; the tester sends the true peak as a line on a port of its own.
#include "SessionFixture.h"

#include "sim/SimulatedTester.h"
#include "sim/SimulatedTesterPort.h"

namespace zelcor::test {
namespace {

class Verify : public SessionTest {
protected:
    // The tester's port goes before the session.
    ~Verify() override { session.setTesterPort(nullptr); }
    void SetUp() override {
        SessionTest::SetUp();
        session.setToday([] { return std::string("2026-12-07"); });
        session.setTesterPort(&testerPort);
        std::string error;
        ASSERT_TRUE(session.openTester("tester", DefaultTesterSettings(), error)) << error;
        QObject::connect(&session, &WrenchSession::verificationChanged, [this] {
            const VerificationState& v = session.verification();
            prompts.push_back(v.prompt);
            if (v.phase == VerifyPhase::Pulling && v.pull != m_pull) {
                m_pull = v.pull;
                if (onPull) {
                    onPull(v.pull);
                }
            }
        });
        QObject::connect(&session, &WrenchSession::jobRecorded,
                         [this](const ServiceRecord& r) { records.push_back(r); });
    }
    // The wrench pulls to these targets in turn, `bias` % high.
    void pullTo(std::vector<double> targets, double bias = 0) {
        sim::PullOptions pulls;
        pulls.targets = std::move(targets);
        pulls.biasPercent = bias;
        wrench.setPulls(pulls);
    }
    VerificationSettings settings(int readings, int preloads) const {
        VerificationSettings s;
        s.maximum = 100;
        s.readingsPerPoint = readings;
        s.preloads = preloads;
        s.technician = "Ada";
        return s;
    }
    std::vector<std::string> deviations() const {
        std::vector<std::string> out;
        for (const VerificationReading& r : session.verification().run.readings) {
            out.push_back(DeviationText(Deviation(r.wrench, r.reference)));
        }
        return out;
    }

    sim::SimulatedTester tester{clock, wrench};
    sim::SimulatedTesterPort testerPort{tester};
    std::vector<std::string> prompts;
    std::vector<ServiceRecord> records;
    std::function<void(int pull)> onPull;

private:
    int m_pull = 0;
};

const Bytes kClear = writes({{0x23, 0x00}, {0x24, 0x00}});
const Bytes kRead = reads({0x23, 0x24});
// A run reads the wrench code first when the connection has not: its record names the wrench.
const Bytes kCode = reads({0x2B, 0x2C, 0x2D});

// The wrench keeps its reading with one digit, the tester sends the peak with two. Deviations
// by hand: 20.0 against 20.04 = -0.20 %; 20.0 / 19.96 = +0.20 %; 60.1 / 60.12 = -0.03 %;
// 59.9 / 59.88 = +0.03 %; 100.3 / 100.26 = +0.04 %; 99.4 / 99.43 = -0.03 %. Every one within
// 4 %: passed, due a year on.
TEST_F(Verify, APassingRunClearsOnlyTheMaximumBeforeEachPullAndKeepsEveryReading) {
    pullTo({100, 20.04, 19.96, 60.12, 59.88, 100.26, 99.43});
    const JobResult result = session.verify(settings(2, 1));
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(sent(), kCode + kClear + kClear + kRead + kClear + kRead + kClear + kRead + kClear +
                          kRead + kClear + kRead + kClear + kRead);
    EXPECT_EQ(deviations(), (std::vector<std::string>{"-0.20 %", "+0.20 %", "-0.03 %", "+0.03 %",
                                                      "+0.04 %", "-0.03 %"}));
    const VerificationRun& run = session.verification().run;
    EXPECT_DOUBLE_EQ(run.readings[1].wrench, 20.0);
    EXPECT_DOUBLE_EQ(run.readings[1].reference, 19.96);
    EXPECT_EQ(run.readings[1].referenceText, "+019.96 N.m");
    EXPECT_EQ(run.verdict, Verdict::Passed);
    EXPECT_EQ(run.dueDate, "2027-12-07");
    EXPECT_EQ(prompts.front(), "Pull to 100.0 N·m (pre-load 1 of 1)");
    EXPECT_EQ(session.verification().phase, VerifyPhase::Ended);

    ASSERT_EQ(records.size(), 1u);
    const ServiceRecord& r = records[0];
    EXPECT_EQ(r.job, "Verification");
    EXPECT_EQ(r.wrenchCode, "123456");
    EXPECT_EQ(r.direction, "CW");
    EXPECT_EQ(r.digits, 1);
    EXPECT_EQ(r.detail, "passed");
    EXPECT_EQ(r.outcome, RecordOutcome::Done);
    EXPECT_EQ(r.bytesWritten.size(), 14u);
    for (const RecordedWrite& w : r.bytesWritten) {
        EXPECT_TRUE(w.address == 0x23 || w.address == 0x24) << w.address;
    }
    ASSERT_TRUE(r.verification);
    EXPECT_EQ(r.verification->readings.size(), 6u);
    EXPECT_EQ(r.verification->settings.technician, "Ada");
    EXPECT_EQ(r.verification->dueDate, "2027-12-07");
}

// The wrench reads 3.9 % high: 12.468 kept as 12.5, 62.34 as 62.3, 103.9. The tester sends
// lbf·in: 106.21 (12.00012 N·m), 531.04 (59.99946), 885.07 (99.99948). Deviations by hand:
// +4.17 % (beyond 4 %), +3.83 %, +3.90 %.
TEST_F(Verify, AWrenchOutOfToleranceAtOnePointFailsTheRunWhichStillEndsDone) {
    ASSERT_TRUE(tester.setUnit("lbf.in"));
    pullTo({12, 60, 100}, 3.9);
    VerificationSettings s = settings(1, 0);
    s.pointsPercent = {12, 60, 100};
    EXPECT_TRUE(session.verify(s).ok());
    const VerificationRun& run = session.verification().run;
    ASSERT_EQ(run.readings.size(), 3u);
    EXPECT_NEAR(run.readings[0].reference, 12.00012, 1e-5);
    EXPECT_EQ(run.readings[0].referenceText, "+106.21 lbf.in");
    EXPECT_EQ(deviations(), (std::vector<std::string>{"+4.17 %", "+3.83 %", "+3.90 %"}));
    EXPECT_EQ(run.verdict, Verdict::Failed);
    EXPECT_EQ(run.dueDate, "");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].outcome, RecordOutcome::Done);
    EXPECT_EQ(records[0].detail, "failed");
}

// A tester that sends nothing: after the 30 s the pull is asked for again, its maximum
// cleared again; no reading is made up. The second time the tester answers 60.34.
TEST_F(Verify, AReadingThatDoesNotComeIsAskedForAgainNeverInvented) {
    pullTo({60.34});
    tester.setSilent(true);
    VerificationSettings s = settings(1, 0);
    s.pointsPercent = {60};
    std::vector<std::int64_t> pulledAt;
    onPull = [&](int pull) {
        pulledAt.push_back(clock.nowMs());
        tester.setSilent(pull == 1);
    };
    EXPECT_TRUE(session.verify(s).ok());
    EXPECT_EQ(sent(), kCode + kClear + kClear + kRead);
    const VerificationRun& run = session.verification().run;
    ASSERT_EQ(run.readings.size(), 1u);
    EXPECT_DOUBLE_EQ(run.readings[0].wrench, 60.3);
    EXPECT_NE(std::find(prompts.begin(), prompts.end(),
                        "No reading came from the tester: pull again. Pull to 60.0 N·m "
                        "(reading 1 of 1)"),
              prompts.end());
    // The second clear begins 30 s after the first pull was asked for.
    ASSERT_EQ(port.written().size(), 31u);
    EXPECT_EQ(port.written()[17].atMs - pulledAt.at(0), 30000);
}

// Typed references (no tester), a reading repeated with its reason, a foreign job refused,
// and Stop during a pull: the run ends at once, stopped, with no verdict and no due date.
TEST_F(Verify, TypedRunRepeatsTheLastReadingRefusesOtherJobsAndStops) {
    session.closeTester();
    VerificationSettings s = settings(3, 0);
    s.pointsPercent = {50};
    std::optional<JobResult> foreign;
    onPull = [&](int pull) {
        switch (pull) {
        case 1:
            clock.after(500, [&] {
                wrench.poke(0x00, 0x23, 0xF4); // 500 counts: 50.0
                wrench.poke(0x00, 0x24, 0x01);
                session.verificationNext();
            });
            clock.after(900, [&] { session.verificationReference(50.2, "50.2"); });
            break;
        case 2:
            clock.after(100, [&] {
                EXPECT_FALSE(session.verificationRepeatLast(""));
                EXPECT_TRUE(session.verificationRepeatLast("wrench slipped"));
                EXPECT_FALSE(session.verificationRepeatLast("twice"));
            });
            break;
        case 3:
            wrench.poke(0x00, 0x23, 0xF5); // 501 counts: 50.1
            wrench.poke(0x00, 0x24, 0x01);
            clock.after(100, [&] { session.verificationReference(50.0, "50.0"); });
            break;
        case 4:
            clock.after(100, [&] { foreign = session.readMaxTorque(); });
            clock.after(200, [&] { session.verificationStop(); });
            break;
        }
    };
    boxes.answerOk(1);
    const JobResult result = session.verify(s);
    EXPECT_EQ(result.end, JobEnd::Stopped);
    ASSERT_TRUE(foreign);
    EXPECT_EQ(foreign->end, JobEnd::Refused);
    EXPECT_EQ(shown().size(), 1u); // Link Busy
    EXPECT_EQ(sent(), kCode + kClear + kRead + kClear + kClear + kRead + kClear);
    const VerificationRun& run = session.verification().run;
    ASSERT_EQ(run.readings.size(), 2u);
    EXPECT_TRUE(run.readings[0].discarded);
    EXPECT_EQ(run.readings[0].discardReason, "wrench slipped");
    EXPECT_EQ(run.readings[1].index, 1);
    EXPECT_DOUBLE_EQ(run.readings[1].wrench, 50.1);
    EXPECT_TRUE(run.stopped);
    EXPECT_EQ(run.verdict, Verdict::None);
    EXPECT_EQ(run.dueDate, "");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].outcome, RecordOutcome::Stopped);
    EXPECT_EQ(records[0].detail, "stopped");
    ASSERT_TRUE(records[0].verification);
    EXPECT_EQ(records[0].verification->readings[0].discardReason, "wrench slipped");
}

// The wrench's port lost during a pull ends the run as failed, with no verdict; unsound
// settings are refused in a box before anything is sent.
TEST_F(Verify, ALostPortFailsTheRunAndUnsoundSettingsSendNothing) {
    VerificationSettings bad = settings(1, 0);
    bad.technician.clear();
    boxes.answerOk(1);
    EXPECT_EQ(session.verify(bad).end, JobEnd::Refused);
    EXPECT_EQ(shown().size(), 1u);
    EXPECT_TRUE(sent().empty());

    onPull = [this](int) { clock.after(100, [this] { port.unplug(); }); };
    EXPECT_EQ(session.verify(settings(1, 0)).end, JobEnd::Failed);
    EXPECT_EQ(sent(), kCode + kClear);
    EXPECT_EQ(session.verification().run.verdict, Verdict::None);
    EXPECT_TRUE(session.verification().linkFailed);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].outcome, RecordOutcome::Failed);
}

} // namespace
} // namespace zelcor::test
