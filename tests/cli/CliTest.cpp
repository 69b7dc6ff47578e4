// SPDX-License-Identifier: GPL-3.0-or-later
// zelcor-cli's jobs on the simulated wrench, in virtual time: the bytes on the wire, what is
// printed and the exit code.
#include "session/SessionFixture.h"
#include "sim/SimulatedTester.h"
#include "sim/SimulatedTesterPort.h"
#include "support/IssuedSet.h"

#include "cli/CliRunner.h"
#include "common/TextConv.h"
#include "records/RecordQuery.h"
#include "wrench/TorqueLog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <csignal>
#include <fstream>
#include <sstream>

namespace zelcor::test {
namespace {

using cli::CliOptions;
using cli::CliRunner;

CliOptions Parse(std::vector<std::string> words) {
    words.insert(words.begin(), "zelcor-cli");
    return cli::ParseCliOptions(words);
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The identity and constants of the session tests' wrench.
        const std::pair<int, int> cells[] = {{0x0C, 0xA1}, {0x0D, 0xB2}, {0x0E, 0x05},
                                             {0x0F, 0x10}, {0x10, 0x00}, {0x2B, 0x12},
                                             {0x2C, 0x34}, {0x2D, 0x56}, {0x1B, 0x33}};
        for (const auto& [a, v] : cells) {
            wrench.poke(0x00, std::uint8_t(a), std::uint8_t(v));
        }
    }
    // Runs one command line; `onCell` is called as each cell job reaches a cell, with the
    // runner, so a test can interrupt it as Ctrl+C would (CliProcess has the signal itself).
    int run(std::vector<std::string> words) {
        words.insert(words.end(), {"--port", "sim", "--records", recordsPlace});
        const CliOptions options = Parse(words);
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
                                [this](std::size_t limit) -> std::optional<std::string> {
                                    if (input.size() > limit) {
                                        return std::nullopt;
                                    }
                                    return input;
                                },
                                [] { return std::string("2026-12-06T23:00:00Z"); }};
        context.testerPort = &tester;
        // Standard input: every line typed ahead, then its end.
        context.watchInput = [this](std::function<void(std::optional<std::string>)> line) {
            if (line) {
                clock.after(0, [this, line] {
                    for (const std::string& text : typed) {
                        line(text);
                    }
                    line(std::nullopt);
                });
            }
        };
        CliRunner runner(options, context);
        if (onStart) {
            onStart(runner);
        }
        QObject::connect(&runner.session(), &WrenchSession::jobRecorded,
                         [this](const ServiceRecord& r) { records.push_back(r); });
        QObject::connect(&runner.session(), &WrenchSession::cellProgress,
                         [&](const CellProgress& p) {
                             if (onCell && p.index > 0) {
                                 onCell(runner, p);
                             }
                         });
        return runner.run("sim");
    }
    Bytes sent() {
        const Bytes all = port.writtenBytes();
        Bytes fresh(all.begin() + static_cast<std::ptrdiff_t>(m_seen), all.end());
        m_seen = all.size();
        return fresh;
    }
    QJsonObject json() const { return QJsonDocument::fromJson(out.str().c_str()).object(); }

    VirtualClock clock;
    sim::SimulatedWrench wrench{clock};
    sim::SimulatedPort port{wrench};
    std::ostringstream out, err;
    cli::StreamMessageBoxes boxes{err};
    std::string input;
    QTemporaryDir folder;
    std::vector<ServiceRecord> records;
    std::function<void(CliRunner&, const CellProgress&)> onCell;
    std::function<void(CliRunner&)> onStart;
    sim::SimulatedTester simTester{clock, wrench};
    sim::SimulatedTesterPort tester{simTester};
    std::vector<std::string> typed;
    // Where the records would go: the runner only sees whether they are kept (nothing here
    // writes them). Off, the wire carries the job's own exchanges alone.
    std::string recordsPlace = "off";

private:
    std::size_t m_seen = 0;
};

TEST(CliOptions, OptionsStandAnywhereAndEveryBadCommandLineIsRefused) {
    const CliOptions dump = Parse({"--json", "dump", "--cells", "2b,07-09,08", "--port=/dev/x"});
    EXPECT_EQ(dump.error, "");
    EXPECT_EQ(dump.cells, (std::vector<int>{0x07, 0x08, 0x09, 0x2B}));
    EXPECT_TRUE(dump.json);
    EXPECT_EQ(dump.port, "/dev/x");
    EXPECT_EQ(Parse({"dump", "--simulator"}).cells.size(), 39u); // 07H to 2DH

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"dump", "--port", "1", "--cells", "06"},
          {"dump", "--port", "1", "--cells", "2E"},
          {"dump", "--port", "1", "--cells", "20-10"},
          {"dump", "--port", "1", "--cells", "1,2"},
          {"dump"},                               // no port
          {"dump", "--port", "1", "--simulator"}, // two wrenches
          {"write-all-ff", "--port", "1"},        // without --yes
          {"get", "--port", "1"},                 // no direction
          {"get", "--port", "1", "--direction", "left"},
          {"write-params", "--port", "1", "--direction", "cw", "X"}, // no digits
          {"max-torque", "--port", "1", "--digits", "4"},
          {"read", "--port", "1", "00"}, // a word short
          {"live", "--port", "1", "--pause", "0"},
          {"erase", "--port", "1"},
          {"dump", "--port"}}) {
        EXPECT_NE(Parse(bad).error, "") << bad[0];
    }
}

