// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/ScriptParser.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(only("choose frmRs232SetCmd.Combo1 Max torque").control, "frmRs232SetCmd.Combo1");
    EXPECT_EQ(only("wait 3000").ms, 3000);
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

// Every error names its line; two reasons stand for the wording of all of them.
TEST(ScriptParser, ScriptErrorsNameTheirLine) {
    const QByteArray lines[] = {"Click cmdEnd",
                                "click",
                                "set txtTk",
                                "set txtTk ",
                                "click cmdEnd now",
                                "wait 99999999999999999999",
                                "answer Yes",
                                "expect-box Zelcor |x",
                                "set txtTk \xff\xfe",
                                QByteArray("set txtTk a\0b", 13),
                                "set txtTk " + QByteArray(65536, 'a')};
    for (const QByteArray& line : lines) {
        const ParsedScript script = ParseScript("idle\n# comment\n\n" + line + "\nidle\n");
        ASSERT_TRUE(script.error) << line.toStdString();
        EXPECT_EQ(script.error->line, 4) << line.toStdString();
    }
    EXPECT_EQ(ParseScript("Click cmdEnd").error.value().reason, "unknown command \"Click\"");
    EXPECT_EQ(ParseScript("set txtTk ").error.value().reason,
              "set txtTk needs a text after the name (\"\" is the empty text)");
    EXPECT_EQ(ParseScript("set txtTk " + QByteArray(65536, 'a')).error.value().reason,
              "the line is longer than 65536 bytes");
}

// Whatever a script holds, a message quotes at most 255 characters of it, on one line.
TEST(ScriptParser, MessagesQuoteTheScriptShortened) {
    const std::pair<QString, QString> cases[] = {
        {QString(255, 'x'), QString(255, 'x')},
        {QString(256, 'x'), QString(255, 'x') + "..."},
        {"a\nb\r", "a\\nb\\r"},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(ShortenScriptText(text), shown);
    }
    EXPECT_EQ(ParseScript("idle " + QByteArray(60000, 'z')).error.value().reason,
              "unexpected \"" + QString(255, 'z') + "...\" at the end of the line");
}

} // namespace
} // namespace zelcor
