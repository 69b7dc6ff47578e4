// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "script/ScriptParser.h"

#include <QList>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

class QWidget;

namespace zelcor {

class Clock;
class Timer;
class ScriptMessageBoxes;

// Plays a script against the three windows. Every line runs from the event loop, the way
// a click would arrive: the next line is scheduled on a zero-interval timer, so that after
// `start` the following lines run inside the started handler's waits, exactly like a second
// click during an exchange.
//
// What happens is written to `out`, one line per event:
//   line N: COMMAND          a line as it runs
//   line N: BUTTON returned  a handler pressed by `start` has returned
//   box TITLE | TEXT | answered ANSWER
//   CONTROL = TEXT           print
//   line N: failed: ...      a line that did not hold
//   script passed (K lines) / script failed at line N / script ended at line N ...
//   script error at line N    a line read while playing could not be played
class ScriptRunner {
public:
    // How many handlers pressed by `start` may be running at once.
    static constexpr int kMaxRunningHandlers = 64;
    // How long the script waits for its next line before it says so.
    static constexpr int kWaitingNoticeMs = 1000;

    // `windows`: the program's windows, whose controls the lines name.
    ScriptRunner(QList<QWidget*> windows, Clock& clock, ScriptMessageBoxes& boxes,
                 std::ostream& out);
    ~ScriptRunner();

    ScriptRunner(const ScriptRunner&) = delete;
    ScriptRunner& operator=(const ScriptRunner&) = delete;

    // Checks every name in the script against the windows, and that each control can take
    // what its line does with it (a button to click, a combo box to choose from ...), before
    // anything runs. Returns the first line that cannot be played.
    std::optional<ScriptError> check(const std::vector<ScriptLine>& lines) const;
    // The same for one line: why it cannot be played, if it cannot.
    std::optional<QString> checkLine(const ScriptLine& line) const;

    // Starts playing a checked script; the first line runs when the event loop next turns.
    // `finished` is called once, with 0 when every line held or 1 when one failed, and the
    // program is expected to end then (see programEnded).
    void start(std::vector<ScriptLine> lines, std::function<void(int exitCode)> finished);

    // Starts playing a script whose lines are still being read: each checked line is added
    // by append and runs in its turn, and endOfInput says that no more will come. While every
    // line added has run and the input is open, `waiting` is called once, kWaitingNoticeMs
    // after the last of them.
    void startReading(std::function<void(int exitCode)> finished, std::function<void()> waiting);
    void append(ScriptLine line);
    // With an error (the line that could not be understood or played, or input that could
    // not be read) the script ends with exit code 2 when the lines before it have run.
    void endOfInput(std::optional<ScriptError> error = std::nullopt);

    // The program is ending: End was pressed (by the script or by hand), the main window
    // was closed, or `finished` asked for it. Stops playing and returns the exit code:
    // the script's own result when it had finished; 0 when End came from its last line;
    // 1 when lines were left that never ran, or while the script waited for its next line.
    int programEnded();

    bool isFinished() const { return m_finished; }
    int exitCode() const { return m_exitCode; }
    // Handlers pressed by `start` that have not returned yet.
    int runningHandlers() const { return m_running; }

private:
    void schedule(int afterMs = 0);
    void step();
    void run(const ScriptLine& line);
    void press(const ScriptLine& line, bool waitForIt);
    void expectText(const ScriptLine& line);
    void expectBox(const ScriptLine& line);
    // False (with the failure reported) when a technician could not use the control now.
    bool usable(const ScriptLine& line, QWidget* widget);
    void fail(int line, const QString& reason);
    void complete();
    void finish(int exitCode, const QString& summary);
    void say(const QString& line);

    QList<QWidget*> m_windows;
    Clock& m_clock;
    ScriptMessageBoxes& m_boxes;
    std::ostream& m_out;
    std::unique_ptr<Timer> m_stepTimer;
    std::unique_ptr<Timer> m_waitingTimer;
    // A deque: lines added while playing leave the running line's reference valid.
    std::deque<ScriptLine> m_lines;
    std::size_t m_next = 0;
    bool m_inputOpen = false; // more lines may be added
    bool m_starved = false;   // every line added has run; waiting for the next
    std::optional<ScriptError> m_inputError;
    int m_running = 0;
    bool m_waitingIdle = false;
    bool m_started = false;
    bool m_finished = false;
    int m_exitCode = 0;
    std::function<void(int)> m_onFinished;
    std::function<void()> m_onWaiting;
};

} // namespace zelcor