// Only the speeds the wrench speaks: any other would open the line at a rate no wrench
// answers at.
TEST(CliOptions, BaudTakesOnlyTheWrenchsSpeeds) {
    EXPECT_EQ(Parse({"dump", "--simulator"}).baud, 1200);
    EXPECT_EQ(Parse({"dump", "--simulator", "--baud", "2400"}).baud, 2400);
    for (const char* bad : {"7", "9600", "0", "-1200", "1200.0", "fast"}) {
        EXPECT_EQ(Parse({"dump", "--simulator", "--baud", bad}).error,
                  "--baud takes a speed the wrench speaks, 1200 or 2400, not \"" +
                      std::string(bad) + "\"");
    }
}

TEST_F(CliTest, ReadAndWriteAreOneExchangeEachAndBadBytesNeverReachTheWire) {
    wrench.poke(0x00, 0x10, 0x5A);
    EXPECT_EQ(run({"read", "00", "10"}), 0);
    EXPECT_EQ(out.str(), "5A 00 00\n");
    EXPECT_EQ(run({"write", "00", "1c", "Ab"}), 0);
    EXPECT_EQ(sent(), reads({0x10}) + writes({{0x1C, 0xAB}}));
    EXPECT_EQ(wrench.peek(0x00, 0x1C), 0xAB);

    for (const char* bad : {"1", "100", "G0", " 1"}) {
        EXPECT_EQ(run({"write", "00", "1C", bad}), 2) << bad;
        EXPECT_NE(err.str().find("BYTE"), std::string::npos) << err.str();
    }
    EXPECT_EQ(sent(), Bytes{});
}

TEST_F(CliTest, DumpPrintsEachCellAndAnUnreadCellAsXXWithACommunicationFailure) {
    EXPECT_EQ(run({"dump", "--cells", "2B,2D", "--json"}), 0);
    EXPECT_EQ(sent(), reads({0x2B, 0x2D}));
    const QJsonArray cells = json().value("cells").toArray();
    ASSERT_EQ(cells.size(), 2);
    EXPECT_EQ(cells[1].toObject().value("address").toString(), "2D");
    EXPECT_EQ(cells[1].toObject().value("byte").toString(), "56");

    wrench.setFaults({.noReply = true});
    EXPECT_EQ(run({"dump", "--cells", "2B,2D"}), 1);
    EXPECT_EQ(sent(), reads({0x2B, 0x2B})); // one retry, then the job ends
    EXPECT_NE(out.str().find("2BH:cdoe_2           XX\n2DH:code_0           XX"), std::string::npos)
        << out.str();
    EXPECT_NE(err.str().find("Data Receving Err"), std::string::npos) << err.str();
}

// The legends of 29H and 2AH hold Chinese characters, two columns each on a terminal: the
// bytes still line up.
TEST_F(CliTest, DumpLinesUpTheBytesWhateverScriptTheLegendIsIn) {
    wrench.poke(0x00, 0x28, 0x00);
    wrench.poke(0x00, 0x29, 0x11);
    wrench.poke(0x00, 0x2A, 0x22);
    EXPECT_EQ(run({"dump", "--cells", "28-2A"}), 0);
    EXPECT_EQ(out.str(), "28H:gK_CCWA_H        00\n"
                         "29H: 保留給  fgauge  11\n"
                         "2AH:保留給   fgauge  22\n");
}

