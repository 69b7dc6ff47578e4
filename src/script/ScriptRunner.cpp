// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/ScriptRunner.h"

#include "script/ControlLookup.h"

#include "platform/Clock.h"
#include "script/ScriptMessageBoxes.h"
#include "widgets/Shape.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

namespace zelcor {

namespace {

bool isColourText(const QString& text) {
    if (text.size() != 7 || text[0] != QLatin1Char('#')) {
        return false;
    }
    for (qsizetype i = 1; i < text.size(); ++i) {
        const char c = text[i].toLatin1();
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return true;
}

bool shown(const QWidget* w) {
    return w->isWindow() ? w->isVisible() : w->isVisibleTo(w->window());
}

QString yesNo(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QString quoted(const QString& text) {
    return QLatin1Char('"') + ShowLineBreaks(text) + QLatin1Char('"');
}

// A text the script wrote, quoted in a failure; what the program shows is quoted whole.
QString quotedFromScript(const QString& text) {
    return QLatin1Char('"') + ShortenScriptText(text) + QLatin1Char('"');
}

} // namespace

ScriptRunner::ScriptRunner(QList<QWidget*> windows, Clock& clock, ScriptMessageBoxes& boxes,
                           std::ostream& out)
    : m_windows(std::move(windows)), m_clock(clock), m_boxes(boxes), m_out(out) {
    m_stepTimer = m_clock.createTimer([this] { step(); });
    m_waitingTimer = m_clock.createTimer([this] {
        if (m_onWaiting) {
            m_onWaiting();
        }
    });
}

ScriptRunner::~ScriptRunner() = default;

std::optional<QString> ScriptRunner::checkLine(const ScriptLine& line) const {
    switch (line.op) {
    case ScriptOp::Wait:
    case ScriptOp::Idle:
    case ScriptOp::Answer:
    case ScriptOp::ExpectBox:
        return std::nullopt;
    default:
        break;
    }
    const FoundControl found = findControl(m_windows, line.control);
    if (found.widget == nullptr) {
        return found.error;
    }
    const ControlKind kind = controlKind(found.widget);
    const QString name = ShortenScriptText(line.control);
    switch (line.op) {
    case ScriptOp::Set:
        if (kind == ControlKind::Check) {
            if (line.text != QLatin1String("0") && line.text != QLatin1String("1")) {
                return QStringLiteral("%1 is a check box: set it to 0 or 1").arg(name);
            }
            if (qobject_cast<QRadioButton*>(found.widget) != nullptr) {
                return QStringLiteral("%1 is an option button: click it").arg(name);
            }
            return std::nullopt;
        }
        if (kind == ControlKind::Combo && !static_cast<QComboBox*>(found.widget)->isEditable()) {
            return QStringLiteral("%1 has no text to type into: choose an item").arg(name);
        }
        if (kind != ControlKind::TextBox && kind != ControlKind::MultiLine &&
            kind != ControlKind::Combo) {
            return QStringLiteral("%1 takes no text").arg(name);
        }
        return std::nullopt;
    case ScriptOp::Choose:
        if (kind != ControlKind::Combo) {
            return QStringLiteral("%1 is not a combo box").arg(name);
        }
        return std::nullopt;
    case ScriptOp::Click:
    case ScriptOp::Start:
        if (kind != ControlKind::Button && kind != ControlKind::Check) {
            return QStringLiteral("%1 is not a button").arg(name);
        }
        return std::nullopt;
    case ScriptOp::Expect:
        if (kind == ControlKind::Check && line.text != QLatin1String("0") &&
            line.text != QLatin1String("1")) {
            return QStringLiteral("%1 is a check box: its value is 0 or 1").arg(name);
        }
        if (kind == ControlKind::Shape && !isColourText(line.text)) {
            return QStringLiteral("%1 is a shape: its fill colour is written #RRGGBB").arg(name);
        }
        [[fallthrough]];
    case ScriptOp::Print:
        if (kind == ControlKind::Other) {
            return QStringLiteral("%1 has no text").arg(name);
        }
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

std::optional<ScriptError> ScriptRunner::check(const std::vector<ScriptLine>& lines) const {
    for (const ScriptLine& line : lines) {
        if (auto reason = checkLine(line)) {
            return ScriptError{line.number, *reason};
        }
    }
    return std::nullopt;
}

void ScriptRunner::start(std::vector<ScriptLine> lines, std::function<void(int)> finished) {
    if (m_started) {
        return;
    }
    m_started = true;
    m_onFinished = std::move(finished);
    if (auto error = check(lines)) {
        // A script must be checked before it starts; this keeps an unchecked one from
        // reaching a control that is not there.
        say(QStringLiteral("line %1: %2").arg(QString::number(error->line), error->reason));
        finish(2, QStringLiteral("script error at line %1").arg(error->line));
        return;
    }
    m_lines.assign(std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
    schedule();
}

void ScriptRunner::startReading(std::function<void(int)> finished, std::function<void()> waiting) {
    if (m_started) {
        return;
    }
    m_started = true;
    m_inputOpen = true;
    m_onFinished = std::move(finished);
    m_onWaiting = std::move(waiting);
    schedule();
}

void ScriptRunner::append(ScriptLine line) {
    if (!m_inputOpen || m_finished) {
        return;
    }
    m_lines.push_back(std::move(line));
    if (m_starved) {
        m_starved = false;
        m_waitingTimer->stop();
        schedule();
    }
}

void ScriptRunner::endOfInput(std::optional<ScriptError> error) {
    if (!m_inputOpen || m_finished) {
        return;
    }
    m_inputOpen = false;
    m_inputError = std::move(error);
    if (m_starved) {
        m_starved = false;
        m_waitingTimer->stop();
        schedule();
    }
}

int ScriptRunner::programEnded() {
    if (!m_finished) {
        m_finished = true;
        m_stepTimer->stop();
        m_waitingTimer->stop();
        if (m_starved) {
            m_exitCode = 1;
            say(QStringLiteral("script ended at line %1: the program was ended while the "
                               "script waited for its next line")
                    .arg(m_lines.empty() ? 0 : m_lines.back().number));
        } else if (m_next >= m_lines.size()) {
            m_exitCode = 0;
            say(QStringLiteral("script passed (%1 lines); the program was ended by its last line")
                    .arg(m_lines.size()));
        } else {
            const int at = m_next > 0 ? m_lines[m_next - 1].number : 0;
            m_exitCode = 1;
            say(QStringLiteral("script ended at line %1: the program was ended, line %2 and "
                               "after never ran")
                    .arg(QString::number(at), QString::number(m_lines[m_next].number)));
        }
    }
    return m_exitCode;
}

void ScriptRunner::schedule(int afterMs) {
    if (!m_finished) {
        m_stepTimer->start(afterMs);
    }
}

void ScriptRunner::step() {
    if (m_finished) {
        return;
    }
    if (auto problem = m_boxes.takeProblem()) {
        fail(problem->line, problem->reason);
        return;
    }
    if (m_next >= m_lines.size()) {
        if (m_inputOpen) {
            m_starved = true;
            m_waitingTimer->start(kWaitingNoticeMs);
            return;
        }
        complete();
        return;
    }
    // Lines are only ever added at the end of the deque, so the reference outlives the
    // lines that run nested inside this one.
    const ScriptLine& line = m_lines[m_next++];
    say(QStringLiteral("line %1: %2").arg(QString::number(line.number), line.source));
    run(line);
}

void ScriptRunner::run(const ScriptLine& line) {
    switch (line.op) {
    case ScriptOp::Set: {
        QWidget* w = findControl(m_windows, line.control).widget;
        if (!usable(line, w)) {
            return;
        }
        setControlText(w, line.text);
        schedule();
        return;
    }
    case ScriptOp::Choose: {
        auto* combo = qobject_cast<QComboBox*>(findControl(m_windows, line.control).widget);
        if (!usable(line, combo)) {
            return;
        }
        const int index = combo->findText(line.text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index < 0) {
            QStringList items;
            for (int i = 0; i < combo->count(); ++i) {
                items << quoted(combo->itemText(i));
            }
            fail(line.number, QStringLiteral("%1 has no item %2 (its items: %3)")
                                  .arg(ShortenScriptText(line.control), quotedFromScript(line.text),
                                       items.isEmpty() ? QStringLiteral("none")
                                                       : items.join(QStringLiteral(", "))));
            return;
        }
        combo->setCurrentIndex(index);
        // What a click on the item emits; the window's _Click handlers hang on these.
        Q_EMIT combo->activated(index);
        Q_EMIT combo->textActivated(combo->itemText(index));
        schedule();
        return;
    }
    case ScriptOp::Click:
        press(line, true);
        return;
    case ScriptOp::Start:
        press(line, false);
        return;
    case ScriptOp::Wait:
        schedule(line.ms);
        return;
    case ScriptOp::Idle:
        if (m_running == 0) {
            schedule();
        } else {
            m_waitingIdle = true;
        }
        return;
    case ScriptOp::Answer:
        m_boxes.queueAnswer(line.answer, line.number);
        schedule();
        return;
    case ScriptOp::Expect:
        expectText(line);
        return;
    case ScriptOp::ExpectEnabled:
    case ScriptOp::ExpectVisible: {
        QWidget* w = findControl(m_windows, line.control).widget;
        const bool enabledLine = line.op == ScriptOp::ExpectEnabled;
        const bool seen = enabledLine ? w->isEnabled() : shown(w);
        if (seen != line.state) {
            fail(line.number,
                 QStringLiteral("%1 %2: expected %3, seen %4")
                     .arg(ShortenScriptText(line.control),
                          enabledLine ? QStringLiteral("enabled") : QStringLiteral("visible"),
                          yesNo(line.state), yesNo(seen)));
            return;
        }
        schedule();
        return;
    }
    case ScriptOp::ExpectBox:
        expectBox(line);
        return;
    case ScriptOp::Print:
        say(QStringLiteral("%1 = %2").arg(
            line.control,
            ShowLineBreaks(controlText(findControl(m_windows, line.control).widget))));
        schedule();
        return;
    }
}

void ScriptRunner::press(const ScriptLine& line, bool waitForIt) {
    auto* button = qobject_cast<QAbstractButton*>(findControl(m_windows, line.control).widget);
    if (!usable(line, button)) {
        return;
    }
    if (waitForIt) {
        button->click(); // returns when the handler has
        schedule();
        return;
    }
    if (m_running >= kMaxRunningHandlers) {
        // Every handler still running holds its wait on the stack; a script must not be able
        // to pile them up until the stack gives out.
        fail(line.number,
             QStringLiteral("%1 handlers started by the script are still running").arg(m_running));
        return;
    }
    // The next line is due before the handler starts, so it runs inside the handler's
    // first wait, as a second click would.
    schedule();
    ++m_running;
    button->click();
    --m_running;
    if (m_finished) {
        return;
    }
    say(QStringLiteral("line %1: %2 returned").arg(QString::number(line.number), line.control));
    if (m_running == 0 && m_waitingIdle) {
        m_waitingIdle = false;
        schedule();
    }
}

void ScriptRunner::expectText(const ScriptLine& line) {
    const QWidget* w = findControl(m_windows, line.control).widget;
    const QString seen = controlText(w);
    const bool same = controlKind(w) == ControlKind::Shape
                          ? seen.compare(line.text, Qt::CaseInsensitive) == 0
                          : seen == line.text;
    if (!same) {
        fail(line.number,
             QStringLiteral("%1: expected %2, seen %3")
                 .arg(ShortenScriptText(line.control), quotedFromScript(line.text), quoted(seen)));
        return;
    }
    schedule();
}

void ScriptRunner::expectBox(const ScriptLine& line) {
    const auto box = m_boxes.takeUnmatched();
    const QString expected = QStringLiteral("%1 | %2").arg(ShortenScriptText(line.text),
                                                           ShortenScriptText(line.boxText));
    if (!box) {
        fail(line.number, QStringLiteral("expected box %1, but no box came").arg(expected));
        return;
    }
    if (box->title != line.text || box->text != line.boxText) {
        fail(line.number,
             QStringLiteral("expected box %1, seen box %2 | %3")
                 .arg(expected, ShowLineBreaks(box->title), ShowLineBreaks(box->text)));
        return;
    }
    schedule();
}

bool ScriptRunner::usable(const ScriptLine& line, QWidget* widget) {
    QString why;
    if (widget == nullptr) {
        why = QStringLiteral("is gone");
    } else if (!widget->isVisible()) {
        why = QStringLiteral("is not on the screen");
    } else if (!widget->isEnabled()) {
        why = QStringLiteral("is disabled");
    } else if (auto* box = qobject_cast<QLineEdit*>(widget); box != nullptr && box->isReadOnly()) {
        why = QStringLiteral("is read-only");
    } else if (auto* box = qobject_cast<QPlainTextEdit*>(widget);
               box != nullptr && box->isReadOnly()) {
        why = QStringLiteral("is read-only");
    } else {
        return true;
    }
    fail(line.number, QStringLiteral("%1 %2").arg(ShortenScriptText(line.control), why));
    return false;
}

void ScriptRunner::fail(int line, const QString& reason) {
    say(QStringLiteral("line %1: failed: %2").arg(QString::number(line), reason));
    finish(1, QStringLiteral("script failed at line %1").arg(line));
}

void ScriptRunner::complete() {
    if (m_inputError) {
        const ScriptError& error = *m_inputError;
        finish(2, error.line > 0 ? QStringLiteral("script error at line %1").arg(error.line)
                                 : QStringLiteral("script error: %1").arg(error.reason));
        return;
    }
    if (const int unused = m_boxes.firstUnusedAnswerLine(); unused != 0) {
        fail(unused, QStringLiteral("no message box came for this answer"));
        return;
    }
    finish(0, QStringLiteral("script passed (%1 lines)").arg(m_lines.size()));
}

void ScriptRunner::finish(int exitCode, const QString& summary) {
    if (m_finished) {
        return;
    }
    m_finished = true;
    m_exitCode = exitCode;
    m_stepTimer->stop();
    m_waitingTimer->stop();
    say(summary);
    if (m_onFinished) {
        m_onFinished(exitCode);
    }
}

void ScriptRunner::say(const QString& line) {
    WriteScriptLine(m_out, line);
}

} // namespace zelcor
