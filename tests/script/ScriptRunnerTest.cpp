// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/WindowFixture.h"

#include "editor/frmRs232WRPara.h"
#include "script/ScriptMessageBoxes.h"
#include "script/ScriptRunner.h"
#include "session/WrenchSession.h"
#include "wrench/RequestCode.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

#include <sstream>

namespace zelcor::test {
namespace {

// Scripts played in-process against the three windows on the virtual clock. Besides the
// windows' own controls there are a few test buttons on the main window whose handlers wait
// or ask, and a control of another window under a name the main window has too.
class Script : public WindowFixture {
protected:
    void SetUp() override {
        session = std::make_unique<WrenchSession>(clock, port, scriptBoxes, NextRequestCode);
        mainWindow =
            std::make_unique<frmRs232SetCmd>(*session, Platform{clock, port, scriptBoxes, [this] {
                                                                    ++endRequests;
                                                                    runner->programEnded();
                                                                }});
        runner = std::make_unique<ScriptRunner>(mainWindow->windows(), clock, scriptBoxes, out);
        addButton("cmdSlow", [this] { slow("slow"); });
        addButton("cmdQuick", [this] { note("quick"); });
        addButton("cmdAsk", [this] {
            const BoxAnswer a = scriptBoxes.show("Erase all?\nSure", "Zelcor", BoxIcon::Exclamation,
                                                 BoxButtons::YesNo);
            note("asked: " + toString(a).toStdString());
            scriptBoxes.show("Done", "Zelcor", BoxIcon::Information, BoxButtons::Ok);
        });
        QObject::connect(mainWindow->editor().Check1(16), &QCheckBox::clicked,
                         [this](bool on) { note(on ? "Check1(16) on" : "Check1(16) off"); });
        QObject::connect(control<QComboBox>("cmbDir"), &QComboBox::activated,
                         [this](int index) { note("cmbDir_Click " + std::to_string(index)); });
        mainWindow->show();
    }

    void TearDown() override {
        runner.reset();
        WindowFixture::TearDown();
    }

    void addButton(const char* name, std::function<void()> handler) {
        auto* button = new QPushButton(QString::fromLatin1(name), mainWindow.get());
        button->setObjectName(QString::fromLatin1(name));
        QObject::connect(button, &QPushButton::clicked, std::move(handler));
    }

    void note(const std::string& what) {
        events.push_back(what + " at " + std::to_string(clock.nowMs()) + " depth " +
                         std::to_string(clock.waitDepth()));
    }
    void slow(const std::string& name) {
        note(name + " begins");
        clock.delay(1000);
        note(name + " ends");
    }

    // Parses, checks and plays a script from the top level of the event loop; returns its exit
    // code (2 when it does not parse or its names do not fit).
    int play(const std::string& text) {
        ParsedScript script = ParseScript(QByteArray::fromStdString(text));
        if (script.error || runner->check(script.lines)) {
            return 2;
        }
        runner->start(std::move(script.lines), [this](int code) { finishedWith = code; });
        for (int guard = 0; guard < 100'000 && !runner->isFinished(); ++guard) {
            if (!clock.fireNextTimer()) {
                break;
            }
        }
        EXPECT_TRUE(runner->isFinished()) << "script still playing:\n" << out.str();
        return runner->exitCode();
    }

    // A new runner on the same windows, for the next case of a table: nothing left over from
    // the last script, neither output nor boxes nor answers.
    void fresh() {
        while (scriptBoxes.firstUnusedAnswerLine() != 0) {
            scriptBoxes.show({}, {}, BoxIcon::Information, BoxButtons::Ok);
        }
        while (scriptBoxes.takeUnmatched()) {
        }
        (void)scriptBoxes.takeProblem();
        runner = std::make_unique<ScriptRunner>(mainWindow->windows(), clock, scriptBoxes, out);
        out.str({});
        events.clear();
        finishedWith.reset();
    }

    bool printed(const std::string& line) const {
        return ("\n" + out.str()).find("\n" + line + "\n") != std::string::npos;
    }

