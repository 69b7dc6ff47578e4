// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/WindowFixture.h"

namespace zelcor::test {
namespace {

using Port = WindowFixture;

const char* const kOpenEnabled[] = {"cmdPortClose", "cmdSendAByte", "cmdRead",   "cmdWrite",
                                    "cmdRstSend",   "cmdGetPara",   "cmdWrPara", "cmdAutoOn"};
const char* const kOpenDisabled[] = {"cmdPortOpen", "cmbComSelect", "cmbBaudrate", "cmdAutoOff"};

TEST_F(Port, OpenAppliesTheSettingsAndSetsEveryControl) {
    setText("cmbComSelect", "5");
    click("cmdPortOpen");
    ASSERT_TRUE(port.isOpen());
#ifndef _WIN32
    EXPECT_EQ(port.openedName(), "/dev/ttyS4");
#endif
    EXPECT_EQ(port.openedSettings().baudRate, 1200);
    EXPECT_EQ(port.openedSettings().parity, 'N');
    EXPECT_EQ(port.openedSettings().dataBits, 8);
    EXPECT_EQ(port.openedSettings().stopBits, 2);
    for (const char* name : kOpenEnabled) {
        EXPECT_TRUE(enabled(name)) << name;
    }
    for (const char* name : kOpenDisabled) {
        EXPECT_FALSE(enabled(name)) << name;
    }
    EXPECT_TRUE(port.written().empty());
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(Port, CloseLeavesReadWriteAndResetAsOpeningSetThem) {
    setText("cmbBaudrate", "2400");
    setText("cmbComSelect", "/dev/ttyUSB0");
    click("cmdPortOpen");
    EXPECT_EQ(port.openedName(), "/dev/ttyUSB0");
    EXPECT_EQ(port.openedSettings().baudRate, 2400);
    click("cmdPortClose");
    EXPECT_FALSE(port.isOpen());
    for (const char* name :
         {"cmdPortOpen", "cmbComSelect", "cmbBaudrate", "cmdRead", "cmdWrite", "cmdRstSend"}) {
        EXPECT_TRUE(enabled(name)) << name;
    }
    for (const char* name :
         {"cmdPortClose", "cmdSendAByte", "cmdGetPara", "cmdWrPara", "cmdAutoOn", "cmdAutoOff"}) {
        EXPECT_FALSE(enabled(name)) << name;
    }
    click("cmdPortOpen"); // and again
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.openCount(), 2);
    EXPECT_TRUE(enabled("cmdPortClose"));
}

TEST_F(Port, PortThatCannotBeOpenedGivesTheWarningWithTheReasonAndChangesNothing) {
    const std::string reason = "/dev/ttyS2 is in use by another program (zelcor, process 7)";
    port.refuseOpen(reason);
    setText("cmbComSelect", "3");
    boxes.answerOk();
    click("cmdPortOpen");
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].title, "Warning");
    EXPECT_EQ(boxes.shown()[0].text, "Com 3 does not exit or (1200,8,N,2) is not supported\r\n" +
                                         QString::fromStdString(reason));
    EXPECT_EQ(boxes.shown()[0].icon, BoxIcon::Warning);
    EXPECT_TRUE(enabled("cmdPortOpen"));
    EXPECT_FALSE(enabled("cmdPortClose"));
    EXPECT_FALSE(enabled("cmdRead"));
    EXPECT_TRUE(enabled("cmbComSelect"));
}

TEST_F(Port, SettingsTheLineCannotRunWithGetTheSameWarning) {
    setText("cmbBaudrate", "fast");
    boxes.answerOk();
    click("cmdPortOpen");
    ASSERT_EQ(boxes.shown().size(), 1u);
    const QStringList lines = boxes.shown()[0].text.split("\r\n");
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "Com 1 does not exit or (1200,8,N,2) is not supported");
    EXPECT_TRUE(lines[1].contains("fast,N,8,2")) << lines[1].toStdString();
    EXPECT_EQ(port.openCount(), 0);
    EXPECT_TRUE(enabled("cmdPortOpen"));
}

