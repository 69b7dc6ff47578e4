// SPDX-License-Identifier: GPL-3.0-or-later
// Get, the verified parameter Write, Read Max Torque and Clear Er0, on the simulated wrench.
#include "SessionFixture.h"
#include "support/IssuedSet.h"

namespace zelcor::test {
namespace {

using ParameterSet = SessionTest;

const Bytes kIdentityReads = reads({0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x2B, 0x2C, 0x2D});

// The checksums are worked out by hand from the CW body with two digits, whose character
// codes add up to 2444; CCW changes "0010" to "0011" (+1) and its four constants
// "12/34/56/78" to "AB/CD/9A/EF" (+107).
TEST_F(ParameterSet, GetReadsSixteenCellsAndHandsOutTheRequestOfTheChosenDirection) {
    const std::pair<bool, const char*> rows[] = {
        {false, "00014711/1/00/01/10/05/A1B2/123456/02/0010/00/12/34/56/78/2444"},
        {true, "00014712/1/00/01/10/05/A1B2/123456/02/0011/00/AB/CD/9A/EF/2552"}};
    session.setDigits(2);
    for (const auto& [ccw, request] : rows) {
        session.setDirection(ccw);
        const std::int64_t start = clock.nowMs();
        const std::size_t first = port.written().size();
        EXPECT_TRUE(session.getParameterSet().ok());
        EXPECT_EQ(sent(), kGetReads);
        EXPECT_EQ(session.parameterRequest(), request);
        // The receive buffer is cleared and the line left quiet for 20 ms before the first read.
        EXPECT_EQ(port.written().at(first).atMs - start, 20);
    }
}

// 11H fails twice: the request carries what could not be read as XX, and its checksum too
// (2444 with "123456" and the constants as XX: +219, +77, +73, +69, +65).
TEST_F(ParameterSet, GetGoesOnWithXXForWhatCouldNotBeRead) {
    session.setDigits(2);
    faultFrom(0x11, {.noReply = true});
    boxes.answerOk(2);
    const JobResult result = session.getParameterSet();
    EXPECT_EQ(result.end, JobEnd::Failed);
    EXPECT_EQ(result.address, 0x11);
    EXPECT_EQ(sent(), reads({0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x11}));
    EXPECT_EQ(shown(), (std::vector<std::string>{kReceiveErr, kHelp}));
    EXPECT_EQ(session.parameterRequest(),
              "00014711/1/00/01/10/05/A1B2/XXXXXX/02/0010/00/XX/XX/XX/XX/2947");
}

// New status 82 and constants A1 b2 C3 D4 for the wrench: against the body of the request
// (2444) the status adds 10 and the constants 15, 45, 11 and 9, so CW sums to 2534 and CCW
// to 2535. The identity is written back as read, then the chosen direction's constants.
TEST_F(ParameterSet, WriteReadsTheIdentityThenWritesExactlyTwelveBytes) {
    struct Row {
        bool ccw;
        const char* text;
        Bytes constants;
    };
    const Row rows[] = {{false,
                         " \r\n00014711/1/00/01/10/05/A1B2/123456/02/0010/82/A1/b2/C3/D4/2534\r\n ",
                         writes({{0x11, 0xB2}, {0x12, 0xA1}, {0x25, 0xD4}, {0x26, 0xC3}})},
                        {true, "00010000/1/00/01/10/05/A1B2/123456/02/0011/82/A1/b2/C3/D4/2535",
                         writes({{0x13, 0xB2}, {0x14, 0xA1}, {0x27, 0xD4}, {0x28, 0xC3}})}};
    session.setDigits(2);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.ccw ? "CCW" : "CW");
        session.setDirection(row.ccw);
        EXPECT_TRUE(session.writeParameterSet(row.text).ok());
        const Bytes identity = writes({{0x0C, 0xA1}, {0x0D, 0xB2}, {0x0E, 0x05}, {0x0F, 0x10}});
        EXPECT_EQ(sent(), kIdentityReads + identity + writes({{0x10, 0x82}}) + row.constants +
                              writes({{0x2B, 0x12}, {0x2C, 0x34}, {0x2D, 0x56}}));
        EXPECT_TRUE(shown().empty());
    }
}

