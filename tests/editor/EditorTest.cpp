// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestWrench.h"
#include "support/WindowFixture.h"

#include "editor/frmRs232WRPara.h"
#include "platform/Clock.h"
#include "widgets/EchoBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <array>
#include <functional>
#include <map>

namespace zelcor::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

using Wrench = TestWrench;

Bytes reads(std::initializer_list<int> addresses) {
    Bytes bytes;
    for (const int a : addresses) {
        bytes.insert(bytes.end(), {0xC8, 0x00, static_cast<std::uint8_t>(a)});
    }
    return bytes;
}
Bytes writes(std::initializer_list<std::pair<int, int>> cells) {
    Bytes bytes;
    for (const auto& [a, d] : cells) {
        bytes.insert(bytes.end(),
                     {0xE8, 0x00, static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(d)});
    }
    return bytes;
}

// The boxes of a failed exchange, the help that follows it, and a stop, by their titles.
const QString kRecvErr = "Exit for Communication Error";
const QString kHelp = "Help";
const QString kStop = "Stop";

class Editor : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        click("cmdPortOpen");
        wrench = std::make_unique<Wrench>(clock, port);
    }
    void TearDown() override {
        wrench.reset();
        WindowFixture::TearDown();
    }
    frmRs232WRPara& ed() { return mainWindow->editor(); }
    QString cell(int i) { return ed().Text1(i)->text(); }
    void setCell(int i, const QString& text) { ed().Text1(i)->setText(text); }
    void select(std::initializer_list<int> cells) {
        for (const int i : cells) {
            ed().Check1(i)->setChecked(true);
        }
    }
    QString msg() { return ed().labMsg->text(); }
    QStringList boxTitles() {
        QStringList titles;
        for (const ShownBox& b : boxes.shown()) {
            titles << b.title;
        }
        return titles;
    }
    void stopAt(std::uint8_t address) {
        wrench->onRequest = [this, address](std::uint8_t a) {
            if (a == address) {
                click("cmdStop");
            }
        };
    }
    std::unique_ptr<Wrench> wrench;
};

TEST_F(Editor, LegendsThatAreEasyToGetWrong) {
    const std::pair<QString, QString> legends[] = {{"Label26(7)", "07H:REeserved"},
                                                   {"Label26(13)", "0DH:ReserveK"},
                                                   {"Label26(41)", "29H: 保留給  fgauge"},
                                                   {"Label26(42)", "2AH:保留給   fgauge"},
                                                   {"Label26(43)", "2BH:cdoe_2"}};
    for (const auto& [name, legend] : legends) {
        EXPECT_EQ(text(name), legend) << name.toStdString();
    }
}

TEST_F(Editor, ReadAllReadsTheSelectedCellsFrom07HUpRetryingOnce) {
    mainWindow->txtLocalHex->appendText("old\r\n");
    click("cmdStop"); // a stop asked for earlier is forgotten when Read All starts
    wrench->unanswered[0x22] = 1;
    select({0x2D, 0x00, 0x06, 0x07, 0x22});
    setCell(0x11, "3C");
    click("cmdReadAll");
    EXPECT_EQ(port.writtenBytes(), reads({0x07, 0x22, 0x22, 0x2D}));
    EXPECT_EQ(cell(0x06) + cell(0x07) + cell(0x11) + cell(0x22) + cell(0x2D), "XX873CA2AD");
    EXPECT_EQ(msg(), "NO: 45 Reading");
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_FALSE(text("txtLocalHex").contains("old"));
}

TEST_F(Editor, ReadThatFailsTwiceShowsItsBoxesThenFailAndStops) {
    wrench->unanswered[0x11] = 2;
    QStringList msgAtBox;
    boxes.setOnShow([&](const ShownBox&) { msgAtBox << msg(); });
    boxes.answerOk(2);
    select({0x10, 0x11, 0x12});
    click("cmdReadAll");
    EXPECT_EQ(port.writtenBytes(), reads({0x10, 0x11, 0x11}));
    EXPECT_EQ(boxTitles(), (QStringList{kRecvErr, kHelp}));
    EXPECT_EQ(msgAtBox, (QStringList{"NO: 17 Reading", "Fail"}));
    EXPECT_EQ(cell(0x10) + cell(0x12), "90XX");
}