TEST_F(CliTest, RestoreWritesOnlyTheChangedCellsNeverTheIdentityAndRefusesAnotherWrench) {
    const std::string file = folder.filePath("wrench.json").toStdString();
    ASSERT_EQ(run({"backup", file}), 0);
    std::ifstream in(file);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("\"wrenchCode\": \"123456\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"time\": \"2026-12-06T23:00:00Z\""), std::string::npos);
    sent();

    // The wrench changes after the backup: two cells, one of them an identity cell.
    wrench.poke(0x00, 0x1B, 0x44);
    wrench.poke(0x00, 0x20, 0x01);
    wrench.poke(0x00, 0x2D, 0x57);
    EXPECT_EQ(run({"restore", file}), 3);
    EXPECT_NE(err.str().find("wrench code 123456) than the one connected (factory code A1B2, "
                             "software 10 05, wrench code 123457"),
              std::string::npos)
        << err.str();
    Bytes wire = sent();
    EXPECT_EQ(std::count(wire.begin(), wire.end(), 0xE8), 0);
    ASSERT_EQ(records.size(), 2u); // the backup and the refused restore, each one job
    EXPECT_EQ(records[1].job, "zelcor-cli restore");
    EXPECT_EQ(records[1].outcome, RecordOutcome::Refused);

    EXPECT_EQ(run({"restore", file, "--force-other-wrench"}), 0);
    wire = sent();
    const Bytes afterReading(wire.begin() + 39 * 3, wire.end());
    EXPECT_EQ(afterReading,
              writes({{0x1B, 0x33}}) + reads({0x1B}) + writes({{0x20, 0x00}}) + reads({0x20}));
    EXPECT_EQ(wrench.peek(0x00, 0x2D), 0x57);
    // 1BH from 44H back to 33H, 20H from 01H back to 00H; the wrench as it is now.
    const ServiceRecord& r = records.back();
    EXPECT_EQ(zelcor::records::WrittenBytesText(r.bytesWritten), "1B:44>33 20:01>00");
    EXPECT_EQ(r.wrenchCode, "123457");
}

TEST_F(CliTest, AnInterruptedRestoreEndsWithTheCellUnderWayWrittenAndReadBack) {
    const std::string file = folder.filePath("wrench.json").toStdString();
    ASSERT_EQ(run({"backup", file}), 0);
    // Two cells change after the backup, 10H and 1DH, to be written back in that order.
    wrench.poke(0x00, 0x10, 0x03);
    wrench.poke(0x00, 0x1D, 0xC4);
    sent();
    onCell = [](CliRunner& runner, const CellProgress& p) {
        if (p.job == CellJob::Write) {
            runner.interrupt(SIGINT);
        }
    };
    EXPECT_EQ(run({"restore", file}), 130);
    const Bytes wire = sent();
    EXPECT_EQ(Bytes(wire.begin() + 39 * 3, wire.end()), writes({{0x10, 0x00}}) + reads({0x10}));
    EXPECT_EQ(wrench.peek(0x00, 0x1D), 0xC4);
    EXPECT_NE(out.str().find("03 -> 00"), std::string::npos) << out.str();
}

// A cell whose write or read-back went unanswered is listed as not read back, never with the
// byte that was to be written: the wrench may hold either.
TEST_F(CliTest, RestoreNeverReportsAReadBackThatDidNotHappen) {
    const std::string file = folder.filePath("wrench.json").toStdString();
    wrench.poke(0x00, 0x1F, 0xC8);
    ASSERT_EQ(run({"backup", file}), 0);
    struct Row {
        const char* what;
        CellJob job; // the fault comes as this job reaches 1FH, once it is written
        std::function<void()> fault;
        std::uint8_t holds;
    };
    const Row rows[] = {
        {"write unanswered", CellJob::Write, [this] { wrench.setFaults({.noReply = true}); }, 0xC8},
        {"port gone", CellJob::Write, [this] { port.unplug(); }, 0x64},
        {"read-back unanswered", CellJob::Read, [this] { wrench.setFaults({.noReply = true}); },
         0xC8}};
    for (const Row& row : rows) {
        for (const bool asJson : {true, false}) {
            SCOPED_TRACE(std::string(row.what) + (asJson ? " --json" : ""));
            wrench.clearFaults();
            wrench.poke(0x00, 0x1F, 0x64);
            bool writing = false;
            onCell = [&](CliRunner&, const CellProgress& p) {
                writing |= p.job == CellJob::Write;
                if (writing && p.job == row.job) {
                    row.fault();
                }
            };
            EXPECT_EQ(run(asJson ? std::vector<std::string>{"restore", file, "--json"}
                                 : std::vector<std::string>{"restore", file}),
                      1);
            EXPECT_EQ(wrench.peek(0x00, 0x1F), row.holds);
            if (asJson) {
                const QJsonArray written = json().value("written").toArray();
                ASSERT_EQ(written.size(), 1);
                EXPECT_EQ(written[0].toObject().value("after").toString(), "C8");
                EXPECT_TRUE(written[0].toObject().value("readBack").isNull()) << out.str();
            } else {
                EXPECT_EQ(out.str(), "1FH:ms_TqLLimit_L    64 -> C8 not read back\n");
            }
        }
    }
}

