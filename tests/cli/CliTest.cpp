// SPDX-License-Identifier: GPL-3.0-or-later
// zelcor-cli's jobs on the simulated wrench, in virtual time: the bytes on the wire, what is
// printed and the exit code.
#include "session/SessionFixture.h"
#include "support/IssuedSet.h"

#include "cli/CliRunner.h"
#include "records/RecordQuery.h"

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
    // Runs one command line; with `interruptAtWrite`, as Ctrl+C would (CliProcess has the
    // signal itself) once the first cell is being written.
    int run(std::vector<std::string> words) {
        words.insert(words.end(), {"--port", "sim"});
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
                                [] { return std::string("2026-12-06T23:00:00Z"); },
                                {}};
        CliRunner runner(options, context);
        QObject::connect(&runner.session(), &WrenchSession::jobRecorded,
                         [this](const ServiceRecord& r) { records.push_back(r); });
        QObject::connect(&runner.session(), &WrenchSession::cellProgress,
                         [&](const CellProgress& p) {
                             if (interruptAtWrite && p.job == CellJob::Write && p.selected) {
                                 runner.interrupt(SIGINT);
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
    bool interruptAtWrite = false;

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
    interruptAtWrite = true;
    EXPECT_EQ(run({"restore", file}), 130);
    const Bytes wire = sent();
    EXPECT_EQ(Bytes(wire.begin() + 39 * 3, wire.end()), writes({{0x10, 0x00}}) + reads({0x10}));
    EXPECT_EQ(wrench.peek(0x00, 0x1D), 0xC4);
    EXPECT_NE(out.str().find("03 -> 00"), std::string::npos) << out.str();
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

TEST_F(CliTest, LiveReadsUntilTheTimeIsUpAndAPortThatWillNotOpenIsExitCode4) {
    wrench.holdLive(1234, 0x00);
    EXPECT_EQ(run({"live", "--seconds", "2", "--pause", "500"}), 0);
    // The header, then the first reading.
    const std::string header = "time_ms,raw,torque_Nm\n";
    EXPECT_EQ(out.str().substr(0, header.size()), header);
    EXPECT_LT(out.str().find(",1234,"), out.str().find('\n', header.size())) << out.str();

    // The time is up while the constants are still read: the run never begins.
    EXPECT_EQ(run({"live", "--seconds", "0.3"}), 0);
    EXPECT_EQ(out.str(), "time_ms,raw,torque_Nm\n");

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

} // namespace
} // namespace zelcor::test