    std::ostringstream out;
    ScriptMessageBoxes scriptBoxes{out};
    std::unique_ptr<ScriptRunner> runner;
    std::vector<std::string> events;
    std::optional<int> finishedWith;
};

using Strings = std::vector<std::string>;

TEST_F(Script, UnknownAmbiguousOrUnfitNamesStopTheScriptBeforeItsFirstLine) {
    for (const char* line : {"click txtNothing", "expect frmNothing.txtTk 0", "expect txtTk 0",
                             "click frmRs232SetCmd.txtTk", "choose txtState x", "set lblMsg x",
                             "set Check1(16) yes", "expect Shape1 red"}) {
        const auto error = runner->check(ParseScript(QByteArray("idle\n") + line).lines);
        ASSERT_TRUE(error) << line;
        EXPECT_EQ(error->line, 2) << line;
    }
    // The reason tells how to write the name.
    EXPECT_EQ(runner->check(ParseScript("expect txtTk 0").lines).value().reason,
              "txtTk is in more than one window (frmRs232SetCmd, frmRs232WRCal): write "
              "frmRs232SetCmd.txtTk");
    // However long a name, its message is one short line.
    ScriptLine huge;
    huge.op = ScriptOp::Click;
    huge.control = QString(10'000'000, 'q');
    huge.control = "frmRs232SetCmd." + huge.control;
    EXPECT_EQ(runner->check({huge}).value().reason,
              "no control named " + QString(255, 'q') + "... in frmRs232SetCmd");
}

TEST_F(Script, TextsReachTheControlsExactlyAndAreComparedExactly) {
    EXPECT_EQ(play("set txtAddr0Read  7 \nexpect txtAddr0Read  7 \n"
                   "set txtNewPara line one\\nline two\nprint txtNewPara\n"
                   "set txtWriteData \"\"\nexpect txtWriteData \"\"\n"
                   "choose cmbDir CCW\nchoose cmbComSelect  3\n"
                   "expect-visible frmRs232WRPara false\nclick cmdRs232WRPara\n"
                   "set Check1(16) 1\nset Check1(16) 1\n"
                   "expect frmRs232WRCal.txtTk 0\nexpect frmRs232SetCmd.txtTk 00\n"
                   "expect cmdPortOpen &Port Open\nexpect-enabled cmdPortClose false\n"
                   "expect Shape1 #ffc0c0\nprint Shape1\n"),
              0)
        << out.str();
    EXPECT_EQ(text("txtNewPara"), "line one\nline two");
    EXPECT_TRUE(printed("txtNewPara = line one\\nline two"));
    EXPECT_EQ(control<QComboBox>("cmbComSelect")->currentIndex(), 2);
    EXPECT_TRUE(printed("Shape1 = #FFC0C0"));
    // A choice runs the combo's click handler; a check box is clicked only to change it.
    EXPECT_EQ(events, (Strings{"cmbDir_Click 1 at 0 depth 0", "Check1(16) on at 0 depth 0"}));
}

TEST_F(Script, ALineThatDoesNotHoldEndsTheScriptSayingWhy) {
    const std::pair<const char*, const char*> cases[] = {
        {"expect txtState IDLE1", "txtState: expected \"IDLE1\", seen \"IDLE0\""},
        {"click cmdRead", "cmdRead is disabled"},
        {"set txtState BUSY", "txtState is read-only"},
        {"choose cmbDir cw", "cmbDir has no item \"cw\" (its items: \"CW\", \"CCW\")"},
    };
    for (const auto& [line, message] : cases) {
        fresh();
        EXPECT_EQ(play(std::string("\n") + line + "\nclick cmdQuick\n"), 1) << line;
        EXPECT_EQ(out.str(), std::string("line 2: ") + line + "\nline 2: failed: " + message +
                                 "\nscript failed at line 2\n");
        EXPECT_EQ(finishedWith, 1);
        EXPECT_TRUE(events.empty()) << "a line ran after a failure: " << line;
    }
    EXPECT_EQ(text("txtState"), "IDLE0");
}

TEST_F(Script, AClickAfterStartRunsInsideTheFirstHandlersWaitAndEndThereEndsTheScript) {
    EXPECT_EQ(play("start cmdSlow\nclick cmdQuick\nidle\nclick cmdQuick\n"), 0) << out.str();
    EXPECT_EQ(events, (Strings{"slow begins at 0 depth 0", "quick at 0 depth 1",
                               "slow ends at 1000 depth 0", "quick at 1000 depth 0"}));
    EXPECT_EQ(out.str(), "line 1: start cmdSlow\nline 2: click cmdQuick\nline 3: idle\n"
                         "line 1: cmdSlow returned\nline 4: click cmdQuick\n"
                         "script passed (4 lines)\n");
    // A script that ends does not wait for a handler it started.
    fresh();
    EXPECT_EQ(play("start cmdSlow\nclick cmdQuick\n"), 0);
    EXPECT_FALSE(printed("line 1: cmdSlow returned")) << "reported after the script was over";
    // End inside the wait ends the script and counts the lines not run.
    fresh();
    EXPECT_EQ(play("start cmdSlow\nclick cmdEnd\nclick cmdQuick\n"), 1);
    EXPECT_EQ(endRequests, 1);
    EXPECT_TRUE(printed("script ended at line 2: the program was ended, line 3 and after never "
                        "ran"))
        << out.str();
    EXPECT_FALSE(finishedWith) << "the program is already ending";
}

// Each running handler holds its wait on the stack: a script must not pile them up without end.
TEST_F(Script, StartsCannotPileUpWithoutEnd) {
    std::string script;
    for (int i = 0; i <= ScriptRunner::kMaxRunningHandlers; ++i) {
        script += "start cmdSlow\n";
    }
    EXPECT_EQ(play(script), 1);
    EXPECT_TRUE(printed("line 65: failed: 64 handlers started by the script are still running"));
}

// Lines read while the script plays: each runs in its turn, one arriving inside a handler's
// wait runs there, and a script that has run out of lines says so once, a second after the
// last line has run.
TEST_F(Script, LinesThatArriveWhilePlayingRunInTurn) {
    int number = 0;
    const auto arrive = [&](std::int64_t atMs, const char* text) {
        clock.at(atMs, [&, text] { runner->append(*ParseScriptLine(text, ++number).line); });
    };
    arrive(0, "start cmdSlow");
    arrive(500, "click cmdQuick");
    arrive(1200, "wait 2000"); // before a second without lines has passed
    clock.at(6000, [this] { runner->endOfInput(); });
    runner->startReading([this](int code) { finishedWith = code; }, [this] { note("waiting"); });
    for (int guard = 0; guard < 1000 && !runner->isFinished() && clock.fireNextTimer(); ++guard) {
    }
    EXPECT_EQ(events, (Strings{"slow begins at 0 depth 0", "quick at 500 depth 1",
                               "slow ends at 1000 depth 0", "waiting at 4200 depth 0"}));
    EXPECT_TRUE(printed("line 1: cmdSlow returned")) << out.str();
    EXPECT_TRUE(printed("script passed (3 lines)")) << out.str();
    EXPECT_EQ(finishedWith, 0);

    // Ended by hand while it waits for more, the script has not passed.
    fresh();
    runner->startReading([](int) {}, [] {});
    runner->append(*ParseScriptLine("click cmdQuick", 1).line);
    clock.advance(10);
    EXPECT_EQ(runner->programEnded(), 1);
    EXPECT_TRUE(printed("script ended at line 1: the program was ended while the script waited "
                        "for its next line"))
        << out.str();
}

TEST_F(Script, BoxesAreAnsweredFromTheQueueAndPrintedAsTheyAppear) {
    EXPECT_EQ(play("answer yes\nclick cmdAsk\n"
                   "expect-box Zelcor | Erase all?\\nSure\nexpect-box Zelcor | Done\n"
                   "click cmdAsk\nexpect-box Zelcor | Erase all?\\nSure\n"),
              0)
        << out.str();
    EXPECT_EQ(events, (Strings{"asked: yes at 0 depth 0", "asked: no at 0 depth 0"}));
    // Each box is printed when it comes, with its answer, before the lines that expect it.
    EXPECT_EQ(out.str(), "line 1: answer yes\nline 2: click cmdAsk\n"
                         "box Zelcor | Erase all?\\nSure | answered yes\n"
                         "box Zelcor | Done | answered ok (no answer queued)\n"
                         "line 3: expect-box Zelcor | Erase all?\\nSure\n"
                         "line 4: expect-box Zelcor | Done\nline 5: click cmdAsk\n"
                         "box Zelcor | Erase all?\\nSure | answered no (no answer queued)\n"
                         "box Zelcor | Done | answered ok (no answer queued)\n"
                         "line 6: expect-box Zelcor | Erase all?\\nSure\n"
                         "script passed (6 lines)\n");
}

TEST_F(Script, BoxesThatDoNotMatchTheScriptFailItsLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"click cmdAsk\nexpect-box Zelcor | Done\n",
         "line 2: failed: expected box Zelcor | Done, seen box Zelcor | Erase all?\\nSure"},
        {"expect-box Zelcor | Done\n",
         "line 1: failed: expected box Zelcor | Done, but no box came"},
        {"answer yes\nanswer no\nclick cmdQuick\n",
         "line 1: failed: no message box came for this answer"},
        {"answer ok\nclick cmdAsk\nclick cmdQuick\n",
         "line 1: failed: answer ok came to box \"Zelcor\", which takes yes/no"},
    };
    for (const auto& [script, message] : cases) {
        fresh();
        EXPECT_EQ(play(script), 1) << script;
        EXPECT_TRUE(printed(message)) << out.str();
    }
}

} // namespace
} // namespace zelcor::test
