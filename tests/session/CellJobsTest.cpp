// SPDX-License-Identifier: GPL-3.0-or-later
// Read All, Write, Write All FF and the fills, on the simulated wrench.
#include "SessionFixture.h"

#include <array>

namespace zelcor::test {
namespace {

using Cells = SessionTest;

TEST_F(Cells, ReadAllReadsTheSelectedCellsFrom07HUpRetryingEachOnce) {
    session.stopCells(); // a stop asked for before Read All is forgotten when it starts
    session.memory().selectOnly({0x2D, 0x00, 0x06, 0x07, 0x22, 0x10});
    wrench.poke(0x00, 0x07, 0x3C);
    wrench.poke(0x00, 0x22, 0x9E);
    faultFrom(0x22, {.noReply = true, .firstAttemptOnly = true});

    const JobResult result = session.readCells();
    EXPECT_EQ(result.end, JobEnd::Done);
    EXPECT_EQ(sent(), reads({0x07, 0x10, 0x22, 0x22, 0x2D}));
    EXPECT_TRUE(shown().empty());
    const ParameterMemory& m = session.memory();
    EXPECT_EQ(m.text(0x06) + m.text(0x07) + m.text(0x10) + m.text(0x22) + m.text(0x2D),
              "XX3C009E56");

    // Every cell from 07H is passed; the selected ones are counted 1 to 4 of 4.
    ASSERT_EQ(progress.size(), 39u);
    std::vector<std::array<int, 3>> counted;
    for (const CellProgress& p : progress) {
        if (p.selected || p.index != 0) {
            counted.push_back({p.address, p.index, p.count});
        }
    }
    EXPECT_EQ(counted, (std::vector<std::array<int, 3>>{
                           {0x07, 1, 4}, {0x10, 2, 4}, {0x22, 3, 4}, {0x2D, 4, 4}}));
}

// At 11H the echoed address comes back corrupted: the cell is asked twice, the job ends there
// with the exchange's failure and 12H is never read. (The fault matrix has every fault's boxes.)
TEST_F(Cells, ACellThatFailsTwiceEndsReadAllWithTheReceiveErrorAndHelp) {
    session.memory().selectOnly({0x10, 0x11, 0x12});
    faultFrom(0x11, {.corruptAt = 1});
    boxes.answerOk(2);
    const JobResult result = session.readCells();
    EXPECT_EQ(result.end, JobEnd::Failed);
    EXPECT_EQ(result.failure, CommResult::SyntaxError);
    EXPECT_EQ(result.address, 0x11);
    EXPECT_EQ(sent(), reads({0x10, 0x11, 0x11}));
    EXPECT_EQ(shown(), (std::vector<std::string>{kReceiveErr, kHelp}));
    EXPECT_EQ(session.memory().text(0x10) + session.memory().text(0x12), "00XX");
}

// Stop comes while the request for 11H is on the wire: that cell is finished, then the job
// says so and ends.
TEST_F(Cells, StopEndsReadAllAndWriteAfterTheCurrentCell) {
    onCell = [this](const CellProgress& p) {
        if (p.address == 0x11) {
            clock.after(30, [this] { session.stopCells(); });
        }
    };
    session.memory().selectOnly({0x10, 0x11, 0x12});
    std::string cellAtBox;
    boxes.setOnShow([&](const ShownBox&) { cellAtBox = session.memory().text(0x11); });
    boxes.answerOk();
    const JobResult read = session.readCells();
    EXPECT_EQ(read.end, JobEnd::Stopped);
    EXPECT_EQ(read.address, 0x11);
    EXPECT_EQ(sent(), reads({0x10, 0x11}));
    EXPECT_EQ(shown(), std::vector<std::string>{kStop});
    EXPECT_EQ(cellAtBox + session.memory().text(0x12), "34XX");

    for (const int cell : {0x10, 0x11, 0x12}) {
        session.memory().setByte(cell, 0xA5);
    }
    boxes.answerOk();
    const JobResult written = session.writeCells();
    EXPECT_EQ(written.end, JobEnd::Stopped);
    EXPECT_EQ(written.address, 0x11);
    EXPECT_EQ(sent(), writes({{0x10, 0xA5}, {0x11, 0xA5}}));
    EXPECT_EQ(shown(), std::vector<std::string>{kStop});
}

// Stop while the reply for 10H is awaited, and it never comes: the windows' Stop lets the
// cell's retry go out and the job ends failed; zelcor-cli's stop sends nothing more and the
// job ends stopped at that cell, with how its exchange ended.
TEST_F(Cells, AStopDuringAnUnansweredCellKeepsItsRetryUnlessRetriesAreStoppedToo) {
    struct Row {
        const char* who;
        bool noRetries;
        Bytes wire;
        JobEnd end;
        std::vector<std::string> boxes;
    };
    const Row rows[] = {
        {"windows", false, reads({0x10, 0x10}), JobEnd::Failed, {kReceiveErr, kHelp}},
        {"zelcor-cli", true, reads({0x10}), JobEnd::Stopped, {kStop}}};
    for (const Row& row : rows) { // the second's stop before retries is for good
        SCOPED_TRACE(row.who);
        session.memory().selectOnly({0x10, 0x11});
        wrench.setFaults({.noReply = true});
        onCell = [&](const CellProgress& p) {
            if (p.address == 0x10) {
                clock.after(1000, [&] {
                    session.stopCells();
                    if (row.noRetries) {
                        session.stopBeforeRetries();
                    }
                });
            }
        };
        boxes.answerOk(static_cast<int>(row.boxes.size()));
        const JobResult result = session.readCells();
        EXPECT_EQ(result.end, row.end);
        EXPECT_EQ(result.failure, CommResult::TimeOut);
        EXPECT_EQ(result.address, 0x10);
        EXPECT_EQ(sent(), row.wire);
        EXPECT_EQ(shown(), row.boxes);
    }
}

TEST_F(Cells, WriteSendsTheSelectedBytesAscendingFrom07H) {
    ParameterMemory& m = session.memory();
    m.setTyped(0x05, "11");
    m.setTyped(0x0A, "22");
    m.setTyped(0x10, "b8");
    m.setTyped(0x12, " 0 5");
    m.setByte(0x2D, 0x7E);
    m.setTyped(0x20, "G1"); // not selected: never looked at
    session.memory().selectOnly({0x2D, 0x12, 0x10, 0x0A, 0x05});
    faultFrom(0x12, {.noReply = true, .firstAttemptOnly = true});
    EXPECT_TRUE(session.writeCells().ok());
    EXPECT_EQ(sent(),
              writes({{0x0A, 0x22}, {0x10, 0xB8}, {0x12, 0x05}, {0x12, 0x05}, {0x2D, 0x7E}}));
    EXPECT_TRUE(shown().empty());
}

TEST_F(Cells, WriteRefusesACellThatHoldsNoByteNamingItAndSendsNothingFromIt) {
    const std::pair<const char*, const char*> rows[] = {
        {nullptr, "holds \"XX\": this byte has not been read from the wrench"},
        {"", "is empty"},
        {"1FF", "holds \"1FF\", whose value is above FF: no byte 00 to FF"},
        {"G1", "holds \"G1\", which is not a hexadecimal byte 00 to FF"}};
    for (const auto& [typed, reason] : rows) {
        SCOPED_TRACE(reason);
        ParameterMemory& m = session.memory();
        m.setByte(0x10, 0x01);
        typed ? m.setTyped(0x11, typed) : m.setUnread(0x11);
        m.setByte(0x12, 0x02);
        session.memory().selectOnly({0x10, 0x11, 0x12});
        boxes.answerOk();
        const JobResult result = session.writeCells();
        const std::string message = std::string("Cell 11H:gK_CWi_L ") + reason +
                                    ".\r\nNothing from this cell on has been written.";
        EXPECT_EQ(result.end, JobEnd::Refused);
        EXPECT_EQ(result.address, 0x11);
        EXPECT_EQ(result.message, message);
        EXPECT_EQ(sent(), writes({{0x10, 0x01}}));
        EXPECT_EQ(shown(), std::vector<std::string>{"Invalid Cell|" + message});
    }
}

TEST_F(Cells, WriteAllFFWritesThe39AddressesAndLeavesTheMemory) {
    session.memory().setByte(0x10, 0x12);
    EXPECT_TRUE(session.writeAllFF().ok());
    Bytes expected;
    for (int a = 0x07; a <= 0x2D; ++a) {
        expected = expected + writes({{a, 0xFF}});
    }
    EXPECT_EQ(sent(), expected);
    EXPECT_EQ(progress.back().index, 39);
    EXPECT_EQ(session.memory().text(0x10) + session.memory().text(0x11), "12XX");
}

TEST_F(Cells, PresetsAndFillAllFFSelectTheirCellsAndSendNothing) {
    session.memory().setSelected(0x2D, true);
    session.loadPreset("wt-01"); // not a model's exact name: WT-07, 2000 = 07D0H at 17H
    const ParameterMemory& m = session.memory();
    EXPECT_EQ(m.text(0x10) + m.text(0x17) + m.text(0x18) + m.text(0x2A), "02D00700");
    for (int i = 0; i < cells::kCount; ++i) {
        EXPECT_EQ(m.selected(i), i >= 0x10 && i <= 0x2A) << i;
    }
    session.fillAllFF();
    for (int i = 0; i < cells::kCount; ++i) {
        EXPECT_EQ(m.selected(i), i >= 0x07) << i;
        EXPECT_EQ(m.text(i), i >= 0x07 ? "FF" : "XX") << i;
    }
    EXPECT_TRUE(sent().empty());
}

// A timer that fires while a job holds the link, in a pause between its exchanges, asks for
// another job: it is refused with the "Link Busy" box and nothing of it reaches the wire.
// Read All in Get's pause before its reads, a console read in a test run's pause; the Read
// All that Get runs itself goes through.
TEST_F(SessionTest, AJobAskedForWhileAnotherHoldsTheLinkIsRefusedAndSendsNothing) {
    const std::string linkBusy = "Link Busy|Another exchange with the wrench is still "
                                 "running.\r\nThis request was not sent.";
    session.memory().selectOnly({0x07});
    std::optional<JobResult> readAll;
    clock.after(10, [&] { readAll = session.readCells(); });
    boxes.answerOk(1);
    EXPECT_TRUE(session.getParameterSet().ok());
    ASSERT_TRUE(readAll);
    EXPECT_EQ(readAll->end, JobEnd::Refused);
    EXPECT_EQ(sent(), kGetReads);
    EXPECT_EQ(shown(), std::vector<std::string>{linkBusy});

    session.setTestPause("5000");
    std::optional<ReadReply> console;
    clock.after(2000, [&] { console = session.readRegister(0x00, 0x10); });
    clock.after(2500, [&] { session.stopTest(); });
    boxes.answerOk(1);
    EXPECT_EQ(session.runTest().end, JobEnd::Stopped);
    ASSERT_TRUE(console);
    EXPECT_EQ(console->result, CommResult::Busy);
    EXPECT_EQ(sent(), reads({0x02}));
    EXPECT_EQ(shown(), std::vector<std::string>{linkBusy});
}

// The far end goes away 150 ms into each job: the job ends, the exchange on the wire and every
// one after it fail at once, and nothing is sent after the loss. (What the technician is shown
// is in the fault matrix's column "port lost".)
TEST_F(SessionTest, APortLostInTheMiddleOfAJobEndsItWithoutWaitingOutATimeOut) {
    struct Row {
        const char* job;
        std::function<JobResult()> run;
        JobEnd end;
        std::int64_t afterLossMs; // the pauses of the job itself, never a time-out
    };
    const Row rows[] = {
        {"Read All", [this] { return session.readCells(); }, JobEnd::Failed, 0},
        {"Write", [this] { return session.writeCells(); }, JobEnd::Failed, 0},
        {"Write All FF", [this] { return session.writeAllFF(); }, JobEnd::Failed, 0},
        {"Get", [this] { return session.getParameterSet(); }, JobEnd::Failed, 100},
        {"parameter Write", [this] { return session.writeParameterSet(""); }, JobEnd::Refused, 0},
        {"Read Max Torque", [this] { return session.readMaxTorque(); }, JobEnd::Failed, 0},
        {"Clear Er0", [this] { return session.clearEr0(); }, JobEnd::Refused, 0},
        {"test run", [this] { return session.runTest(); }, JobEnd::Stopped, 300},
        // With the port gone after its constants, there is no test run to start.
        {"live reading", [this] { return session.runLiveReading(false); }, JobEnd::Done, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.job);
        std::string error;
        ASSERT_TRUE(session.open("sim", {}, error)) << error;
        session.memory().clear();
        for (const int cell : {0x10, 0x11, 0x12}) {
            session.memory().setByte(cell, 0x5A);
        }
        session.memory().selectOnly({0x10, 0x11, 0x12});
        std::size_t sentAtLoss = 0;
        const std::int64_t lostAt = clock.nowMs() + 150;
        clock.at(lostAt, [&] {
            sentAtLoss = port.writtenBytes().size();
            port.unplug();
        });
        boxes.acceptAll();
        EXPECT_EQ(row.run().end, row.end);
        EXPECT_EQ(clock.nowMs() - lostAt, row.afterLossMs);
        EXPECT_EQ(port.writtenBytes().size(), sentAtLoss);
        EXPECT_FALSE(sent().empty()); // the job had begun on the wire
    }
}

// A backup is read whole and written back cell by cell, each read back: 20H is written,
// 22H (the simulated wrench's record length 32H) gets no answer to its write (twice) and ends the
// restore before 2AH; the identity is never written, and a backup naming another wrench is refused
// before any write.
TEST_F(Cells, RestoreTellsEachCellsOutcomeAndNeverWritesTheIdentity) {
    Backup backup;
    ASSERT_TRUE(session.readBackup(backup).ok());
    EXPECT_EQ(sent().size(), 39u * 3);
    ASSERT_EQ(backup.cells.size(), 39u);
    EXPECT_EQ(backup.cells.at(0x2D), 0x56);

    Backup other = backup;
    other.cells[0x2D] = 0x57;
    RestoreResult r = session.restoreBackup(other, false);
    EXPECT_EQ(r.end.end, JobEnd::Refused);
    EXPECT_TRUE(r.otherWrench);
    EXPECT_EQ(r.outcomes.at(0x20), CellRestore::Refused);
    EXPECT_EQ(sent().size(), 39u * 3); // read, never written
    // Forced onto the wrench, a backup that differs only in its identity writes nothing.
    other.cells[0x0C] = 0x00;
    other.cells[0x2B] = 0x00;
    r = session.restoreBackup(other, true);
    EXPECT_TRUE(r.end.ok());
    EXPECT_EQ(sent().size(), 39u * 3);
    EXPECT_EQ(r.outcomes.at(0x2B), CellRestore::Refused);

    for (const int cell : {0x20, 0x22, 0x2A}) {
        wrench.poke(0x00, static_cast<std::uint8_t>(cell), 0x01);
    }
    wrench.poke(0x00, 0x0C, 0x00); // an identity cell the wrench now holds otherwise
    backup.cells[0x0C] = 0x00;     // (the backup agrees, so it is this wrench's)
    onCell = [this](const CellProgress& p) {
        if (p.job == CellJob::Write && p.selected && p.address == 0x22) {
            wrench.setFaults({.noReply = true});
        }
    };
    boxes.answerOk(2);
    r = session.restoreBackup(backup, false);
    EXPECT_EQ(r.end.end, JobEnd::Failed);
    EXPECT_EQ(r.end.address, 0x22);
    const Bytes wire = sent();
    EXPECT_EQ(Bytes(wire.begin() + 39 * 3, wire.end()),
              writes({{0x20, 0x00}}) + reads({0x20}) + writes({{0x22, 0x32}, {0x22, 0x32}}));
    EXPECT_EQ(shown(), (std::vector<std::string>{kReceiveErr, kHelp}));
    ASSERT_EQ(r.changes.size(), 3u);
    EXPECT_EQ(r.unchanged, 39u - 7 - 3);
    EXPECT_EQ(r.outcomes.at(0x07), CellRestore::Unchanged);
    EXPECT_EQ(r.outcomes.at(0x0C), CellRestore::Refused);
    EXPECT_EQ(r.outcomes.at(0x20), CellRestore::Written);
    EXPECT_EQ(r.outcomes.at(0x22), CellRestore::Failed);
    EXPECT_EQ(r.outcomes.count(0x2A), 0u); // never reached
    EXPECT_EQ(r.changes[1].readBack, std::nullopt);
}

} // namespace
} // namespace zelcor::test