TEST_F(ParameterSet, ARefusedTextWritesNothingAndSaysWhy) {
    const std::pair<const char*, const char*> rows[] = {
        {"", "Syntax error:New parameter error"},
        {"00014711/1/00/01/10/05/A1B2/123456/02/0010/82/A1/b2/C3/2367", "Syntax error"},
        {"00014711/1/00/01/10/05/A1B2/123456/02/0010/82/A1/b2/C3/D4/2535", "CheckSum error"},
        {"00014711/1/00/01/10/05/A1B2/123456/01/0010/82/A1/b2/C3/D4/2533",
         "Syntax error:The wrench is not the same one or decimal point Err"},
        {"00014711/1/00/01/10/05/A1B2/123456/02/0011/82/A1/b2/C3/D4/2535",
         "Syntax error:Check CW/CCW direction"},
        {"00014711/1/00/01/10/05/A1B2/123456/02/0010/82/XX/b2/C3/D4/2596",
         "Syntax error:New parameter error"}};
    session.setDigits(2);
    for (const auto& [text, message] : rows) {
        SCOPED_TRACE(text);
        boxes.answerOk();
        const JobResult result = session.writeParameterSet(text);
        EXPECT_EQ(result.end, JobEnd::Refused);
        EXPECT_EQ(result.message, message);
        EXPECT_EQ(shown(), std::vector<std::string>{std::string("Error!!!|") + message});
        EXPECT_EQ(sent(), kIdentityReads);
    }
}

// A set the factory issued for the wrench A1B2C3, to be written to the wrench 9F00D1 of the
// same make, software and factory: every check of the system holds, so the Write asks, No by
// default. No writes nothing; Yes writes the set and leaves the wrench its own code.
TEST_F(ParameterSet, ASetIssuedForAnotherWrenchCodeIsWrittenOnlyOnYes) {
    const std::string forA1B2C3 =
        IssuedFor(wrench, {false, 1, "A1", "B2", "C3", "D4", "82"}, "A1B2C3");
    const std::string forCCW = IssuedFor(wrench, {true, 1, "A1", "B2", "C3", "D4", "82"}, "A1B2C3");
    for (const auto& [a, v] : {std::pair{0x2B, 0x9F}, {0x2C, 0x00}, {0x2D, 0xD1}}) {
        wrench.poke(0x00, std::uint8_t(a), std::uint8_t(v));
    }
    const std::string question =
        "Warning!!!|This parameter set was issued for the wrench A1B2C3; the wrench connected is "
        "9F00D1.\r\nWrite it into this wrench all the same?";

    boxes.answer(BoxAnswer::No);
    JobResult result = session.writeParameterSet(forA1B2C3);
    EXPECT_EQ(result.end, JobEnd::Refused);
    EXPECT_EQ(result.message, "The parameter set was issued for the wrench A1B2C3, not for this "
                              "one (9F00D1): nothing has been written.");
    EXPECT_EQ(shown(), std::vector<std::string>{question});
    EXPECT_EQ(sent(), kIdentityReads);

    // The system's checks come first, with their own message and no question.
    boxes.answerOk();
    EXPECT_EQ(session.writeParameterSet(forCCW).message, "Syntax error:Check CW/CCW direction");
    EXPECT_EQ(shown(), std::vector<std::string>{"Error!!!|Syntax error:Check CW/CCW direction"});
    EXPECT_EQ(sent(), kIdentityReads);

    boxes.answer(BoxAnswer::Yes);
    EXPECT_TRUE(session.writeParameterSet(forA1B2C3).ok());
    EXPECT_EQ(shown(), std::vector<std::string>{question});
    EXPECT_EQ(sent(), kIdentityReads +
                          writes({{0x0C, 0xA1}, {0x0D, 0xB2}, {0x0E, 0x05}, {0x0F, 0x10}}) +
                          writes({{0x10, 0x82}, {0x11, 0xB2}, {0x12, 0xA1}, {0x25, 0xD4}}) +
                          writes({{0x26, 0xC3}, {0x2B, 0x9F}, {0x2C, 0x00}, {0x2D, 0xD1}}));
}

