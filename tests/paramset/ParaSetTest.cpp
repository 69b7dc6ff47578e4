// SPDX-License-Identifier: GPL-3.0-or-later
#include "paramset/NewParaCheck.h"
#include "paramset/ParaRecord.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <numeric>

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

    // A digit setting outside 0 to 3 has no code, so it matches no message, not even the
    // blank digits of one composed under that setting.
    for (const int digits : {-1, 4}) {
        const ParaRecord id = IdentityFromCells(cellsOf(kWrench), {false, digits});
        EXPECT_EQ(id.DecDigits.find_first_not_of(' '), std::string::npos) << digits;
        const ParaRecord set = CurrentSetFromCells(cellsOf(kWrench), {false, digits}, "0815");
        ParaRecord newPara;
        EXPECT_EQ(VerifyNewPara(ParameterRequestText(set), id, newPara), NewParaFault::DecimalPoint)
            << digits;
    }
}

// Printable ASCII whose character codes add up to `sum` (at least 200).
std::string bodyWithCodeSum(int sum) {
    const int rest = sum % 100 + 100;
    return std::string(static_cast<std::size_t>(sum / 100 - 1), 'd') + char(rest / 2) +
           char(rest - rest / 2);
}

TEST(ParaChecksum, FourDigitsOfTheCodePointSumModuloTenThousand) {
    for (const auto& [sum, expected] :
         {std::pair{12345, "2345"}, {17890, "7890"}, {10000, "0000"}, {9999, "9999"}}) {
        const std::string body = bodyWithCodeSum(sum);
        ASSERT_EQ(std::accumulate(body.begin(), body.end(), 0), sum);
        EXPECT_EQ(ChecksumText(body), expected) << sum;
    }
    // Code points, not bytes: é is 233 (its bytes add up to 364), 扳 is 25203.
    for (const auto& [body, expected] :
         {std::pair{"abc", "0294"}, {"", "0000"}, {"é", "0233"}, {"扳", "5203"}}) {
        EXPECT_EQ(ChecksumText(body), expected) << body;
    }
}