TEST_F(Editor, StopLetsTheCurrentCellFinishInReadAllAndInWrite) {
    stopAt(0x11);
    QString cellAtBox;
    boxes.setOnShow([&](const ShownBox&) { cellAtBox = cell(0x11); });
    boxes.answerOk(2);
    select({0x10, 0x11, 0x12});
    click("cmdReadAll");
    EXPECT_EQ(port.writtenBytes(), reads({0x10, 0x11}));
    EXPECT_EQ(cellAtBox + cell(0x12), "91XX");

    click("cmdFillAllFF");
    click("cmdWR");
    const Bytes sent = port.writtenBytes();
    EXPECT_EQ(sent.size(), 2 * 3 + 11u * 4); // 07H to 11H
    EXPECT_EQ(Bytes(sent.end() - 8, sent.end()), writes({{0x10, 0xFF}, {0x11, 0xFF}}));
    EXPECT_EQ(boxTitles(), (QStringList{kStop, kStop}));
    EXPECT_EQ(msg(), "Fail");
}

TEST_F(Editor, WriteSendsTheSelectedCellsInOrderAsBytesOfEitherCase) {
    for (const auto& [i, t] : std::map<int, QString>{
             {0x05, "11"}, {0x0A, "22"}, {0x10, "B8"}, {0x11, "b8"}, {0x12, " b 8"}, {0x2D, "5"}}) {
        setCell(i, t);
    }
    wrench->unanswered[0x11] = 1;
    select({0x2D, 0x12, 0x11, 0x10, 0x0A, 0x05});
    click("cmdWR");
    EXPECT_EQ(
        port.writtenBytes(),
        writes(
            {{0x0A, 0x22}, {0x10, 0xB8}, {0x11, 0xB8}, {0x11, 0xB8}, {0x12, 0xB8}, {0x2D, 0x05}}));
    EXPECT_EQ(msg(), "OK");
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(Editor, WriteRefusesACellThatHoldsNoByteNamingIt) {
    for (const QString bad : {"XX", "", "1FF", "G1", "&H"}) {
        SCOPED_TRACE(bad.toStdString());
        boxes.clear();
        const auto before = static_cast<std::ptrdiff_t>(port.written().size());
        boxes.answerOk();
        setCell(0x10, "01");
        setCell(0x11, bad);
        setCell(0x12, "02");
        select({0x10, 0x11, 0x12});
        click("cmdWR");
        const Bytes sent = port.writtenBytes();
        EXPECT_EQ(Bytes(sent.begin() + before, sent.end()), writes({{0x10, 0x01}}));
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_TRUE(boxes.shown()[0].text.startsWith("Cell 11H:gK_CWi_L "));
        EXPECT_TRUE(bad.isEmpty() || boxes.shown()[0].text.contains('"' + bad + '"'));
        EXPECT_EQ(msg(), "Fail");
    }
}

TEST_F(Editor, WriteTakesLeadingZerosAndRefusesOnlyAValueAboveFF) {
    setCell(0x10, "0B8");
    setCell(0x11, "00ff");
    setCell(0x12, QString(60, '0') + "1");
    setCell(0x13, "0100");
    setCell(0x14, "01");
    select({0x10, 0x11, 0x12, 0x13, 0x14});
    boxes.answerOk();
    click("cmdWR");
    EXPECT_EQ(port.writtenBytes(), writes({{0x10, 0xB8}, {0x11, 0xFF}, {0x12, 0x01}}));
    ASSERT_EQ(boxes.shown().size(), 1u);
    const QString said = boxes.shown()[0].text;
    EXPECT_TRUE(said.startsWith("Cell 13H:gK_CCWi_L holds \"0100\"")) << said.toStdString();
    EXPECT_TRUE(said.contains("above FF")) << said.toStdString();
    EXPECT_EQ(msg(), "Fail");
}

// The technician types a model name into the list and presses Enter, then Load: only the
// exact name chooses a model, anything else (another case, a part of a name, a name not in
// the list) loads WT-07, and what was typed stays as typed, out of the list.
TEST_F(Editor, LoadTakesTheTypedModelNameExactly) {
    QComboBox* combo = ed().Combo1;
    const QString wt07 = "02D00732", wt01 = "22B80B32"; // 10H, 17H, 18H and 22H
    const std::pair<QString, QString> typedAndLoaded[] = {
        {"WT-01", wt01}, {"wt-01", wt07}, {"WT-0", wt07}, {"W", wt07}, {"WT-11", wt07}};
    for (const auto& [typed, loaded] : typedAndLoaded) {
        SCOPED_TRACE(typed.toStdString());
        typeAndEnter(combo, typed);
        click("cmdLdPara");
        EXPECT_EQ(combo->currentText().toStdString(), typed.toStdString());
        EXPECT_EQ((cell(0x10) + cell(0x17) + cell(0x18) + cell(0x22)).toStdString(),
                  loaded.toStdString());
        EXPECT_EQ(combo->count(), 13);
    }
}

TEST_F(Editor, WriteAllFFWrites39AddressesAndLeavesTheCells) {
    setCell(0x10, "12");
    select({0x03, 0x10});
    click("cmdWriteAllFF");
    Bytes expected;
    for (int a = 0x07; a <= 0x2D; ++a) {
        expected.insert(expected.end(), {0xE8, 0x00, static_cast<std::uint8_t>(a), 0xFF});
    }
    EXPECT_EQ(port.writtenBytes(), expected);
    EXPECT_EQ(cell(0x10) + cell(0x11), "12XX");
    EXPECT_TRUE(ed().Check1(0x03)->isChecked() && !ed().Check1(0x11)->isChecked());
    EXPECT_EQ(msg(), "");
}

TEST_F(Editor, LoadingFG03ThenWriteSendsItsTwentySevenBytes) {
    click("cmdFillAllFF");
    setText("frmRs232WRPara.Combo1", "FG-03");
    click("cmdLdPara"); // selects only its own cells: none of the FF cells around is written
    click("cmdWR");
    const std::array<int, 27> fg03{0x22, 0x53, 0x57, 0x53, 0x57, 0x01, 0x01, 0x88, 0x13,
                                   0x7C, 0x15, 0x33, 0xF3, 0x88, 0x13, 0xFA, 0x00, 0x00,
                                   0xFA, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    Bytes expected;
    for (int k = 0; k < 27; ++k) {
        expected.insert(expected.end(), {0xE8, 0x00, static_cast<std::uint8_t>(0x10 + k),
                                         static_cast<std::uint8_t>(fg03[k])});
    }
    EXPECT_EQ(port.writtenBytes(), expected);

    for (const QString typed : {"WT-01 ", "wt-01"}) {
        setText("frmRs232WRPara.Combo1", typed);
        click("cmdLdPara");
        EXPECT_EQ(cell(0x10) + cell(0x17) + cell(0x18) + cell(0x1F) + cell(0x22), "02D0076432")
            << typed.toStdString(); // WT-07
    }
}

// Read All, Write All FF and Write, each ending in a failure: every button but Stop and Return
// is disabled during every exchange and while every box is up, and enabled again after.
TEST_F(Editor, ATransferLocksEveryExchangeButtonButStopAndReturn) {
    QStringList seen;
    auto look = [&] {
        QString states;
        for (const QString name :
             {"cmdReadAll", "cmdWR", "cmdWriteAllFF", "cmdClear", "cmdFillAllFF", "cmdLdPara",
              "cmdRead", "cmdGetPara", "cmdStop", "frmRs232WRPara.cmdReturn"}) {
            states += enabled(name) ? '1' : '0';
        }
        seen << states;
    };
    wrench->onRequest = [&](std::uint8_t) { look(); };
    boxes.setOnShow([&](const ShownBox&) { look(); });
    select({0x10, 0x11});
    wrench->unanswered = {{0x11, 2}, {0x08, 2}};
    boxes.answerOk(5);
    click("cmdReadAll");
    click("cmdWriteAllFF");
    setCell(0x10, "XX");
    click("cmdWR");
    look();
    EXPECT_EQ(boxTitles(), (QStringList{kRecvErr, kHelp, kRecvErr, kHelp, "Invalid Cell"}));
    // Read All: 10H, 11H twice; Write All FF: 07H, 08H twice; and their boxes.
    EXPECT_EQ(seen, QStringList(3 + 2 + 3 + 2 + 1, "0000000011") << "1111111111");
}

} // namespace
} // namespace zelcor::test
