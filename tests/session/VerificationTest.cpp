// SPDX-License-Identifier: GPL-3.0-or-later
// The verification run on the simulated wrench, in virtual time. Each pull is made by the test:
// a second after the pull is asked for, the wrench's maximum (23H, 24H) is set and the tester
// sends its line on a port of its own.
#include "SessionFixture.h"
#include "support/RecordingPort.h"

namespace zelcor::test {
namespace {

// One pull: the counts the wrench keeps as its maximum, and the tester's line ("": silent).
struct Pull {
    int counts;
    std::string line;
};

class Verify : public SessionTest {
protected:
    // The tester's port goes before the session.
    ~Verify() override { session.setTesterPort(nullptr); }
    void SetUp() override {
        SessionTest::SetUp();
        session.setToday([] { return std::string("2026-12-07"); });
        session.setTesterPort(&tester);
        std::string error;
        ASSERT_TRUE(session.openTester("tester", DefaultTesterSettings(), error)) << error;
        QObject::connect(&session, &WrenchSession::verificationChanged, [this] {
            const VerificationState& v = session.verification();
            prompts.push_back(v.prompt);
            if (v.phase != VerifyPhase::Pulling || v.pull == m_pull) {
                return;
            }
            m_pull = v.pull;
            if (onPull) {
                onPull(v.pull);
            }
            if (pulls.empty()) {
                return;
            }
            const Pull pull = pulls.front();
            pulls.erase(pulls.begin());
            clock.after(1000, [this, pull] {
                wrench.poke(0x00, 0x23, std::uint8_t(pull.counts & 0xFF));
                wrench.poke(0x00, 0x24, std::uint8_t(pull.counts >> 8));
                if (!pull.line.empty()) {
                    tester.receive(Bytes(pull.line.begin(), pull.line.end()));
                }
            });
        });
        QObject::connect(&session, &WrenchSession::jobRecorded,
                         [this](const ServiceRecord& r) { records.push_back(r); });
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

    RecordingPort tester{clock};
    std::vector<Pull> pulls;
    std::vector<std::string> prompts;
    std::vector<ServiceRecord> records;
    std::function<void(int pull)> onPull;

private:
    int m_pull = 0;
};

const Bytes kClear = writes({{0x23, 0x00}, {0x24, 0x00}});
const Bytes kRead = reads({0x23, 0x24});

// Deviations by hand: (20.3 - 20.00) / 20.00 = +1.50 %; (19.8 - 20.10) / 20.10 = -1.49 %;
// (61.8 - 60) / 60 = +3.00 %; (59.4 - 60) / 60 = -1.00 %; (100.0 - 99.50) / 99.50 = +0.50 %;
// (98.0 - 100) / 100 = -2.00 %. Every one within 4 %: passed, due a year on.
TEST_F(Verify, APassingRunClearsOnlyTheMaximumBeforeEachPullAndKeepsEveryReading) {
    pulls = {{1000, "+100.00 N.m\r\n"}, {203, "+020.00 N.m\r\n"}, {198, "  20.10Nm\n"},
             {618, "+060.00 N.m\r"},    {594, "+060.00 N.m\r\n"}, {1000, "+099.50 N.m\r\n"},
             {980, "+100.00 N.m\r\n"}};
    const JobResult result = session.verify(settings(2, 1));
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(sent(), kClear + kClear + kRead + kClear + kRead + kClear + kRead + kClear + kRead +
                          kClear + kRead + kClear + kRead);
    EXPECT_EQ(deviations(), (std::vector<std::string>{"+1.50 %", "-1.49 %", "+3.00 %", "-1.00 %",
                                                      "+0.50 %", "-2.00 %"}));
    const VerificationRun& run = session.verification().run;
    EXPECT_DOUBLE_EQ(run.readings[1].wrench, 19.8);
    EXPECT_DOUBLE_EQ(run.readings[1].reference, 20.1);
    EXPECT_EQ(run.readings[1].referenceText, "  20.10Nm");
    EXPECT_EQ(run.verdict, Verdict::Passed);
    EXPECT_EQ(run.dueDate, "2027-12-07");
    EXPECT_EQ(prompts.front(), "Pull to 100.0 N·m (pre-load 1 of 1)");
    EXPECT_EQ(session.verification().phase, VerifyPhase::Ended);

    ASSERT_EQ(records.size(), 1u);
    const ServiceRecord& r = records[0];
    EXPECT_EQ(r.job, "Verification");
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

// The wrench reads 62.5 at 60 against 60.00: +4.17 %, beyond 4 %. The tester gives 20 N·m as
// 177.0 lbf·in = 19.99831 N·m (its line in three pieces, after a line of noise far too long
// to be a reading): +0.01 %.
TEST_F(Verify, AWrenchOutOfToleranceAtOnePointFailsTheRunWhichStillEndsDone) {
    tester.receive(Bytes(300, 'x') + Bytes{'\r', '\n'});
    pulls = {{200, "P 177.0 lb"}, {625, "+060.00 N.m\r\n"}, {1003, "+100.00 N.m\r\n"}};
    onPull = [this](int pull) {
        if (pull == 1) {
            clock.after(1001, [this] { tester.receive({'f', '.', 'i'}); });
            clock.after(1002, [this] { tester.receive({'n', '\r', '\n'}); });
        }
    };
    EXPECT_TRUE(session.verify(settings(1, 0)).ok());
    const VerificationRun& run = session.verification().run;
    ASSERT_EQ(run.readings.size(), 3u);
    EXPECT_NEAR(run.readings[0].reference, 19.9983147, 1e-6);
    EXPECT_EQ(deviations(), (std::vector<std::string>{"+0.01 %", "+4.17 %", "+0.30 %"}));
    EXPECT_EQ(run.verdict, Verdict::Failed);
    EXPECT_EQ(run.dueDate, "");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].outcome, RecordOutcome::Done);
    EXPECT_EQ(records[0].detail, "failed");
}

// A tester that sends nothing: after the 30 s the pull is asked for again, its maximum
// cleared again; no reading is made up. The second time the tester answers.
TEST_F(Verify, AReadingThatDoesNotComeIsAskedForAgainNeverInvented) {
    pulls = {{600, ""}, {603, "+060.00 N.m\r\n"}};
    VerificationSettings s = settings(1, 0);
    s.pointsPercent = {60};
    std::vector<std::int64_t> pulledAt;
    onPull = [&](int) { pulledAt.push_back(clock.nowMs()); };
    EXPECT_TRUE(session.verify(s).ok());
    EXPECT_EQ(sent(), kClear + kClear + kRead);
    const VerificationRun& run = session.verification().run;
    ASSERT_EQ(run.readings.size(), 1u);
    EXPECT_DOUBLE_EQ(run.readings[0].wrench, 60.3);
    EXPECT_NE(std::find(prompts.begin(), prompts.end(),
                        "No reading came from the tester: pull again. Pull to 60.0 N·m "
                        "(reading 1 of 1)"),
              prompts.end());
    // The second clear begins 30 s after the first pull was asked for.
    ASSERT_EQ(port.written().size(), 22u);
    EXPECT_EQ(port.written()[8].atMs - pulledAt.at(0), 30000);
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
    EXPECT_EQ(sent(), kClear + kRead + kClear + kClear + kRead + kClear);
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
    EXPECT_EQ(sent(), kClear);
    EXPECT_EQ(session.verification().run.verdict, Verdict::None);
    EXPECT_TRUE(session.verification().linkFailed);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].outcome, RecordOutcome::Failed);
}

} // namespace
} // namespace zelcor::test
