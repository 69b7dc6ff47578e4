#include "app/ScriptParser.h"

#include <gtest/gtest.h>

#include <random>

namespace zelcor {
namespace {

// The one line of a script that must parse.
ScriptLine only(const char* text) {
    const ParsedScript script = ParseScript(QByteArray(text));
    EXPECT_FALSE(script.error) << text << ": " << script.error->reason.toStdString();
    EXPECT_EQ(script.lines.size(), 1u) << text;
    return script.lines.empty() ? ScriptLine{} : script.lines.front();
}

TEST(ScriptParser, ArgumentsOfTheCommands) {
    const ScriptLine choose = only("choose frmRs232SetCmd.Combo1 Max torque");
    EXPECT_EQ(choose.op, ScriptOp::Choose);
    EXPECT_EQ(choose.control, "frmRs232SetCmd.Combo1");
    EXPECT_EQ(choose.text, "Max torque");
    EXPECT_EQ(only("start txtReadData(0)").control, "txtReadData(0)");
    EXPECT_EQ(only("wait 3000").ms, 3000);
    EXPECT_EQ(only("answer no").answer, BoxAnswer::No);
    EXPECT_FALSE(only("expect-visible frmRs232WRCal false").state);
    // Only the first separator splits a box: its text may hold another.
    const ScriptLine box = only("expect-box Zelcor | a | b\\nc");
    EXPECT_EQ(box.text, "Zelcor");
    EXPECT_EQ(box.boxText, "a | b\nc");
}

TEST(ScriptParser, TextIsTheRestOfTheLineKeptExactly) {
    EXPECT_EQ(only("set Combo1  1").text, " 1");
    EXPECT_EQ(only("expect txtTk a  b  ").text, "a  b  ");
    EXPECT_EQ(only("set txtTk #not a comment").text, "#not a comment");
    EXPECT_EQ(only("  set   txtTk x").control, "txtTk");
    EXPECT_EQ(only("set txtTk \"\"").text, "");
    EXPECT_EQ(only("set txtTk \"\" ").text, "\"\" "); // only "" alone is the empty text
    EXPECT_EQ(only("set txtNewPara a\\nb\\r\\\\c").text, "a\nb\r\\c");
    EXPECT_EQ(only("set txtNewPara \\\\n").text, "\\n"); // an escaped backslash, then n
    EXPECT_EQ(only("set cmbComSelect C:\\dev\\t\\").text, "C:\\dev\\t\\");
}

TEST(ScriptParser, CommentsBlankLinesAndLineNumbers) {
    const ParsedScript script = ParseScript("\xEF\xBB\xBF# opening the port\r\n"
                                            "\r\n"
                                            "   \t\n"
                                            "  # indented comment\n"
                                            "expect txtState IDLE0\r\n"
                                            "print txtState"); // no line feed at the end
    ASSERT_FALSE(script.error);
    ASSERT_EQ(script.lines.size(), 2u);
    EXPECT_EQ(script.lines[0].number, 5);
    EXPECT_EQ(script.lines[0].text, "IDLE0"); // the carriage return of CR LF is not text
    EXPECT_EQ(script.lines[1].number, 6);
}

TEST(ScriptParser, ScriptErrorsNameTheirLine) {
    const std::vector<std::pair<QByteArray, const char*>> cases{
        {"Click cmdEnd", "unknown command \"Click\""},
        {"click", "click needs a button name"},
        {"set txtTk", "set txtTk needs a text after the name (\"\" is the empty text)"},
        {"set txtTk ", "set txtTk needs a text after the name (\"\" is the empty text)"},
        {"click cmdEnd now", "unexpected \"now\" at the end of the line"},
        {"wait 1.5", "\"1.5\" is not a number of milliseconds from 0 to 86400000"},
        {"wait 99999999999999999999", "\"99999999999999999999\" is not a number of "
                                      "milliseconds from 0 to 86400000"},
        {"answer Yes", "\"Yes\" is not an answer: yes, no or ok"},
        {"expect-enabled cmdEnd", "expect-enabled cmdEnd needs true or false"},
        {"expect-box Zelcor |x", "expect-box needs TITLE | TEXT"},
        {"set txtTk \xff\xfe", "the line is not UTF-8 text"},
        {QByteArray("set txtTk a\0b", 13), "control character 0x00 in the line"},
        {"set txtTk a\rb", "control character 0x0d in the line"},
    };
    for (const auto& [line, reason] : cases) {
        const ParsedScript script = ParseScript("idle\n# comment\n\n" + line + "\nidle\n");
        ASSERT_TRUE(script.error) << line.toStdString();
        EXPECT_EQ(script.error->line, 4) << line.toStdString();
        EXPECT_EQ(script.error->reason.toStdString(), reason);
    }
}

TEST(ScriptParser, AnyBytesGiveLinesOrAnErrorNeverACrash) {
    std::mt19937 random(20240611); // fixed: the same inputs every run
    const QByteArray valid = "# session\nset cmbComSelect /dev/pts/4\nchoose cmbDir CCW\n"
                             "click cmdPortOpen\nstart cmdRead\nwait 10\nidle\nanswer yes\n"
                             "expect txtState IDLE0\nexpect-box A | b\\nc\nprint Shape1\n";
    for (int round = 0; round < 3000; ++round) {
        QByteArray input = round % 2 == 0 ? QByteArray() : valid;
        if (input.isEmpty()) {
            for (int length = static_cast<int>(random() % 200); length > 0; --length) {
                input.append(static_cast<char>(random() % 256));
            }
        } else {
            for (int flips = 1 + static_cast<int>(random() % 4); flips > 0; --flips) {
                input[static_cast<qsizetype>(random() % input.size())] =
                    static_cast<char>(random() % 256);
            }
        }
        const ParsedScript script = ParseScript(input);
        const int lineCount = static_cast<int>(input.count('\n')) + 1;
        if (script.error) {
            EXPECT_GE(script.error->line, 1);
            EXPECT_LE(script.error->line, lineCount);
        }
        for (const ScriptLine& line : script.lines) {
            EXPECT_LE(line.number, lineCount);
        }
    }
}

} // namespace
} // namespace zelcor
