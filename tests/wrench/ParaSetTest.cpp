// SPDX-License-Identifier: GPL-3.0-or-later
#include "wrench/NewParaCheck.h"
#include "wrench/ParaRecord.h"

#include <gtest/gtest.h>

#include <map>

namespace zelcor {
namespace {

// A wrench as the editor's cells hold it after a reading (unread cells are "XX"): identity
// and CW constants of the worked example, CCW constants of its own.
const std::map<int, std::string> kWrench = {{0x0C, "A1"}, {0x0D, "B2"}, {0x0E, "05"}, {0x0F, "10"},
                                            {0x10, "00"}, {0x11, "34"}, {0x12, "12"}, {0x13, "CD"},
                                            {0x14, "AB"}, {0x25, "78"}, {0x26, "56"}, {0x27, "EF"},
                                            {0x28, "9A"}, {0x2B, "12"}, {0x2C, "34"}, {0x2D, "56"}};
const std::string kExampleBody = "/1/00/01/10/05/A1B2/123456/02/0010/00/12/34/56/78";

CellTextReader cellsOf(std::map<int, std::string> cells) {
    return [cells = std::move(cells)](int address) {
        const auto it = cells.find(address);
        return it == cells.end() ? std::string("XX") : it->second;
    };
}

TEST(ParaRecord, GetComposesTheMessageFromTheCellsOfTheChosenDirection) {
    const ParaRecord cw = CurrentSetFromCells(cellsOf(kWrench), {false, 2}, "4711");
    EXPECT_EQ(cw.Body, kExampleBody);
    EXPECT_EQ(cw.Message, kExampleBody + "/2444");
    EXPECT_EQ(cw.Message.size(), 54u);
    EXPECT_EQ(ParameterRequestText(cw), "00014711" + cw.Message);

    const ParaRecord ccw = CurrentSetFromCells(cellsOf(kWrench), {true, 0}, "1");
    EXPECT_EQ(ccw.Body, "/1/00/01/10/05/A1B2/123456/00/0011/00/AB/CD/9A/EF");
    EXPECT_EQ(ParameterRequestText(ccw).substr(0, 9), "00011   /");

    // A reading that stopped after 10H: "XX" goes into the message and its checksum.
    const ParaRecord partial = CurrentSetFromCells(
        cellsOf({{0x0C, "12"}, {0x0D, "34"}, {0x0E, "B2"}, {0x0F, "A1"}, {0x10, "05"}}), {false, 2},
        "0000");
    EXPECT_EQ(partial.Message, "/1/00/01/A1/B2/1234/XXXXXX/02/0010/05/XX/XX/XX/XX/2956");
}

TEST(ParaChecksum, FourDigitsOfTheCodePointSumModuloTenThousand) {
    // Code points, not bytes: é is 233 (its bytes add up to 364), 扳 is 25203. Ten "~" (126
    // each) and a "d" (100) add up to 1360: five such make 6800, ten 13600, and 6800 + 1360 +
    // 126 = 8286.
    const std::string hundreds = "~~~~~~~~~~d~~~~~~~~~~d~~~~~~~~~~d~~~~~~~~~~d~~~~~~~~~~d";
    for (const auto& [body, expected] : {std::pair<std::string, const char*>{"abc", "0294"},
                                         {"", "0000"},
                                         {"é", "0233"},
                                         {"扳", "5203"},
                                         {hundreds + hundreds, "3600"},
                                         {hundreds + "~~~~~~~~~~d~", "8286"}}) {
        EXPECT_EQ(ChecksumText(body), expected) << body;
    }
}

TEST(ParaParse, FieldsAreCutOrPaddedAndTheBodyIsTheMessageLessFiveCharacters) {
    ParaRecord rec;
    // Text before the first separator belongs to no field; "12" in WrType is "1"; a short
    // checksum field makes the body lose VAL as well.
    ASSERT_TRUE(ParseMessage("xy/12/0/01/10/05/A1B2/1234567/02/0010/00/12/34/56/78/24", rec));
    EXPECT_EQ(rec.WrType + "|" + rec.AppVerH + "|" + rec.WrCode + "|" + rec.ChkSum,
              "1|0 |123456|24  ");
    EXPECT_EQ(rec.Body, "xy/12/0/01/10/05/A1B2/1234567/02/0010/00/12/34/56/");

    ASSERT_TRUE(ParseMessage(kExampleBody + "/244477", rec));
    EXPECT_EQ(rec.ChkSum, "2444");
    EXPECT_EQ(rec.Body, kExampleBody + "/2");

    for (const std::string& wrong : {kExampleBody, kExampleBody + "/2444/", std::string("/")}) {
        EXPECT_FALSE(ParseMessage(wrong, rec)) << wrong;
        EXPECT_EQ(rec.Body, kExampleBody + "/2"); // left as it was
    }
}

// What the technician hands back for kWrench with two digits: the request with new
// constants 07 F0 0e "1 " FF. Against the body of the worked example (2444) they add 7, 19,
// 46, -26 and 29: 2519 for CW, 2520 for CCW ("0011").
const std::string kNewCW = "00010815/1/00/01/10/05/A1B2/123456/02/0010/07/F0/0e/1 /FF/2519";
const std::string kNewCCW = "00010815/1/00/01/10/05/A1B2/123456/02/0011/07/F0/0e/1 /FF/2520";

// Each text differs from kNewCW (or kNewCCW) in one place, its checksum worked out anew by
// hand, unless the checksum is what is wrong.
TEST(ParaVerify, TheFirstFailingCheckDecides) {
    const char* trap = "Syntax error:New parameter error";
    const std::string tag = "00010815";
    const std::tuple<const char*, std::string, const char*> rows[] = {
        {"empty", "", trap},
        {"three characters", "000", trap},
        {"three characters, four bytes", "é00", trap},
        {"no payload", "0001", trap},
        {"payload of three", "0001081", trap},
        {"short payload before the tag", "0002081", trap},
        {"no message", "00010815", "Syntax error"},
        {"tag", "0002" + kNewCW.substr(4), "Message format error"},
        {"tag before separators", "00020815" + std::string(200, '/'), "Message format error"},
        {"14 separators", tag + "/00/01/10/05/A1B2/123456/02/0010/07/F0/0e/1 /FF/2470",
         "Syntax error"},
        {"16 separators", kNewCW + "/", "Syntax error"},
        {"101 separators", tag + std::string(101, '/'), "Syntax error"},
        {"102 separators", tag + std::string(102, '/'), trap},
        {"checksum one less", tag + "/1/00/01/10/05/A1B2/123456/02/0010/07/F0/0e/1 /FF/2518",
         "CheckSum error"},
        {"checksum before identity", tag + "/1/00/01/10/05/A1B2/123456/02/0011/07/F0/0e/1 /FF/2521",
         "CheckSum error"},
        {"a line break inside", tag + "/1/00/01/10/05/A1B2/\r\n123456/02/0010/07/F0/0e/1 /FF/2519",
         "CheckSum error"},
        {"wrench type", tag + "/2/00/01/10/05/A1B2/123456/02/0010/07/F0/0e/1 /FF/2520",
         "Syntax error:Different WR"},
        {"tool version", tag + "/1/00/02/10/05/A1B2/123456/02/0010/07/F0/0e/1 /FF/2520",
         "Syntax error:Different software version"},
        {"software before factory code",
         tag + "/1/00/01/10/06/0000/123456/02/0010/07/F0/0e/1 /FF/2482",
         "Syntax error:The wrench is not the same one"},
        {"factory code", tag + "/1/00/01/10/05/A1B3/123456/02/0010/07/F0/0e/1 /FF/2520",
         "Syntax error:Factory code error"},
        {"CCW message while CW", kNewCCW, "Syntax error:Check CW/CCW direction"},
        {"digits before direction", tag + "/1/00/01/10/05/A1B2/123456/03/0011/07/F0/0e/1 /FF/2521",
         "Syntax error:The wrench is not the same one or decimal point Err"},
        {"direction before a bad value",
         tag + "/1/00/01/10/05/A1B2/123456/02/0011/07/XX/0e/1 /FF/2578",
         "Syntax error:Check CW/CCW direction"},
        {"value not read", tag + "/1/00/01/10/05/A1B2/123456/02/0010/07/F0/0e/1 /XX/2555", trap},
        {"value not hex", tag + "/1/00/01/10/05/A1B2/123456/02/0010/G1/F0/0e/1 /FF/2536", trap},
        {"value empty", tag + "/1/00/01/10/05/A1B2/123456/02/0010/07/F0/  /1 /FF/2434", trap},
        {"lower-case identity", tag + "/1/00/01/10/05/a1b2/123456/02/0010/07/F0/0e/1 /FF/2583", ""},
        {"wrench code not compared", tag + "/1/00/01/10/05/A1B2/XXXXXX/02/0010/07/F0/0e/1 /FF/2738",
         ""},
    };
    const ParaRecord chk = IdentityFromCells(cellsOf(kWrench), {false, 2});
    for (const auto& [what, text, message] : rows) {
        ParaRecord newPara;
        EXPECT_EQ(NewParaFaultMessage(VerifyNewPara(text, chk, newPara)), message)
            << what << ": " << text;
    }
}

} // namespace
} // namespace zelcor