TEST(ParaFindSlashes, CountsUpTo101AndReportsMoreWithoutOverrunning) {
    for (const std::size_t n : {0u, 1u, 15u, 101u}) {
        SlashPositions pos{};
        EXPECT_EQ(FindSlashes("a" + std::string(n, '/'), pos), n);
        EXPECT_EQ(pos[n == 0 ? 0 : n - 1], n == 0 ? 0 : static_cast<int>(n + 1)) << n;
    }
    for (const std::size_t n : {102u, 5000u}) {
        SlashPositions pos{};
        EXPECT_EQ(FindSlashes(std::string(n, '/'), pos), std::nullopt) << n;
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

// What the technician hands back for kWrench: a Get's request with new constants and the
// checksum recomputed, then `change` applied before composing and `edit` after.
std::string newParaText(DigitsAndDirection setting,
                        const std::function<void(ParaRecord&)>& change = {},
                        const std::function<void(std::string&)>& edit = {}) {
    ParaRecord set = CurrentSetFromCells(cellsOf(kWrench), setting, "0815");
    set.StatusEp = "07", set.VIH = "F0", set.VIL = "0e", set.VAH = "1", set.VAL = "FF";
    if (change) {
        change(set);
    }
    ComposeMessage(set);
    std::string text = ParameterRequestText(set);
    if (edit) {
        edit(text);
    }
    return text;
}

TEST(ParaVerify, RequestOfThisWrenchWithNewConstantsIsAcceptedAndGoesToItsCells) {
    for (const bool ccw : {false, true}) {
        const std::string text = newParaText({ccw, 2});
        ParaRecord newPara;
        ASSERT_EQ(VerifyNewPara(" \r\n\t" + text + "\r\n ",
                                IdentityFromCells(cellsOf(kWrench), {ccw, 2}), newPara),
                  NewParaFault::None);
        EXPECT_EQ(newPara.RawText, text);
        EXPECT_EQ(newPara.ReqCode + newPara.Message, text.substr(4));

        std::map<int, std::string> cells;
        for (const NewCellValue& v : NewCellValues(newPara, ccw)) {
            cells[v.address] = v.text;
        }
        const int vi = ccw ? 0x13 : 0x11, va = ccw ? 0x27 : 0x25;
        EXPECT_EQ(cells,
                  (std::map<int, std::string>{
                      {0x10, "07"}, {vi, "0E"}, {vi + 1, "F0"}, {va, "FF"}, {va + 1, "01"}}));
    }
}

TEST(ParaVerify, TheFirstFailingCheckDecides) {
    using Change = std::function<void(ParaRecord&)>;
    const auto set = [](std::string ParaRecord::*field, const char* value) {
        return Change([=](ParaRecord& r) { r.*field = value; });
    };
    const auto shiftChecksum = [](int by) {
        return [=](std::string& t) {
            char digits[8];
            std::snprintf(digits, sizeof digits, "%04d",
                          (std::stoi(t.substr(t.size() - 4)) + by + 10000) % 10000);
            t.replace(t.size() - 4, 4, digits);
        };
    };
    const char* trap = "Syntax error:New parameter error";
    const DigitsAndDirection cw{false, 2}, ccw{true, 2};
    const std::tuple<const char*, std::string, const char*> rows[] = {
        {"empty", "", trap},
        {"three characters", "000", trap},
        {"three characters, four bytes", "é00", trap},
        {"no payload", "0001", trap},
        {"payload of three", "0001081", trap},
        {"short payload before the tag", "0002081", trap},
        {"no message", "00010815", "Syntax error"},
        {"tag", newParaText(cw, {}, [](std::string& t) { t[3] = '2'; }), "Message format error"},
        {"tag before separators", "00020815" + std::string(200, '/'), "Message format error"},
        {"14 separators", newParaText(cw, {}, [](std::string& t) { t.erase(9, 2); }),
         "Syntax error"},
        {"16 separators", newParaText(cw, {}, [](std::string& t) { t += "/"; }), "Syntax error"},
        {"101 separators", "00010815" + std::string(101, '/'), "Syntax error"},
        {"102 separators", "00010815" + std::string(102, '/'), trap},
        {"checksum one less", newParaText(cw, {}, shiftChecksum(-1)), "CheckSum error"},
        {"checksum before identity", newParaText(ccw, {}, shiftChecksum(1)), "CheckSum error"},
        {"wrench type", newParaText(cw, set(&ParaRecord::WrType, "2")),
         "Syntax error:Different WR"},
        {"tool version", newParaText(cw, set(&ParaRecord::AppVerL, "02")),
         "Syntax error:Different software version"},
        {"software before factory code",
         newParaText(cw, [](ParaRecord& r) { r.WrSwL = "06", r.FactoryCode = "0000"; }),
         "Syntax error:The wrench is not the same one"},
        {"factory code", newParaText(cw, set(&ParaRecord::FactoryCode, "A1B3")),
         "Syntax error:Factory code error"},
        {"CCW message while CW", newParaText(ccw), "Syntax error:Check CW/CCW direction"},
        {"digits before direction", newParaText({true, 3}),
         "Syntax error:The wrench is not the same one or decimal point Err"},
        {"direction before a bad value", newParaText(ccw, set(&ParaRecord::VIH, "XX")),
         "Syntax error:Check CW/CCW direction"},
        {"value not read", newParaText(cw, set(&ParaRecord::VAL, "XX")), trap},
        {"value not hex", newParaText(cw, set(&ParaRecord::StatusEp, "G1")), trap},
        {"value empty", newParaText(cw, set(&ParaRecord::VIL, "")), trap},
        {"lower-case identity", newParaText(cw, set(&ParaRecord::FactoryCode, "a1b2")), ""},
        {"wrench code not compared", newParaText(cw, set(&ParaRecord::WrCode, "XXXXXX")), ""},
    };
    const ParaRecord chk = IdentityFromCells(cellsOf(kWrench), cw);
    for (const auto& [what, text, message] : rows) {
        ParaRecord newPara;
        EXPECT_EQ(NewParaFaultMessage(VerifyNewPara(text, chk, newPara)), message)
            << what << ": " << text;
    }
}

} // namespace
} // namespace zelcor