// A write over cells that ends early names the cell it ended at and how many were written
// before it: the wrench falls silent at one cell (it still takes the byte, the retry too).
TEST_F(CliTest, AWriteThatEndsEarlySaysAtWhichCellAndHowManyCellsWereWrittenBeforeIt) {
    const std::string file = folder.filePath("wrench.json").toStdString();
    ASSERT_EQ(run({"backup", file}), 0);
    struct Row {
        std::vector<std::string> words;
        int silentFrom;
        std::string said;
        int writtenBefore;
    };
    const Row rows[] = {
        // The wrench's 1BH and 20H differ from the backup: 20H is the second to be written.
        {{"restore", file},
         0x20,
         "cell 20H:ms_TqLLimit_H got no answer to its write; whether it holds the backup's byte "
         "is not known: 1 of the 2 cells was written and read back before it",
         1},
        {{"preset", "WT-07"},
         0x13,
         "cell 13H:gK_CCWi_L got no answer; whether it holds its new byte is not known: 3 of the "
         "27 cells were written before it",
         3},
        {{"write-all-ff", "--yes"},
         0x0A,
         "cell 0AH:Reserved got no answer; whether it holds its new byte is not known: 3 of the "
         "39 cells were written before it",
         3}};
    for (const Row& row : rows) {
        for (const bool asJson : {false, true}) {
            SCOPED_TRACE(row.words[0] + (asJson ? " --json" : ""));
            wrench.clearFaults();
            wrench.poke(0x00, 0x1B, 0x44);
            wrench.poke(0x00, 0x20, 0x01);
            onCell = [&](CliRunner&, const CellProgress& p) {
                if (p.job != CellJob::Read && p.address == row.silentFrom) {
                    wrench.setFaults({.noReply = true});
                }
            };
            std::vector<std::string> words = row.words;
            if (asJson) {
                words.push_back("--json");
            }
            EXPECT_EQ(run(words), 1);
            EXPECT_NE(err.str().find("zelcor-cli: " + row.said + "\n"), std::string::npos)
                << err.str();
            if (asJson) {
                const QJsonObject at = json().value("stoppedAt").toObject();
                EXPECT_EQ(at.value("address").toString().toStdString(),
                          ByteToHexStr(std::uint8_t(row.silentFrom)));
                EXPECT_EQ(at.value("reason").toString(), "no answer");
                EXPECT_EQ(at.value("writtenBefore").toInt(), row.writtenBefore);
            }
        }
    }
}

// Ctrl+C while a reply is awaited, the reply never coming: nothing more goes out, not even
// the retry; the job ends stopped at that cell, exit status 130, recorded as stopped.
TEST_F(CliTest, CtrlCWhileAReplyIsAwaitedSendsNothingMoreAndStops) {
    struct Row {
        std::vector<std::string> words;
        std::size_t requestBytes;
        std::string said;
    };
    const Row rows[] = {
        {{"dump", "--cells", "07-09"}, 3, ""},
        {{"preset", "WT-07"},
         4,
         "cell 10H:gStatusEp got no answer; whether it holds its new byte is not known: 0 of the "
         "27 cells were written before it"},
        {{"write-all-ff", "--yes"},
         4,
         "cell 07H:REeserved got no answer; whether it holds its new byte is not known: 0 of the "
         "39 cells were written before it"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.words[0]);
        sent();
        wrench.setFaults({.noReply = true});
        onCell = [this](CliRunner& runner, const CellProgress& p) {
            if (p.index == 1) {
                clock.at(clock.nowMs() + 1000, [&runner] { runner.interrupt(SIGINT); });
            }
        };
        EXPECT_EQ(run(row.words), 130);
        EXPECT_EQ(sent().size(), row.requestBytes);
        EXPECT_EQ(records.back().outcome, RecordOutcome::Stopped);
        const std::string said = row.said.empty() ? "" : "zelcor-cli: " + row.said + "\n";
        EXPECT_NE(err.str().find("zelcor-cli: Stop: Communication exit\n" + said),
                  std::string::npos)
            << err.str();
    }
}

TEST_F(CliTest, PresetRefusesAnUnknownModelWithTheListAndWritesAKnownOne) {
    EXPECT_EQ(run({"preset", "wt-07"}), 3);
    EXPECT_NE(err.str().find("WT-07"), std::string::npos) << err.str();
    EXPECT_EQ(sent(), Bytes{});
    EXPECT_EQ(run({"preset", "WT-07"}), 0);
    const Bytes wire = sent();
    EXPECT_EQ(wire.size(), 27u * 4); // 10H to 2AH, one write each
    EXPECT_EQ(Bytes(wire.begin(), wire.begin() + 3), (Bytes{0xE8, 0x00, 0x10}));
}

