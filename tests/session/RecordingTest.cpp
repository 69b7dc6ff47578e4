// SPDX-License-Identifier: GPL-3.0-or-later
// The service record each job leaves: the wrench, the bytes before and after, the result.
#include "SessionFixture.h"

namespace zelcor::test {
namespace {

class Records : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        QObject::connect(&session, &WrenchSession::jobRecorded,
                         [this](const ServiceRecord& r) { records.push_back(r); });
    }
    // The one record the last job left.
    ServiceRecord only() {
        EXPECT_EQ(records.size(), 1u);
        const ServiceRecord r = records.empty() ? ServiceRecord{} : records.back();
        records.clear();
        return r;
    }
    static std::string writesText(const ServiceRecord& r) {
        std::string text;
        for (const RecordedWrite& w : r.bytesWritten) {
            text += std::to_string(w.address) + ":" +
                    (w.before ? std::to_string(*w.before) : std::string("?")) + ">" +
                    std::to_string(w.after) + " ";
        }
        return text;
    }
    std::vector<ServiceRecord> records;
};

TEST_F(Records, GetNamesTheWrenchItReadAndTheRequestItHandedOut) {
    session.setDirection(true);
    ASSERT_TRUE(session.getParameterSet().ok());
    const ServiceRecord r = only();
    EXPECT_EQ(r.job, "Get");
    EXPECT_EQ(r.factoryCode + "|" + r.softwareVersion + "|" + r.wrenchCode, "A1B2|1005|123456");
    EXPECT_EQ(r.direction, "CCW");
    EXPECT_EQ(r.requestCode, "4711");
    EXPECT_EQ(r.requestMessage, session.parameterRequest());
    ASSERT_EQ(r.bytesRead.size(), 16u);
    EXPECT_EQ(r.bytesRead[0].address, 0x0C);
    EXPECT_EQ(r.bytesRead[0].value, 0xA1);
    EXPECT_TRUE(r.bytesWritten.empty());
    EXPECT_EQ(r.outcome, RecordOutcome::Done);
    EXPECT_GT(r.durationMs, 0);
}

// Clear Er0 read the three bytes it writes, so each has its byte before; the wrench's code
// was never read in this session, so the record leaves it empty.
TEST_F(Records, AWriteKeepsEachByteBeforeAndAfterAndLeavesAnUnknownWrenchEmpty) {
    wrench.poke(0x00, 0x10, 0x85);
    wrench.poke(0x00, 0x23, 0x34);
    wrench.poke(0x00, 0x24, 0x12);
    ASSERT_TRUE(session.clearEr0().ok());
    ServiceRecord r = only();
    EXPECT_EQ(r.job, "Clear Er0");
    EXPECT_EQ(writesText(r), "16:133>5 35:52>0 36:18>0 ");
    EXPECT_EQ(r.factoryCode + r.softwareVersion + r.wrenchCode, "");

    // The editor's Write of a cell never read: its byte before is not known.
    session.memory().setTyped(0x20, "5a");
    session.memory().selectOnly({0x20});
    ASSERT_TRUE(session.writeCells().ok());
    r = only();
    EXPECT_EQ(r.job, "Write");
    EXPECT_EQ(writesText(r), "32:?>90 ");
}

// What a job that does not read the wrench's code names: the wrench an earlier job read on
// this connection, and none once the port has been closed or lost, since another wrench may
// be plugged in meanwhile (here 998877 after 123456).
TEST_F(Records, AJobNamesOnlyAWrenchReadSinceThePortWasOpened) {
    const auto identity = [](const ServiceRecord& r) {
        return r.factoryCode + "|" + r.softwareVersion + "|" + r.wrenchCode;
    };
    std::string error;
    ASSERT_TRUE(session.getParameterSet().ok());
    only();
    ASSERT_TRUE(session.clearEr0().ok());
    EXPECT_EQ(identity(only()), "A1B2|1005|123456");

    // The wrench read, how the port closes, the wrench plugged in then.
    const std::tuple<const char*, std::function<void()>, std::array<int, 3>> closings[] = {
        {"123456", [this] { session.close(); }, {0x99, 0x88, 0x77}},
        {"998877", [this] { port.unplug(); }, {0x12, 0x34, 0x56}}};
    for (const auto& [read, closing, next] : closings) {
        ASSERT_TRUE(session.getParameterSet().ok());
        only();
        EXPECT_EQ(session.wrenchCode(), read);
        closing();
        EXPECT_EQ(session.wrenchCode(), "");
        for (int i = 0; i < 3; ++i) {
            wrench.poke(0x00, std::uint8_t(0x2B + i), std::uint8_t(next[std::size_t(i)]));
        }
        ASSERT_TRUE(session.open("sim", {}, error)) << error;
        ASSERT_TRUE(session.readMaxTorque().ok());
        EXPECT_EQ(identity(only()), "||") << read;
        ASSERT_TRUE(session.clearEr0().ok());
        EXPECT_EQ(identity(only()), "||") << read;
    }
}

