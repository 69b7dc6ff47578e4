// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/ScriptMessageBoxes.h"

#include "script/ScriptParser.h"

namespace zelcor {

BoxAnswer ScriptMessageBoxes::show(const QString& text, const QString& title, BoxIcon,
                                   BoxButtons buttons) {
    const BoxAnswer fallback = buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::No;
    BoxAnswer answer = fallback;
    QString note;
    if (m_answers.empty()) {
        note = QStringLiteral(" (no answer queued)");
    } else {
        const Queued queued = m_answers.front();
        m_answers.pop_front();
        const bool fits = buttons == BoxButtons::Ok ? queued.answer == BoxAnswer::Ok
                                                    : queued.answer != BoxAnswer::Ok;
        if (fits) {
            answer = queued.answer;
        } else {
            note = QStringLiteral(" (%1 does not fit a box with %2)")
                       .arg(toString(queued.answer), toString(buttons));
            if (!m_problem) {
                m_problem =
                    Problem{queued.line, QStringLiteral("answer %1 came to box \"%2\", "
                                                        "which takes %3")
                                             .arg(toString(queued.answer), ShowLineBreaks(title),
                                                  toString(buttons))};
            }
        }
    }
    WriteScriptLine(m_out,
                    QStringLiteral("box %1 | %2 | answered %3%4")
                        .arg(ShowLineBreaks(title), ShowLineBreaks(text), toString(answer), note));
    m_unmatched.push_back(Box{title, text, answer});
    return answer;
}

void ScriptMessageBoxes::queueAnswer(BoxAnswer answer, int line) {
    m_answers.push_back(Queued{answer, line});
}

std::optional<ScriptMessageBoxes::Box> ScriptMessageBoxes::takeUnmatched() {
    if (m_unmatched.empty()) {
        return std::nullopt;
    }
    Box box = m_unmatched.front();
    m_unmatched.pop_front();
    return box;
}

std::optional<ScriptMessageBoxes::Problem> ScriptMessageBoxes::takeProblem() {
    auto problem = m_problem;
    m_problem.reset();
    return problem;
}

int ScriptMessageBoxes::firstUnusedAnswerLine() const {
    return m_answers.empty() ? 0 : m_answers.front().line;
}

} // namespace zelcor
