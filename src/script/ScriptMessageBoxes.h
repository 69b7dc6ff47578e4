// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessageBoxes.h"

#include <deque>
#include <optional>
#include <ostream>

namespace zelcor {

// The message boxes of a scripted run: never shown on screen, answered from the script's
// `answer` lines in order, each printed as "box TITLE | TEXT | answered ANSWER" the moment
// it appears. A box with no answer waiting gets OK or No, and its line says so.
class ScriptMessageBoxes final : public MessageBoxes {
public:
    struct Box {
        QString title;
        QString text;
        BoxAnswer answer = BoxAnswer::Ok;
    };
    // A line of the script that did not hold because of a box.
    struct Problem {
        int line = 0;
        QString reason;
    };

    explicit ScriptMessageBoxes(std::ostream& out) : m_out(out) {}

    BoxAnswer show(const QString& text, const QString& title, BoxIcon icon,
                   BoxButtons buttons) override;

    // Queues the answer to the next box; `line` is the script line that gave it.
    void queueAnswer(BoxAnswer answer, int line);

    // The oldest box that no expect-box has matched yet.
    std::optional<Box> takeUnmatched();

    // An answer that did not fit its box (yes or no for an OK box, ok for a Yes/No box).
    std::optional<Problem> takeProblem();

    // The line of the oldest answer that no box has used yet; 0 when none waits.
    int firstUnusedAnswerLine() const;

private:
    struct Queued {
        BoxAnswer answer;
        int line;
    };

    std::ostream& m_out;
    std::deque<Queued> m_answers;
    std::deque<Box> m_unmatched;
    std::optional<Problem> m_problem;
};

} // namespace zelcor
