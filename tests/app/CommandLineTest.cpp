// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace zelcor {
namespace {

TEST(CommandLine, PortHelpAndMistakes) {
    const Options none = ParseCommandLine({"zelcor"});
    EXPECT_TRUE(none.port.isEmpty() && none.script.isEmpty() && none.log.isEmpty() &&
                none.language.isEmpty() && !none.showHelp && !none.showVersion &&
                none.error.isEmpty());
    EXPECT_EQ(ParseCommandLine({"zelcor", "--port", "/dev/ttyUSB0"}).port, "/dev/ttyUSB0");
    EXPECT_EQ(ParseCommandLine({"zelcor", "--port=3"}).port, "3");
    EXPECT_TRUE(ParseCommandLine({"zelcor", "-h"}).showHelp);
    EXPECT_TRUE(ParseCommandLine({"zelcor", "--help"}).showHelp);
    EXPECT_EQ(ParseCommandLine({"zelcor", "--port"}).error, "--port needs a port name");
    EXPECT_EQ(ParseCommandLine({"zelcor", "COM1"}).error, "unknown option: COM1");
}

TEST(CommandLine, Script) {
    EXPECT_EQ(ParseCommandLine({"zelcor", "--script", "a.zs", "--port", "2"}).script, "a.zs");
    EXPECT_EQ(ParseCommandLine({"zelcor", "--script", "-"}).script, "-");
    EXPECT_EQ(ParseCommandLine({"zelcor", "--script=b.zs"}).script, "b.zs");
    const QString needsName = "--script needs a file name (\"-\" for standard input)";
    EXPECT_EQ(ParseCommandLine({"zelcor", "--script"}).error, needsName);
    EXPECT_EQ(ParseCommandLine({"zelcor", "--script="}).error, needsName);
    EXPECT_TRUE(HelpText().contains("--script FILE"));
}

TEST(CommandLine, LogAndVersion) {
    EXPECT_EQ(ParseCommandLine({"zelcor", "--log", "s.csv", "--simulator"}).log, "s.csv");
    EXPECT_EQ(ParseCommandLine({"zelcor", "--log=/tmp/a b.csv"}).log, "/tmp/a b.csv");
    EXPECT_EQ(ParseCommandLine({"zelcor", "--log"}).error, "--log needs a file name");
    EXPECT_EQ(ParseCommandLine({"zelcor", "--log="}).error, "--log needs a file name");
    EXPECT_TRUE(ParseCommandLine({"zelcor", "--version"}).showVersion);
}

TEST(CommandLine, Language) {
    EXPECT_EQ(ParseCommandLine({"zelcor", "--language", "en"}).language, "en");
    EXPECT_EQ(ParseCommandLine({"zelcor", "--language=en"}).language, "en");
    EXPECT_EQ(ParseCommandLine({"zelcor", "--language", "en"}).error, "");
    EXPECT_EQ(ParseCommandLine({"zelcor", "--language", "fr"}).error,
              "unknown language: fr (known: en)");
    EXPECT_EQ(ParseCommandLine({"zelcor", "--language="}).error, "unknown language:  (known: en)");
    EXPECT_EQ(ParseCommandLine({"zelcor", "--language"}).error, "--language needs a language (en)");
}

} // namespace
} // namespace zelcor