TEST_F(ParameterSet, AnIdentityByteThatCouldNotBeReadRefusesWriteBeforeAnyWrite) {
    session.setDigits(2);
    faultFrom(0x2B, {.noReply = true});
    boxes.answerOk(3);
    const JobResult result =
        session.writeParameterSet("00014711/1/00/01/10/05/A1B2/123456/02/0010/82/A1/b2/C3/D4/2534");
    EXPECT_EQ(result.end, JobEnd::Refused);
    EXPECT_EQ(sent(), reads({0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x2B, 0x2B}));
    EXPECT_EQ(shown(), (std::vector<std::string>{kReceiveErr, kHelp,
                                                 "Error!!!|The wrench's identity could not be "
                                                 "read at 2BH, 2CH, 2DH.\r\nNothing has been "
                                                 "written."}));
}

TEST_F(ParameterSet, ReadMaxTorqueReadsStatusAndMaximumAndShowsItWithTheDigits) {
    session.memory().setSelected(0x2D, true);
    wrench.poke(0x00, 0x23, 0xD2);
    wrench.poke(0x00, 0x24, 0x04);
    EXPECT_TRUE(session.readMaxTorque().ok());
    EXPECT_EQ(sent(), (Bytes{0xC8, 0x00, 0x10, 0xC8, 0x00, 0x23, 0xC8, 0x00, 0x24}));
    EXPECT_EQ(session.maxTorqueRaw(), 1234);
    EXPECT_EQ(session.maxTorqueText(), " 123.4");
    session.setDigits(3);
    EXPECT_EQ(session.maxTorqueText(), " 1.234");
    for (int i = 0; i < cells::kCount; ++i) {
        EXPECT_EQ(session.memory().selected(i), i == 0x10 || i == 0x23 || i == 0x24) << i;
    }

    // The maximum could not be read: it counts as 0, not as what was read before.
    faultFrom(0x23, {.noReply = true});
    boxes.answerOk(2);
    EXPECT_EQ(session.readMaxTorque().end, JobEnd::Failed);
    EXPECT_EQ(session.maxTorqueRaw(), 0);
}

TEST_F(ParameterSet, ClearEr0ClearsBit7AndTheMaximumAndNeverWritesAnUnreadStatus) {
    for (const auto& [status, cleared] : {std::pair{0x82, 0x02}, {0x80, 0x00}, {0x7F, 0x7F}}) {
        wrench.poke(0x00, 0x10, static_cast<std::uint8_t>(status));
        wrench.poke(0x00, 0x23, 0x12);
        EXPECT_TRUE(session.clearEr0().ok());
        EXPECT_EQ(sent(), reads({0x10, 0x23, 0x24}) +
                              writes({{0x10, cleared}, {0x23, 0x00}, {0x24, 0x00}}));
        EXPECT_TRUE(shown().empty());
        EXPECT_EQ(session.memory().selectedTransferCells(), 0); // no later Write sends them
    }

    faultFrom(0x10, {.noReply = true});
    boxes.answerOk(3);
    const JobResult result = session.clearEr0();
    EXPECT_EQ(result.end, JobEnd::Refused);
    EXPECT_EQ(sent(), (Bytes{0xC8, 0x00, 0x10, 0xC8, 0x00, 0x10}));
    EXPECT_EQ(shown(),
              (std::vector<std::string>{kReceiveErr, kHelp,
                                        "Error!!!|The status byte (10H) could not be read.\r\n"
                                        "Nothing has been written: the error flag is not "
                                        "cleared."}));
    EXPECT_EQ(session.memory().selectedTransferCells(), 0);
}

} // namespace
} // namespace zelcor::test