TEST_F(CliTest, GetGivesTheRequestAndWriteParamsWritesOnlyAVerifiedSet) {
    EXPECT_EQ(run({"get", "--direction", "ccw", "--json"}), 0);
    EXPECT_EQ(sent(), kGetReads);
    EXPECT_EQ(json().value("requestCode").toString(), "4711");
    EXPECT_TRUE(json().value("request").toString().startsWith("00014711")) << out.str();

    // The set from standard input; one for the other direction is refused before any write
    // (what else is refused is the session's: ParameterJobsTest).
    input = IssuedFor(wrench, {true, 1, "A1", "B2", "C3", "D4"});
    EXPECT_EQ(run({"write-params", "--direction", "cw", "--digits", "1", "-"}), 3);
    const Bytes refused = sent();
    EXPECT_EQ(std::count(refused.begin(), refused.end(), 0xE8), 0);
    EXPECT_NE(err.str().find("Error!!!"), std::string::npos) << err.str();
    input = std::string(5000, '1');
    EXPECT_EQ(run({"write-params", "--direction", "cw", "--digits", "1", "-"}), 3);
    EXPECT_EQ(sent(), Bytes{});

    EXPECT_EQ(run({"write-params", "--direction", "cw", "--digits", "1",
                   IssuedFor(wrench, {false, 1, "A1", "B2", "C3", "D4"})}),
              0);
    // Where each constant goes is the session's test; here that the set was written.
    EXPECT_EQ(wrench.peek(0x00, 0x12), 0xA1);
    EXPECT_EQ(wrench.peek(0x00, 0x25), 0xD4);
}

// live writes a torque as the windows and max-torque do, in its CSV and its JSON alike; with
// the CW constant 1000H the torque in counts is the live value over 16. A live value beyond
// the computation's range is printed as received.
TEST_F(CliTest, LiveWritesTheTorqueAsEveryOtherPlaceDoes) {
    for (const int cell : {0x11, 0x13, 0x14, 0x25, 0x26, 0x27, 0x28}) {
        wrench.poke(0x00, std::uint8_t(cell), 0x00);
    }
    wrench.poke(0x00, 0x12, 0x10);
    struct Row {
        std::uint16_t live;
        const char* digits;
        std::string torque;
    };
    const Row rows[] = {{9344, "1", " 58.4"}, // 584 counts
                        {144, "1", " .9"},
                        {0, "1", " 0"},
                        {144, "3", " .009"},
                        {65535, "1", "Overflow"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.live);
        wrench.holdLive(row.live, 0x00);
        EXPECT_EQ(run({"live", "--seconds", "2", "--digits", row.digits}), 0);
        const std::string line = "," + std::to_string(row.live) + "," + row.torque + "\r\n";
        EXPECT_NE(out.str().find(line), std::string::npos) << out.str();
        EXPECT_EQ(run({"live", "--seconds", "2", "--digits", row.digits, "--json"}), 0);
        const QJsonObject reading = json().value("readings").toArray()[0].toObject();
        EXPECT_EQ(reading.value("raw").toInt(), row.live);
        EXPECT_EQ(reading.value("torque").toString().toStdString(), row.torque);
    }
}

// A set issued for the wrench A1B2C3 passes every check on the wrench 9F00D1: refused with
// exit code 3 unless the command line says to write it.
TEST_F(CliTest, WriteParamsWritesASetForAnotherWrenchCodeOnlyWhenForced) {
    for (const auto& [a, v] : {std::pair{0x2B, 0x9F}, {0x2C, 0x00}, {0x2D, 0xD1}}) {
        wrench.poke(0x00, std::uint8_t(a), std::uint8_t(v));
    }
    const std::string text = IssuedFor(wrench, {false, 1, "A1", "B2", "C3", "D4"}, "A1B2C3");
    std::vector<std::string> words{"write-params", "--direction", "cw", "--digits", "1", text};
    EXPECT_EQ(run(words), 3);
    EXPECT_EQ(sent(), reads({0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x2B, 0x2C, 0x2D}));
    EXPECT_EQ(err.str(), "zelcor-cli: the parameter set was issued for the wrench A1B2C3, not for "
                         "the one connected (9F00D1): nothing has been written. "
                         "--force-other-wrench writes it all the same.\n");
    EXPECT_EQ(records.back().outcome, RecordOutcome::Refused);

    words.push_back("--force-other-wrench");
    EXPECT_EQ(run(words), 0);
    EXPECT_EQ(wrench.peek(0x00, 0x12), 0xA1);
    EXPECT_EQ(wrench.peek(0x00, 0x2B), 0x9F);
}

