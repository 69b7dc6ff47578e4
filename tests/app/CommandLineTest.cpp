#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace zelcor {
namespace {

TEST(CommandLine, PortHelpAndMistakes) {
    EXPECT_EQ(ParseCommandLine({"zelcor"}).port, "");
    EXPECT_EQ(ParseCommandLine({"zelcor", "--port", "/dev/ttyUSB0"}).port, "/dev/ttyUSB0");
    EXPECT_EQ(ParseCommandLine({"zelcor", "--port=3"}).port, "3");
    EXPECT_TRUE(ParseCommandLine({"zelcor", "-h"}).showHelp);
    EXPECT_TRUE(ParseCommandLine({"zelcor", "--help"}).showHelp);
    EXPECT_EQ(ParseCommandLine({"zelcor", "--port"}).error, "--port needs a port name");
    EXPECT_EQ(ParseCommandLine({"zelcor", "COM1"}).error, "unknown option: COM1");
}

} // namespace
} // namespace zelcor
