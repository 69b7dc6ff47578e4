// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's way to the other windows and out of the program. What the windows show
// at start is in docs/windows.txt (WindowsGoldenTest).
#include "support/WindowFixture.h"

namespace zelcor::test {
namespace {

using MainWindow = WindowFixture;

TEST_F(MainWindow, OtherWindowsAreLoadedHiddenAndShownWithTheirContents) {
    QWidget* editor = control("frmRs232WRPara");
    editor->setProperty("probe", 42); // stands for contents the user left there
    click("cmdRs232WRPara");
    EXPECT_TRUE(shown("frmRs232WRPara"));
    editor->hide();
    click("Command1");
    EXPECT_EQ(control("frmRs232WRPara"), editor);
    EXPECT_TRUE(shown("frmRs232WRPara"));
    EXPECT_EQ(editor->property("probe").toInt(), 42);

    click("cmdRs232WRCal");
    EXPECT_TRUE(shown("frmRs232WRCal"));
    EXPECT_TRUE(shown("frmRs232WRPara")); // modeless: both stay up
    click("frmRs232WRCal.cmdReturn");
    EXPECT_FALSE(shown("frmRs232WRCal"));
    EXPECT_TRUE(shown("frmRs232SetCmd"));
    EXPECT_EQ(endRequests, 0);
}

TEST_F(MainWindow, EndReleasesThePortClosesEveryWindowAndAsksNothing) {
    std::string error;
    ASSERT_TRUE(port.open("/dev/ttyS0", SerialSettings{}, error));
    mainWindow->show();
    click("cmdRs232WRPara");
    click("cmdRs232WRCal");
    click("cmdVerification");
    click("cmdEnd");
    EXPECT_EQ(endRequests, 1);
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(port.written().empty());
    for (const char* window :
         {"frmRs232SetCmd", "frmRs232WRPara", "frmRs232WRCal", "frmVerification"}) {
        EXPECT_FALSE(shown(window)) << window;
    }
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(MainWindow, ClosingTheMainWindowEndsTheProgramOnce) {
    mainWindow->show();
    click("cmdRs232WRPara");
    mainWindow->close();
    EXPECT_EQ(endRequests, 1);
    EXPECT_FALSE(shown("frmRs232WRPara"));
    click("cmdEnd"); // a late click changes nothing
    EXPECT_EQ(endRequests, 1);
}

} // namespace
} // namespace zelcor::test
