#include "app/ScriptParser.h"

#include <gtest/gtest.h>

#include <random>

namespace zelcor {
namespace {

ParsedScript parse(const char* text) {
    return ParseScript(QByteArray(text));
}

// The one line of a script that must parse.
ScriptLine only(const char* text) {
    const ParsedScript script = parse(text);
    EXPECT_FALSE(script.error) << text << ": " << script.error->reason.toStdString();
    EXPECT_EQ(script.lines.size(), 1u) << text;
    return script.lines.empty() ? ScriptLine{} : script.lines.front();
}

// The error of a script that must not parse.
ScriptError error(const QByteArray& text) {
    const ParsedScript script = ParseScript(text);
    EXPECT_TRUE(script.error) << text.toStdString();
    return script.error.value_or(ScriptError{-1, {}});
}

TEST(ScriptParser, EveryCommandWithItsArguments) {
    ScriptLine l = only("set cmbComSelect /dev/pts/3");
    EXPECT_EQ(l.op, ScriptOp::Set);
    EXPECT_EQ(l.control, "cmbComSelect");
    EXPECT_EQ(l.text, "/dev/pts/3");

    l = only("choose frmRs232SetCmd.Combo1 Max torque");
    EXPECT_EQ(l.op, ScriptOp::Choose);
    EXPECT_EQ(l.control, "frmRs232SetCmd.Combo1");
    EXPECT_EQ(l.text, "Max torque");

    EXPECT_EQ(only("click cmdPortOpen").op, ScriptOp::Click);
    l = only("start txtReadData(0)");
    EXPECT_EQ(l.op, ScriptOp::Start);
    EXPECT_EQ(l.control, "txtReadData(0)");

    l = only("wait 3000");
    EXPECT_EQ(l.op, ScriptOp::Wait);
    EXPECT_EQ(l.ms, 3000);
    EXPECT_EQ(only("wait 0").ms, 0);
    EXPECT_EQ(only("idle").op, ScriptOp::Idle);

    EXPECT_EQ(only("answer yes").answer, BoxAnswer::Yes);
    EXPECT_EQ(only("answer no").answer, BoxAnswer::No);
    EXPECT_EQ(only("answer ok").answer, BoxAnswer::Ok);

    l = only("expect-enabled cmdPortClose true");
    EXPECT_EQ(l.op, ScriptOp::ExpectEnabled);
    EXPECT_TRUE(l.state);
    l = only("expect-visible frmRs232WRCal false");
    EXPECT_EQ(l.op, ScriptOp::ExpectVisible);
    EXPECT_FALSE(l.state);

    l = only("expect-box Zelcor | Port not open\\nTry again");
    EXPECT_EQ(l.op, ScriptOp::ExpectBox);
    EXPECT_EQ(l.text, "Zelcor");
    EXPECT_EQ(l.boxText, "Port not open\nTry again");
    // Only the first separator splits: the text may hold one.
    l = only("expect-box T | a | b");
    EXPECT_EQ(l.text, "T");
    EXPECT_EQ(l.boxText, "a | b");

    l = only("print Shape1");
    EXPECT_EQ(l.op, ScriptOp::Print);
    EXPECT_EQ(l.control, "Shape1");
    EXPECT_EQ(l.source, "print Shape1");
}

TEST(ScriptParser, TextIsTheRestOfTheLineKeptExactly) {
    // One blank separates; every further blank belongs to the text, inside and at the end.
    EXPECT_EQ(only("set Combo1  1").text, " 1");
    EXPECT_EQ(only("expect txtTk a  b  ").text, "a  b  ");
    EXPECT_EQ(only("set txtTk \t").text, "\t");
    EXPECT_EQ(only("set txtTk #not a comment").text, "#not a comment");
    // Blanks before the name are not part of anything.
    EXPECT_EQ(only("  set   txtTk x").control, "txtTk");

    EXPECT_EQ(only("set txtTk \"\"").text, "");
    EXPECT_EQ(only("set txtTk \"\" ").text, "\"\" "); // only "" alone is the empty text
    EXPECT_EQ(only("set txtTk \"x\"").text, "\"x\"");
    EXPECT_EQ(only("expect-box \"\" | \"\"").boxText, "");

    EXPECT_EQ(only("set txtNewPara a\\nb\\r\\\\c").text, "a\nb\r\\c");
    EXPECT_EQ(only("set txtNewPara \\\\n").text, "\\n"); // an escaped backslash, then n
    EXPECT_EQ(only("set cmbComSelect C:\\dev\\t").text, "C:\\dev\\t");
    EXPECT_EQ(only("set txtTk end\\").text, "end\\");
}

TEST(ScriptParser, CommentsBlankLinesAndLineNumbers) {
    const ParsedScript script = ParseScript("\xEF\xBB\xBF# opening the port\r\n"
                                            "\r\n"
                                            "   \t\n"
                                            "  # indented comment\n"
                                            "click cmdPortOpen\r\n"
                                            "expect txtState IDLE0\r\n"
                                            "print txtState"); // no line feed at the end
    ASSERT_FALSE(script.error);
    ASSERT_EQ(script.lines.size(), 3u);
    EXPECT_EQ(script.lines[0].number, 5);
    EXPECT_EQ(script.lines[1].number, 6);
    EXPECT_EQ(script.lines[1].text, "IDLE0"); // the carriage return of CR LF is not text
    EXPECT_EQ(script.lines[2].number, 7);

    EXPECT_TRUE(ParseScript("").lines.empty());
    EXPECT_FALSE(ParseScript("\n\n#\n").error);
}

TEST(ScriptParser, ScriptErrorsNameTheirLine) {
    EXPECT_EQ(error("idle\nclik cmdEnd\n").line, 2);
    EXPECT_EQ(error("idle\nclik cmdEnd\n").reason, "unknown command \"clik\"");
    EXPECT_EQ(error("Click cmdEnd").reason, "unknown command \"Click\"");
    EXPECT_EQ(error("#x\n\n  expect-enabled\n").line, 3);

    const std::vector<std::pair<const char*, const char*>> cases{
        {"click", "click needs a button name"},
        {"click   ", "click needs a button name"},
        {"choose", "choose needs a combo box name"},
        {"print", "print needs a control name"},
        {"set txtTk", "set txtTk needs a text after the name (\"\" is the empty text)"},
        {"set txtTk ", "set txtTk needs a text after the name (\"\" is the empty text)"},
        {"expect txtTk", "expect txtTk needs a text after the name (\"\" is the empty text)"},
        {"click cmdEnd now", "unexpected \"now\" at the end of the line"},
        {"idle 5", "unexpected \"5\" at the end of the line"},
        {"wait", "wait needs a number of milliseconds"},
        {"wait -1", "\"-1\" is not a number of milliseconds from 0 to 86400000"},
        {"wait 1.5", "\"1.5\" is not a number of milliseconds from 0 to 86400000"},
        {"wait 0x10", "\"0x10\" is not a number of milliseconds from 0 to 86400000"},
        {"wait 86400001", "\"86400001\" is not a number of milliseconds from 0 to 86400000"},
        {"wait 99999999999999999999", "\"99999999999999999999\" is not a number of "
                                      "milliseconds from 0 to 86400000"},
        {"answer", "answer needs yes, no or ok"},
        {"answer Yes", "\"Yes\" is not an answer: yes, no or ok"},
        {"expect-visible cmdEnd", "expect-visible cmdEnd needs true or false"},
        {"expect-enabled cmdEnd 1", "\"1\" is neither true nor false"},
        {"expect-box Zelcor", "expect-box needs TITLE | TEXT"},
        {"expect-box", "expect-box needs TITLE | TEXT"},
        {"expect-box Zelcor |x", "expect-box needs TITLE | TEXT"},
        {"expect-box Zelcor | ", "expect-box needs TITLE | TEXT (\"\" is the empty text)"},
    };
    for (const auto& [line, reason] : cases) {
        const ScriptError e = error(QByteArray("# header\n") + line);
        EXPECT_EQ(e.line, 2) << line;
        EXPECT_EQ(e.reason.toStdString(), reason) << line;
    }
    // A long word is cut short in the message.
    EXPECT_EQ(error(QByteArray(500, 'x')).reason.size(), 61);
}

TEST(ScriptParser, BinaryBytesAreAScriptErrorOnTheirLine) {
    EXPECT_EQ(error("idle\nset txtTk \xff\xfe\n").line, 2);
    EXPECT_EQ(error("idle\nset txtTk \xff\xfe\n").reason, "the line is not UTF-8 text");
    EXPECT_EQ(error(QByteArray("idle\nidle\nset txtTk a\0b", 23)).line, 3);
    EXPECT_EQ(error(QByteArray("set txtTk a\0b", 13)).reason, "control character 0x00 in the line");
    EXPECT_EQ(error("set txtTk a\rb").reason, "control character 0x0d in the line");
    EXPECT_EQ(error("set txtTk \x1b[31m").line, 1);
    // Text in any language is fine.
    EXPECT_EQ(only("expect frmRs232WRPara 扳手參數").text, QString::fromUtf8("扳手參數"));
}

TEST(ScriptParser, AnyBytesGiveLinesOrAnErrorNeverACrash) {
    std::mt19937 random(20240611); // fixed: the same inputs every run
    const QByteArray valid = "# session\nset cmbComSelect /dev/pts/4\nchoose cmbDir CCW\n"
                             "click cmdPortOpen\nstart cmdRead\nwait 10\nidle\nanswer yes\n"
                             "expect txtState IDLE0\nexpect-box A | b\\nc\nprint Shape1\n";
    for (int round = 0; round < 3000; ++round) {
        QByteArray input;
        if (round % 2 == 0) {
            const int length = static_cast<int>(random() % 200);
            for (int i = 0; i < length; ++i) {
                input.append(static_cast<char>(random() % 256));
            }
        } else {
            input = valid;
            for (int flips = 1 + static_cast<int>(random() % 4); flips > 0; --flips) {
                const auto at = static_cast<qsizetype>(random() % input.size());
                input[at] = static_cast<char>(random() % 256);
            }
        }
        const ParsedScript script = ParseScript(input);
        const int lineCount = static_cast<int>(input.count('\n')) + 1;
        if (script.error) {
            EXPECT_GE(script.error->line, 1);
            EXPECT_LE(script.error->line, lineCount);
            EXPECT_FALSE(script.error->reason.isEmpty());
        }
        for (const ScriptLine& line : script.lines) {
            EXPECT_GE(line.number, 1);
            EXPECT_LE(line.number, lineCount);
        }
    }
}

TEST(ScriptParser, PrintedTextsShowLineBreaks) {
    EXPECT_EQ(ShowLineBreaks("a\nb\r\nc"), "a\\nb\\r\\nc");
    EXPECT_EQ(ShowLineBreaks(""), "");
    EXPECT_EQ(DecodeScriptText(ShowLineBreaks("x\r\ny")), "x\r\ny");
}

TEST(ScriptParser, AFileThatCannotBeReadIsAnErrorWithoutALine) {
    const ParsedScript script = LoadScript(QStringLiteral("/nonexistent/zelcor.zs"));
    ASSERT_TRUE(script.error);
    EXPECT_EQ(script.error->line, 0);
    EXPECT_TRUE(script.error->reason.startsWith("cannot read /nonexistent/zelcor.zs"))
        << script.error->reason.toStdString();
}

} // namespace
} // namespace zelcor