TEST_F(Port, LostPortIsClosedAndReportedOnce) {
    click("cmdPortOpen");
    boxes.answerOk();
    port.close(); // what the port does itself when its device goes away
    port.fail("Input/output error");
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].title, "Warning");
    EXPECT_TRUE(boxes.shown()[0].text.contains("was lost"));
    EXPECT_TRUE(enabled("cmdPortOpen"));
    EXPECT_FALSE(enabled("cmdPortClose"));
    EXPECT_FALSE(enabled("cmdSendAByte"));
    EXPECT_FALSE(enabled("cmdGetPara"));
}

TEST_F(Port, LostPortDuringAnExchangeEndsItWithTheTimeOut) {
    click("cmdPortOpen");
    clock.at(30, [this] {
        port.close();
        port.fail("Input/output error");
    });
    boxes.answerOk(3); // lost port, then time-out and help
    click("cmdRead");
    ASSERT_EQ(boxes.shown().size(), 3u);
    EXPECT_TRUE(boxes.shown()[0].text.contains("was lost"));
    EXPECT_EQ(boxes.shown()[1].text, "Data Receving is time-out");
    EXPECT_EQ(clock.nowMs(), 3000);
    EXPECT_EQ(port.written().size(), 2u); // the third byte found the port gone
    // The closed-port states set during the exchange survive the end of its lock.
    EXPECT_TRUE(enabled("cmdPortOpen"));
    EXPECT_FALSE(enabled("cmdPortClose"));
    EXPECT_FALSE(enabled("cmdSendAByte"));
    EXPECT_TRUE(enabled("cmdRead"));
}

TEST_F(Port, OneExchangeOnTheWireAtATime) {
    click("cmdPortOpen");
    std::map<std::string, bool> during;
    clock.at(30, [&] {
        for (const char* name :
             {"cmdRead", "cmdWrite", "cmdSendAByte", "cmdPortOpen", "cmdPortClose", "cmdGetPara",
              "cmdWrPara", "cmdAutoOn", "cmdRdMaxTk", "cmdClrEr0", "cmdRstSend", "cmdClr", "cmdEnd",
              "cmdRs232WRPara", "cmdRs232WRCal", "txtReplyNo"}) {
            during[name] = enabled(name);
        }
        // A second click on another exchange sends nothing.
        click("cmdWrite");
        click("cmdSendAByte");
        click("cmdRead");
    });
    clock.at(100, [this] { port.receive({0x00, 0x05, 0xAA, 0x12, 0x12}); });
    click("cmdRead");
    EXPECT_EQ(port.writtenBytes(), (std::vector<std::uint8_t>{0xC8, 0x00, 0x05}));
    EXPECT_EQ(text("txtReadData(0)"), "12");
    for (const char* name :
         {"cmdRead", "cmdWrite", "cmdSendAByte", "cmdPortOpen", "cmdPortClose", "cmdGetPara",
          "cmdWrPara", "cmdAutoOn", "cmdRdMaxTk", "cmdClrEr0", "txtReplyNo"}) {
        EXPECT_FALSE(during[name]) << name << " was usable during the exchange";
    }
    for (const char* name : {"cmdRstSend", "cmdClr", "cmdEnd", "cmdRs232WRPara", "cmdRs232WRCal"}) {
        EXPECT_TRUE(during[name]) << name << " was not usable during the exchange";
    }
    // Afterwards every control has the state the port rules give it.
    for (const char* name : kOpenEnabled) {
        EXPECT_TRUE(enabled(name)) << name;
    }
    for (const char* name : kOpenDisabled) {
        EXPECT_FALSE(enabled(name)) << name;
    }
}

} // namespace
} // namespace zelcor::test