// Each run is a new connection that knows nothing of the wrench: with records kept, a job
// that does not read the wrench code reads it first, so that its record names the wrench.
TEST_F(CliTest, WithRecordsKeptEveryRecordNamesItsWrench) {
    const Bytes clearEr0 =
        reads({0x10, 0x23, 0x24}) + writes({{0x10, 0x00}, {0x23, 0x00}, {0x24, 0x00}});
    EXPECT_EQ(run({"clear-er0"}), 0);
    EXPECT_EQ(sent(), clearEr0);
    EXPECT_EQ(records.back().wrenchCode, "");

    recordsPlace = "sqlite:" + folder.filePath("records.sqlite").toStdString();
    EXPECT_EQ(run({"clear-er0"}), 0);
    EXPECT_EQ(sent(), reads({0x2B, 0x2C, 0x2D}) + clearEr0);
    EXPECT_EQ(records.back().wrenchCode, "123456");
    // A job that reads the code itself reads it once.
    EXPECT_EQ(run({"dump", "--cells", "2B-2D"}), 0);
    EXPECT_EQ(sent(), reads({0x2B, 0x2C, 0x2D}));

    // Unread, the code leaves the job undone: its record would name no wrench.
    wrench.setFaults({.noReply = true});
    EXPECT_EQ(run({"clear-er0"}), 1);
    EXPECT_EQ(sent(), reads({0x2B, 0x2B}));
    EXPECT_NE(err.str().find("the wrench code (2BH-2DH), which its service record names it by, "
                             "could not be read"),
              std::string::npos)
        << err.str();
    EXPECT_EQ(records.back().outcome, RecordOutcome::Failed);
}

TEST_F(CliTest, LiveReadsUntilTheTimeIsUpAndAPortThatWillNotOpenIsExitCode4) {
    wrench.holdLive(1234, 0x00);
    EXPECT_EQ(run({"live", "--seconds", "2", "--pause", "500"}), 0);
    // The header, then the first reading.
    const std::string header = "time_ms,raw_ad,torque_nm\r\n";
    EXPECT_EQ(out.str().substr(0, header.size()), header);
    EXPECT_LT(out.str().find(",1234,"), out.str().find('\n', header.size())) << out.str();

    // The time is up while the constants are still read: the run never begins.
    EXPECT_EQ(run({"live", "--seconds", "0.3"}), 0);
    EXPECT_EQ(out.str(), "time_ms,raw_ad,torque_nm\r\n");

    // The constants and two cycles are answered, then the wrench falls silent: no reading is
    // printed for a cycle that read nothing, and the run is a failure.
    wrench.setFaults({.stopAfter = 9 + 2});
    EXPECT_EQ(run({"live", "--seconds", "6", "--pause", "500"}), 1);
    const std::string printed = out.str();
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1 + 2) << printed;
    wrench.clearFaults();

    port.refuseName("sim");
    EXPECT_EQ(run({"dump"}), 4);
    EXPECT_NE(err.str().find("No such serial port: sim"), std::string::npos) << err.str();
}

// The torque CSV is one format wherever it is written: zelcor-cli live --csv and the
// calibration window's export (TorqueCsv of its plot's samples) give the same text for the
// same torques. With the CW constant 1000H the torque is the live value over 16 counts.
TEST_F(CliTest, LiveCsvAndTheCalibrationExportAreOneFormat) {
    for (const int cell : {0x11, 0x13, 0x14, 0x25, 0x26, 0x27, 0x28}) {
        wrench.poke(0x00, std::uint8_t(cell), 0x00);
    }
    wrench.poke(0x00, 0x12, 0x10);
    wrench.holdLive(160, 0x00);
    // One reading, its time in the job whatever the line's pace made it; the export counts
    // from its first sample.
    const auto expected = [](const std::string& time) {
        return "time_ms,raw_ad,torque_nm\r\n" + time + ",160, 1\r\n";
    };
    EXPECT_EQ(run({"live", "--csv", "--seconds", "1", "--pause", "400"}), 0);
    const std::string printed = out.str();
    const std::size_t from = printed.find('\n') + 1;
    const std::string time = printed.substr(from, printed.find(',', from) - from);
    EXPECT_GE(std::stoi(time), 400) << printed; // at least its pause
    EXPECT_EQ(printed, expected(time));
    EXPECT_EQ(TorqueCsv({{7000, 160, 1.0}}), expected("0"));
}

