#include "support/WindowFixture.h"

#include "app/ScriptMessageBoxes.h"
#include "app/ScriptRunner.h"
#include "app/Shape.h"
#include "calibration/frmRs232WRCal.h"
#include "editor/frmRs232WRPara.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <random>
#include <sstream>

namespace zelcor::test {
namespace {

// Scripts played in-process against the three windows on the virtual clock. Besides the
// windows' own controls there are a few test buttons on the main window whose handlers wait
// or ask, and controls in the other windows that the windows will have later.
class Script : public WindowFixture {
protected:
    void SetUp() override {
        mainWindow = std::make_unique<frmRs232SetCmd>(Platform{clock, port, scriptBoxes, [this] {
                                                                   ++endRequests;
                                                                   runner->programEnded();
                                                               }});
        runner = std::make_unique<ScriptRunner>(*mainWindow, clock, scriptBoxes, out);
        addButton("cmdSlow", [this] { slow("slow"); });
        addButton("cmdSlow2", [this] { slow("slow2"); });
        addButton("cmdQuick", [this] { note("quick"); });
        addButton("cmdAsk", [this] {
            const BoxAnswer a = mainWindow->platform().boxes.show(
                "Erase all?\nSure", "Zelcor", BoxIcon::Exclamation, BoxButtons::YesNo);
            note("asked: " + toString(a).toStdString());
            mainWindow->platform().boxes.show("Done", "Zelcor", BoxIcon::Information,
                                              BoxButtons::Ok);
        });
        // A control of another window under a name the main window has too.
        auto* calTk = new QLineEdit(QStringLiteral("0.0"), &mainWindow->calibration());
        calTk->setObjectName(QStringLiteral("txtTk"));
        QObject::connect(mainWindow->editor().Check1(16), &QCheckBox::clicked,
                         [this](bool on) { note(on ? "Check1(16) on" : "Check1(16) off"); });
        QObject::connect(mainWindow->cmbDir, &QComboBox::activated,
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

    // Parses, checks and plays a script, turning the event loop until it is done; returns its
    // exit code (2 when it does not parse or its names do not fit).
    int play(const char* text) {
        ParsedScript script = ParseScript(QByteArray(text));
        if (script.error || runner->check(script.lines)) {
            return 2;
        }
        runner->start(std::move(script.lines), [this](int code) { finishedWith = code; });
        // Top level of the event loop: each timer fires in turn until the script is done.
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
        runner = std::make_unique<ScriptRunner>(*mainWindow, clock, scriptBoxes, out);
        out.str({});
        events.clear();
    }

    std::vector<std::string> outputLines() const {
        std::vector<std::string> lines;
        std::istringstream in(out.str());
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    bool printed(const std::string& line) const {
        const auto lines = outputLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    std::ostringstream out;
    ScriptMessageBoxes scriptBoxes{out};
    std::unique_ptr<ScriptRunner> runner;
    std::vector<std::string> events;
    std::optional<int> finishedWith;
};

using Strings = std::vector<std::string>;

// --- Names are checked against the windows before anything runs ---

TEST_F(Script, UnknownAmbiguousOrUnfitNamesStopTheScriptBeforeItsFirstLine) {
    const std::vector<std::pair<const char*, const char*>> cases{
        {"click txtNothing", "line 2: no control named txtNothing"},
        {"expect frmNothing.txtTk 0", "line 2: no window named frmNothing"},
        {"expect frmRs232WRCal.cmdEnd x", "line 2: no control named cmdEnd in frmRs232WRCal"},
        {"expect txtTk 0", "line 2: txtTk is in more than one window (frmRs232SetCmd, "
                           "frmRs232WRCal): write frmRs232SetCmd.txtTk"},
        {"click frmRs232SetCmd.txtTk", "line 2: frmRs232SetCmd.txtTk is not a button"},
        {"choose txtState x", "line 2: txtState is not a combo box"},
        {"set lblMsg x", "line 2: lblMsg takes no text"},
        {"set Check1(16) yes", "line 2: Check1(16) is a check box: set it to 0 or 1"},
        {"expect Check1(16) true", "line 2: Check1(16) is a check box: its value is 0 or 1"},
        {"expect Shape1 red", "line 2: Shape1 is a shape: its fill colour is written #RRGGBB"},
    };
    for (const auto& [line, message] : cases) {
        const std::string text = std::string("click cmdRs232WRPara\n") + line + "\nidle\n";
        const std::vector<ScriptLine> lines = ParseScript(QByteArray(text.c_str())).lines;
        ASSERT_EQ(lines.size(), 3u) << line;
        const auto error = runner->check(lines);
        ASSERT_TRUE(error) << line;
        EXPECT_EQ(QStringLiteral("line %1: %2").arg(error->line).arg(error->reason).toStdString(),
                  message);
    }
    EXPECT_EQ(play("click cmdRs232WRPara\nclick cmdNothing\n"), 2);
    EXPECT_FALSE(shown("frmRs232WRPara")) << "the first line ran although the second was bad";
    EXPECT_EQ(out.str(), "");
}

// --- Acting on the windows and looking at them ---

TEST_F(Script, SetChooseAndPrintReachTheControlsExactly) {
    EXPECT_EQ(play("set txtAddr0Read  7 \n"
                   "expect txtAddr0Read  7 \n"
                   "set txtNewPara line one\\nline two\n"
                   "print txtNewPara\n"
                   "set cmbComSelect /dev/pts/7\n"
                   "set txtWriteData \"\"\n"
                   "expect txtWriteData \"\"\n"
                   "choose cmbDir CCW\n"
                   "choose cmbComSelect  3\n"
                   "print cmbComSelect\n"
                   "click cmdRs232WRPara\n"
                   "set Check1(16) 1\n"
                   "set Check1(16) 1\n"
                   "expect Check1(16) 1\n"),
              0)
        << out.str();
    EXPECT_EQ(mainWindow->txtNewPara->toPlainText(), "line one\nline two");
    EXPECT_TRUE(printed("txtNewPara = line one\\nline two"));
    EXPECT_TRUE(printed("cmbComSelect =  3"));
    EXPECT_EQ(mainWindow->cmbComSelect->currentIndex(), 2);
    // A choice runs the combo's click handler; a check box is clicked only to change it.
    EXPECT_EQ(events, (Strings{"cmbDir_Click 1 at 0 depth 0", "Check1(16) on at 0 depth 0"}));
}

TEST_F(Script, NamesCaptionsStatesAndColoursAreCompared) {
    EXPECT_EQ(play("expect frmRs232WRCal.txtTk 0.0\n"
                   "expect frmRs232SetCmd.txtTk 00\n"
                   "expect frmRs232WRCal 扳手校正命令\n"
                   "expect txtReadData(2) XX\n"
                   "expect cmdPortOpen &Port Open\n"
                   "expect lblErrorMessage Error message\n"
                   "expect-enabled cmdPortClose false\n"
                   "expect-enabled txtReadData(1) false\n"
                   "expect-visible lblErrorMessage false\n"
                   "expect-visible frmRs232WRPara false\n"
                   "click cmdRs232WRPara\n"
                   "expect-visible frmRs232WRPara true\n"
                   "expect Shape1 #ffc0c0\n"
                   "print Shape1\n"),
              0)
        << out.str();
    EXPECT_TRUE(printed("Shape1 = #FFC0C0"));
}

TEST_F(Script, ALineThatDoesNotHoldEndsTheScriptSayingWhy) {
    const std::vector<std::pair<const char*, const char*>> cases{
        {"expect txtState IDLE1", "txtState: expected \"IDLE1\", seen \"IDLE0\""},
        {"expect txtNewPara a\\nb", "txtNewPara: expected \"a\\nb\", seen \"\""},
        {"expect Shape1 #FF0000", "Shape1: expected \"#FF0000\", seen \"#FFC0C0\""},
        {"expect-enabled cmdPortClose true", "cmdPortClose enabled: expected true, seen false"},
        {"expect-visible frmRs232WRCal true", "frmRs232WRCal visible: expected true, seen false"},
        {"click cmdRead", "cmdRead is disabled"},
        {"set txtState BUSY", "txtState is read-only"},
        {"set Text1 x", "Text1 is not on the screen"},
        {"choose cmbDir cw", "cmbDir has no item \"cw\" (its items: \"CW\", \"CCW\")"},
    };
    for (const auto& [line, message] : cases) {
        fresh();
        EXPECT_EQ(play((std::string("\n") + line + "\nclick cmdQuick\n").c_str()), 1) << line;
        EXPECT_EQ(outputLines(),
                  (Strings{std::string("line 2: ") + line,
                           std::string("line 2: failed: ") + message, "script failed at line 2"}));
        EXPECT_EQ(finishedWith, 1);
        EXPECT_TRUE(events.empty()) << "a line ran after a failure: " << line;
    }
    EXPECT_EQ(mainWindow->txtState->text(), "IDLE0");
}

// --- start, click, wait and idle in time ---

TEST_F(Script, AClickAfterStartRunsInsideTheFirstHandlersWait) {
    EXPECT_EQ(play("start cmdSlow\n"
                   "click cmdQuick\n"
                   "idle\n"
                   "click cmdQuick\n"),
              0)
        << out.str();
    EXPECT_EQ(events, (Strings{"slow begins at 0 depth 0", "quick at 0 depth 1",
                               "slow ends at 1000 depth 0", "quick at 1000 depth 0"}));
    EXPECT_EQ(outputLines(), (Strings{"line 1: start cmdSlow", "line 2: click cmdQuick",
                                      "line 3: idle", "line 1: cmdSlow returned",
                                      "line 4: click cmdQuick", "script passed (4 lines)"}));
}

TEST_F(Script, NestedStartsUnwindInnermostFirstAndIdleWaitsForAll) {
    EXPECT_EQ(play("start cmdSlow\n"
                   "wait 200\n"
                   "start cmdSlow2\n"
                   "idle\n"
                   "click cmdQuick\n"),
              0)
        << out.str();
    // The outer delay is over at 1000 but cannot return before the inner one at 1200.
    EXPECT_EQ(events, (Strings{"slow begins at 0 depth 0", "slow2 begins at 200 depth 1",
                               "slow2 ends at 1200 depth 1", "slow ends at 1200 depth 0",
                               "quick at 1200 depth 0"}));
    EXPECT_TRUE(printed("line 3: cmdSlow2 returned"));
    EXPECT_TRUE(printed("line 1: cmdSlow returned"));
}

TEST_F(Script, StartsCannotPileUpWithoutEnd) {
    std::string script;
    for (int i = 0; i <= ScriptRunner::kMaxRunningHandlers; ++i) {
        script += "start cmdSlow\n";
    }
    EXPECT_EQ(play(script.c_str()), 1);
    EXPECT_TRUE(printed("line 65: failed: 64 handlers started by the script are still running"))
        << out.str();
}

TEST_F(Script, ClickAndWaitGoOnWhenTheHandlerOrTheTimeIsOver) {
    EXPECT_EQ(play("click cmdSlow\nclick cmdQuick\nwait 250\nclick cmdQuick\n"), 0) << out.str();
    EXPECT_EQ(events, (Strings{"slow begins at 0 depth 0", "slow ends at 1000 depth 0",
                               "quick at 1000 depth 0", "quick at 1250 depth 0"}));
}

TEST_F(Script, TheScriptEndsWithoutWaitingForAStartedHandler) {
    EXPECT_EQ(play("start cmdSlow\nclick cmdQuick\n"), 0);
    EXPECT_EQ(finishedWith, 0);
    EXPECT_EQ(events.back(), "slow ends at 1000 depth 0"); // the fixture's loop let it finish
    EXPECT_FALSE(printed("line 1: cmdSlow returned")) << "reported after the script was over";
}

// --- The program ending ---

TEST_F(Script, EndInsideAWaitEndsTheScriptAndCountsTheLinesNotRun) {
    EXPECT_EQ(play("start cmdSlow\nclick cmdEnd\nclick cmdQuick\n"), 1);
    EXPECT_EQ(endRequests, 1);
    EXPECT_TRUE(printed("script ended at line 2: the program was ended, line 3 and after never "
                        "ran"))
        << out.str();
    EXPECT_FALSE(finishedWith) << "the program is already ending";
}

// --- Message boxes ---

TEST_F(Script, BoxesAreAnsweredFromTheQueueAndPrintedAsTheyAppear) {
    EXPECT_EQ(play("answer yes\n"
                   "click cmdAsk\n"
                   "expect-box Zelcor | Erase all?\\nSure\n"
                   "expect-box Zelcor | Done\n"
                   "click cmdAsk\n"
                   "expect-box Zelcor | Erase all?\\nSure\n"),
              0)
        << out.str();
    EXPECT_EQ(events, (Strings{"asked: yes at 0 depth 0", "asked: no at 0 depth 0"}));
    EXPECT_EQ(outputLines(), (Strings{"line 1: answer yes", "line 2: click cmdAsk",
                                      "box Zelcor | Erase all?\\nSure | answered yes",
                                      "box Zelcor | Done | answered ok (no answer queued)",
                                      "line 3: expect-box Zelcor | Erase all?\\nSure",
                                      "line 4: expect-box Zelcor | Done", "line 5: click cmdAsk",
                                      "box Zelcor | Erase all?\\nSure | answered no (no answer "
                                      "queued)",
                                      "box Zelcor | Done | answered ok (no answer queued)",
                                      "line 6: expect-box Zelcor | Erase all?\\nSure",
                                      "script passed (6 lines)"}));
}

TEST_F(Script, BoxesThatDoNotMatchTheScriptFailItsLine) {
    const std::vector<std::pair<const char*, const char*>> cases{
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

// --- Robustness ---

TEST_F(Script, RandomScriptsOfKnownCommandsNeverCrash) {
    std::mt19937 random(7); // fixed: the same scripts every run
    const std::vector<std::string> names{
        "cmdPortOpen", "cmdPortClose", "cmdRead",         "cmdRs232WRPara", "cmdRs232WRCal",
        "Command1",    "cmdQuick",     "cmdAsk",          "txtTk",          "frmRs232WRCal.txtTk",
        "cmbDir",      "cmbComSelect", "Shape1",          "Check1(16)",     "frmRs232WRPara",
        "txtNewPara",  "lblMsg",       "lblErrorMessage", "Text1",          "txtReadData(1)"};
    const std::vector<std::string> commands{"set",    "choose", "click",          "start",
                                            "expect", "print",  "expect-enabled", "expect-visible",
                                            "answer", "idle",   "wait",           "expect-box"};
    const std::vector<std::string> texts{"0", "1", "CCW", "\"\"", " 3", "a\\nb", "#FFC0C0"};
    auto pick = [&random](const std::vector<std::string>& from) {
        return from[random() % from.size()];
    };
    auto randomLine = [&] {
        const std::string command = pick(commands);
        if (command == "answer") {
            return "answer " + std::string(random() % 2 ? "yes" : "ok");
        }
        if (command == "idle") {
            return command;
        }
        if (command == "wait") {
            return "wait " + std::to_string(random() % 50);
        }
        if (command == "expect-box") {
            return "expect-box Zelcor | " + pick(texts);
        }
        if (command.starts_with("expect-")) {
            return command + " " + pick(names) + (random() % 2 ? " true" : " false");
        }
        if (command == "click" || command == "start" || command == "print") {
            return command + " " + pick(names);
        }
        return command + " " + pick(names) + " " + pick(texts);
    };
    int failed = 0;
    for (int round = 0; round < 300; ++round) {
        // Only lines that pass the check, so that every script plays.
        std::string script;
        for (int lines = 0; lines < 6;) {
            const std::string line = randomLine();
            const ParsedScript one = ParseScript(QByteArray::fromStdString(line));
            if (!one.error && !runner->check(one.lines)) {
                script += line + "\n";
                ++lines;
            }
        }
        fresh();
        const int code = play(script.c_str());
        EXPECT_TRUE(code == 0 || code == 1) << script << out.str();
        failed += code;
    }
    EXPECT_GT(failed, 0);
    EXPECT_LT(failed, 300);
}

} // namespace
} // namespace zelcor::test
