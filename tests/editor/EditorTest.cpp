// SPDX-License-Identifier: GPL-3.0-or-later
// What the parameter memory editor adds to the session: cells and ticks that show the memory
// and take the technician's typing into it, its progress line and the controls it locks.
#include "support/WrenchFixture.h"

#include "editor/frmRs232WRPara.h"
#include "session/WrenchSession.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

namespace zelcor::test {
namespace {

class Editor : public WrenchFixture {
protected:
    frmRs232WRPara& ed() { return mainWindow->editor(); }
    ParameterMemory& memory() { return mainWindow->session().memory(); }
    QString msg() { return ed().labMsg->text(); }
};

TEST_F(Editor, CellsShowTheMemoryAndTypingAndTicksGoIntoIt) {
    memory().setByte(0x10, 0xB8);
    memory().setSelected(0x10, true);
    EXPECT_EQ(ed().Text1(0x10)->text(), "B8");
    EXPECT_TRUE(ed().Check1(0x10)->isChecked());
    memory().setUnread(0x10);
    EXPECT_EQ(ed().Text1(0x10)->text(), "XX");

    // Typed text stays as typed; the memory holds its byte, or none.
    ed().Text1(0x11)->setText(" b 8");
    EXPECT_EQ(memory().byte(0x11), 0xB8);
    EXPECT_EQ(ed().Text1(0x11)->text(), " b 8");
    ed().Text1(0x11)->setText("G1");
    EXPECT_EQ(memory().byte(0x11), std::nullopt);
    ed().Check1(0x12)->setChecked(true);
    EXPECT_TRUE(memory().selected(0x12));

    // The bytes below 10H are the wrench's own: shown, never typed or ticked.
    EXPECT_FALSE(enabled("Text1(15)") || enabled("Check1(15)"));
    EXPECT_TRUE(enabled("Text1(16)") && enabled("Check1(16)"));
}

TEST_F(Editor, TheMessageLineFollowsReadAllAndWrite) {
    QStringList seen;
    QObject::connect(&mainWindow->session(), &WrenchSession::cellProgress,
                     [&](const CellProgress& p) {
                         if (p.address >= 0x0F && p.address <= 0x11) {
                             seen << msg();
                         }
                     });
    ed().Check1(0x10)->setChecked(true);
    click("cmdReadAll");
    EXPECT_EQ(seen, (QStringList{"", "NO: 16 Reading", "NO: 16 Reading"}));
    seen.clear();
    click("cmdWR");
    EXPECT_EQ(seen, (QStringList{"NO: 15", "NO: 16write", "NO: 17"})); // then OK: editor-preset.zs

    ed().Text1(0x10)->setText("XX");
    boxes.answerOk();
    click("cmdWR");
    EXPECT_EQ(msg(), "Fail");

    sim::Faults silent;
    silent.noReply = true;
    wrench.setFaults(silent);
    boxes.answerOk(2);
    click("cmdReadAll");
    EXPECT_EQ(msg(), "Fail");
}

// Every button that would start an exchange or change the cells is locked during a transfer
// and while its boxes are up; Stop and Return are not, and Stop ends it after its cell.
TEST_F(Editor, ATransferLocksTheControlsButStopAndReturn) {
    QStringList seen;
    const auto look = [&] {
        QString states;
        for (const QString name :
             {"cmdReadAll", "cmdWR", "cmdWriteAllFF", "cmdClear", "cmdFillAllFF", "cmdLdPara",
              "cmdRead", "cmdGetPara", "cmdStop", "frmRs232WRPara.cmdReturn"}) {
            states += enabled(name) ? '1' : '0';
        }
        seen << states;
    };
    clock.after(150, [&] {
        look();
        click("cmdStop");
    });
    boxes.setOnShow([&](const ShownBox&) { look(); });
    boxes.answerOk();
    for (const int cell : {0x10, 0x11, 0x12}) {
        ed().Check1(cell)->setChecked(true);
    }
    click("cmdReadAll");
    look();
    EXPECT_EQ(seen, (QStringList{"0000000011", "0000000011", "1111111111"}));
    EXPECT_EQ(boxes.shown().back().title, "Stop"); // what Stop leaves is the session's test
}

// The bar beside the message line counts the cells done, and is empty once the transfer has
// ended, done or stopped.
TEST_F(Editor, TheBarCountsTheCellsDoneAndIsEmptiedWhenTheTransferEnds) {
    QProgressBar* bar = ed().prgCells;
    QStringList seen;
    QObject::connect(bar, &QProgressBar::valueChanged, [&] { seen << bar->text(); });
    for (const int cell : {0x10, 0x11, 0x12}) {
        ed().Check1(cell)->setChecked(true);
    }
    click("cmdReadAll");
    EXPECT_EQ(seen, (QStringList{"0 of 3", "1 of 3", "2 of 3", "3 of 3"}));
    EXPECT_EQ(bar->text(), "");

    seen.clear();
    // Stop, pressed as the second cell begins, ends the Write after that cell.
    const auto stop = QObject::connect(&mainWindow->session(), &WrenchSession::cellProgress,
                                       [&](const CellProgress& p) {
                                           if (p.index == 2) {
                                               click("cmdStop");
                                           }
                                       });
    boxes.answerOk();
    click("cmdWR");
    QObject::disconnect(stop);
    EXPECT_EQ(seen, (QStringList{"0 of 3", "1 of 3"}));
    EXPECT_EQ(bar->text(), "");

    // Write All FF writes 07H to 2DH.
    click("cmdWriteAllFF");
    EXPECT_EQ(seen.back(), "39 of 39");
    EXPECT_EQ(bar->text(), "");
}

} // namespace
} // namespace zelcor::test