// A file that is no backup of this wrench is refused with exit code 3 and nothing reaches the
// wrench: with the records off the port carries not one byte. The wrench's 1BH differs
// from the backup's 33H, so a file let through would be written.
TEST_F(CliTest, EveryBackupThatIsRefusedWritesNothing) {
    const std::string file = folder.filePath("wrench.json").toStdString();
    ASSERT_EQ(run({"backup", file}), 0);
    std::ifstream in(file);
    const std::string good((std::istreambuf_iterator<char>(in)), {});
    ASSERT_NE(good.find("\"1B\": \"33\",\n"), std::string::npos) << good;
    wrench.poke(0x00, 0x1B, 0x44);
    sent();
    struct Fault {
        std::string from, to, why;
    };
    const Fault faults[] = {
        {"{", "[", "it is not a JSON object"},
        {"\"1B\": \"33\",", "\"1B\": \"33\"", "it is not a JSON object"},
        {"zelcor-backup", "zelcor-backups", "it is not a Zelcor backup"},
        {"\"formatVersion\": 1", "\"formatVersion\": 2", "its format version is not 1"},
        {"\"formatVersion\": 1", "\"formatVersion\": \"1\"", "its format version is not 1"},
        {"\"1B\": \"33\",\n", "", "cell 1B is missing or is not two hexadecimal digits"},
        {"\"1B\": \"33\",", "\"1B\": \"33\", \"2E\": \"00\",", "it holds cells outside 07 to 2D"},
        {"\"1B\": \"33\",", "\"1B\": \"33\", \"06\": \"00\",", "it holds cells outside 07 to 2D"},
        {"\"1B\": \"33\"", "\"1B\": \"3G\"", "cell 1B is missing or is not two hexadecimal"},
        {"\"1B\": \"33\"", "\"1B\": \"033\"", "cell 1B is missing or is not two hexadecimal"},
        {"\"1B\": \"33\"", "\"1B\": 51", "cell 1B is missing or is not two hexadecimal"},
        {"\"wrenchCode\": \"123456\"", "\"wrenchCode\": \"123457\"",
         "its identity field \"wrenchCode\" disagrees with its cells"},
        {"\"2D\": \"56\"", "\"2D\": \"57\"",
         "its identity field \"wrenchCode\" disagrees with its cells"},
    };
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.to);
        std::string text = good;
        ASSERT_NE(text.find(f.from), std::string::npos);
        text.replace(text.find(f.from), f.from.size(), f.to);
        std::ofstream(file, std::ios::trunc) << text;
        EXPECT_EQ(run({"restore", file}), 3);
        EXPECT_NE(err.str().find(" is no backup that can be restored: " + f.why), std::string::npos)
            << err.str();
        EXPECT_NE(err.str().find("Nothing has been written."), std::string::npos);
        EXPECT_EQ(sent(), Bytes{});
    }
    // Another wrench's backup, not forced: the wrench is read, never written.
    wrench.poke(0x00, 0x2D, 0x57);
    std::ofstream(file, std::ios::trunc) << good;
    EXPECT_EQ(run({"restore", file}), 3);
    const Bytes wire = sent();
    EXPECT_EQ(wire.size(), 39u * 3);
    EXPECT_EQ(std::count(wire.begin(), wire.end(), 0xE8), 0);
    EXPECT_EQ(wrench.peek(0x00, 0x1B), 0x44);
}

// What goes wrong outside the wrench: its message on standard error and its exit code.
TEST_F(CliTest, RuntimeErrorsSayWhatWentWrongWithTheirExitCodes) {
    // history without records, or with a database that cannot be opened: no port is used.
    EXPECT_EQ(run({"history"}), 2);
    EXPECT_EQ(err.str(), "zelcor-cli: the records are off: there is no history to show\n");
    std::ofstream(folder.filePath("plain").toStdString()) << "a file, not a folder";
    recordsPlace = "sqlite:" + folder.filePath("plain/records.db").toStdString();
    EXPECT_EQ(run({"history"}), 1);
    EXPECT_EQ(err.str().rfind("zelcor-cli: the records of ", 0), 0u) << err.str();
    EXPECT_NE(err.str().find(" cannot be opened: "), std::string::npos) << err.str();
    recordsPlace = "off";
    EXPECT_EQ(sent(), Bytes{});

    // A backup into a folder that is not there costs no exchange.
    const std::string nowhere = folder.filePath("none/wrench.json").toStdString();
    EXPECT_EQ(run({"backup", nowhere}), 2);
    EXPECT_EQ(err.str().rfind("zelcor-cli: the backup " + nowhere + " cannot be written: ", 0), 0u)
        << err.str();
    EXPECT_EQ(sent(), Bytes{});

    // constants on a silent wrench: its first read times out, the boxes say so and what to
    // check, and the job is a communication failure.
    wrench.setFaults({.noReply = true});
    EXPECT_EQ(run({"constants"}), 1);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "zelcor-cli: Communication Error: Data Receving is time-out\n"
                         "zelcor-cli: Help: Step1:Connect Rs232 cable firmly.\n"
                         "  Step2:Make sure the wrench is on 'send'state.\n  Step3:Try again!\n");
    EXPECT_EQ(sent(), reads({0x10}));
    wrench.clearFaults();

    // ports on a system without serial ports: nothing listed, said on standard error.
    EXPECT_EQ(run({"ports"}), 0);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "zelcor-cli: the system lists no serial port\n");
    EXPECT_EQ(run({"ports", "--json"}), 0);
    EXPECT_EQ(out.str(), "{\n    \"ports\": [\n    ]\n}\n");
}