// Write All FF on a wrench never read: neither its record nor the next job's names the code
// it only wrote.
TEST_F(Records, ACodeOnlyWrittenNamesNoWrench) {
    ASSERT_TRUE(session.writeAllFF().ok());
    ServiceRecord r = only();
    EXPECT_EQ(r.bytesWritten.size(), 39u);
    EXPECT_EQ(r.factoryCode + r.softwareVersion + r.wrenchCode, "");
    ASSERT_TRUE(session.clearEr0().ok());
    r = only();
    EXPECT_EQ(r.factoryCode + r.softwareVersion + r.wrenchCode, "");
    EXPECT_EQ(session.wrenchCode(), "");
}

TEST_F(Records, ARefusedWriteAndAStoppedJobAreRecordedAsSuch) {
    session.setDigits(2);
    boxes.answerOk();
    const std::string text = "00014711/1/00/01/10/05/A1B2/123456/01/0010/82/A1/b2/C3/D4/2533";
    EXPECT_EQ(session.writeParameterSet(text).end, JobEnd::Refused);
    ServiceRecord r = only();
    EXPECT_EQ(r.job, "Parameter Write");
    EXPECT_EQ(r.newSet, text);
    EXPECT_EQ(r.outcome, RecordOutcome::Refused);
    EXPECT_EQ(r.message, "Syntax error:The wrench is not the same one or decimal point Err");
    EXPECT_TRUE(r.bytesWritten.empty());
    EXPECT_EQ(r.wrenchCode, "123456"); // read before it refused

    onCell = [this](const CellProgress& p) {
        if (p.address == 0x09) {
            session.stopCells();
        }
    };
    boxes.answerOk();
    EXPECT_EQ(session.writeAllFF().end, JobEnd::Stopped);
    r = only();
    EXPECT_EQ(r.outcome, RecordOutcome::Stopped);
    EXPECT_EQ(writesText(r), "7:?>255 8:?>255 9:?>255 ");
}

TEST_F(Records, APresetWriteNamesItsModelAndATestRunSumsItsCycles) {
    session.loadPreset("WT-07");
    onCell = [this](const CellProgress& p) {
        if (p.address == 0x11) {
            session.stopCells();
        }
    };
    boxes.answerOk();
    session.writeCells();
    ServiceRecord r = only();
    EXPECT_EQ(r.job + "|" + r.detail, "Preset Write|model WT-07");
    EXPECT_EQ(r.bytesWritten.size(), 2u);

    // Three cycles of 1234H with constants of 0: 0 N·m each (the torque itself is another
    // test's), stopped during the third.
    int cycles = 0;
    QObject::connect(&session, &WrenchSession::torqueComputed, [&] {
        if (++cycles == 3) {
            session.stopTest();
        }
    });
    session.setTestPause("100");
    session.runTest();
    r = only();
    EXPECT_EQ(r.job, "Test Run");
    ASSERT_TRUE(r.run.has_value());
    EXPECT_EQ(r.run->cycles, 3);
    EXPECT_LT(r.run->firstMs, r.run->lastMs);
    EXPECT_EQ(r.outcome, RecordOutcome::Done);
    EXPECT_TRUE(r.bytesRead.empty()); // the live value is no byte of the memory
}

} // namespace
} // namespace zelcor::test