// With the tester, the simulated wrench pulls and the simulated tester sends each peak; with
// typed references the test sets the wrench's maximum (`counts[n]`) as each pull is asked for.
TEST_F(CliTest, VerifyExitsFiveForAFailedWrenchZeroForAPassedOneAndSevenWhenInputEnds) {
    std::vector<int> counts;
    onStart = [&](CliRunner& runner) {
        runner.session().setToday([] { return std::string("2026-12-07"); });
        QObject::connect(&runner.session(), &WrenchSession::verificationChanged,
                         [&, s = &runner.session()] {
                             const VerificationState& v = s->verification();
                             if (v.phase == VerifyPhase::Pulling && !v.awaitingReference &&
                                 std::size_t(v.pull) <= counts.size() &&
                                 v.prompt.find("again") == std::string::npos) {
                                 const int c = counts[std::size_t(v.pull) - 1];
                                 wrench.poke(0x00, 0x23, std::uint8_t(c & 0xFF));
                                 wrench.poke(0x00, 0x24, std::uint8_t(c >> 8));
                             }
                         });
    };
    const std::vector<std::string> words{"verify",     "--max", "100",          "--readings", "1",
                                         "--preloads", "0",     "--technician", "Ada"};
    // 6 % high: 21.2 / 20.00, 63.6 / 60.00 and 106.0 / 100.00 are +6.00 % each.
    sim::PullOptions pulls;
    pulls.targets = {20, 60, 100};
    pulls.biasPercent = 6;
    wrench.setPulls(pulls);
    std::vector<std::string> tested = words;
    tested.insert(tested.end(), {"--tester-port", "/dev/tester", "--tester-format", "8N1"});
    EXPECT_EQ(run(tested), 5);
    EXPECT_EQ(tester.openedName(), "/dev/tester");
    // The run reads the wrench code first, so that its record names the wrench.
    EXPECT_EQ(sent(), reads({0x2B, 0x2C, 0x2D}) + writes({{0x23, 0}, {0x24, 0}}) +
                          reads({0x23, 0x24}) + writes({{0x23, 0}, {0x24, 0}}) +
                          reads({0x23, 0x24}) + writes({{0x23, 0}, {0x24, 0}}) +
                          reads({0x23, 0x24}));
    EXPECT_NE(out.str().find("CW 60.0 N·m: 1 of 1 readings, mean 63.60 N·m against 60.00 N·m, "
                             "largest deviation +6.00 %"),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("verdict: failed\n"), std::string::npos);
    EXPECT_NE(err.str().find("zelcor-cli: Pull to 60.0 N·m (reading 1 of 1)\n"), std::string::npos);
    EXPECT_NE(err.str().find("reading 1: wrench 63.6 N·m, reference 60.00 N·m, +6.00 %\n"),
              std::string::npos)
        << err.str();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].job, "Verification");
    EXPECT_EQ(records[0].outcome, RecordOutcome::Done);

    // Typed: a line that is no reading is said so and skipped; 177.0 lbf·in is 19.998 N·m.
    wrench.setPulls(std::nullopt);
    counts = {200, 600, 1001};
    typed = {"abc", "P 177.0 lbf.in", "60", "", "100.0"};
    std::vector<std::string> json = words;
    json.push_back("--json");
    EXPECT_EQ(run(json), 0);
    EXPECT_NE(err.str().find("\"abc\" is no reference reading"), std::string::npos);
    EXPECT_EQ(this->json().value("verdict").toString(), "passed");
    EXPECT_EQ(this->json().value("dueDate").toString(), "2027-12-07");
    EXPECT_EQ(this->json().value("readings").toArray().size(), 3);

    // The input ends before the last reading: stopped, no verdict; the record names the wrench.
    typed = {"20", "60"};
    recordsPlace = "sqlite:" + folder.filePath("records.sqlite").toStdString();
    sent();
    EXPECT_EQ(run(words), 7);
    EXPECT_EQ(sent(), reads({0x2B, 0x2C, 0x2D}) + writes({{0x23, 0}, {0x24, 0}}) +
                          reads({0x23, 0x24}) + writes({{0x23, 0}, {0x24, 0}}) +
                          reads({0x23, 0x24}) + writes({{0x23, 0}, {0x24, 0}}));
    EXPECT_NE(out.str().find("verdict: none\n"), std::string::npos);
    EXPECT_EQ(records.back().outcome, RecordOutcome::Stopped);
    EXPECT_EQ(records.back().wrenchCode, "123456");

    // Settings no run can start with: bad usage, nothing sent.
    sent();
    std::vector<std::string> bad = words;
    bad.insert(bad.end(), {"--points", "60,20"});
    EXPECT_EQ(run(bad), 2);
    EXPECT_TRUE(sent().empty());
    for (const std::vector<std::string>& refused :
         {std::vector<std::string>{"verify", "--tester-format", "8X1"},
          {"verify", "--tester-baud", "fast"},
          {"verify", "--as-found", "--as-left"},
          {"verify", "--points", "20,,100"},
          {"get", "--direction", "both"}}) {
        std::vector<std::string> line = refused;
        line.insert(line.end(), {"--port", "1"});
        EXPECT_NE(Parse(line).error, "") << refused[1];
    }
}

} // namespace
} // namespace zelcor::test
