// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessageBoxes.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <vector>

namespace zelcor::test {

struct ShownBox {
    QString title;
    QString text;
    BoxIcon icon;
    BoxButtons buttons;
    BoxAnswer answer;
};

// Message boxes for tests: every box is recorded and answered from a queue the test fills
// beforehand. A box nobody expected fails the test at once (and gets OK or No), instead of
// waiting for a click that never comes.
class ScriptedMessageBoxes final : public MessageBoxes {
public:
    BoxAnswer show(const QString& text, const QString& title, BoxIcon icon,
                   BoxButtons buttons) override {
        const bool ok = buttons == BoxButtons::Ok;
        BoxAnswer answer = ok ? BoxAnswer::Ok : BoxAnswer::No;
        if (!m_answers.empty()) {
            const BoxAnswer queued = m_answers.front();
            m_answers.pop_front();
            if (ok == (queued == BoxAnswer::Ok)) {
                answer = queued;
            } else {
                ADD_FAILURE() << "answer " << toString(queued).toStdString()
                              << " does not fit the buttons of box \"" << title.toStdString()
                              << "\"";
            }
        } else if (m_acceptAll) {
            answer = ok ? BoxAnswer::Ok : BoxAnswer::Yes;
        } else {
            ADD_FAILURE() << "unexpected message box \"" << title.toStdString() << "\": \""
                          << text.toStdString() << "\"";
        }
        m_shown.push_back({title, text, icon, buttons, answer});
        if (m_onShow) {
            m_onShow(m_shown.back());
        }
        return answer;
    }

    void answer(BoxAnswer answer) { m_answers.push_back(answer); }
    void answerOk(int count = 1) { m_answers.insert(m_answers.end(), count, BoxAnswer::Ok); }

    // From now on a box with no answer queued gets Yes or OK instead of failing the test:
    // for runs that record whatever boxes come.
    void acceptAll() { m_acceptAll = true; }

    // Runs while a box is up, before it is answered (a box is modal: nothing else happens).
    void setOnShow(std::function<void(const ShownBox&)> hook) { m_onShow = std::move(hook); }

    const std::vector<ShownBox>& shown() const { return m_shown; }
    int unusedAnswers() const { return static_cast<int>(m_answers.size()); }
    void clear() {
        m_shown.clear();
        m_answers.clear();
    }

private:
    std::deque<BoxAnswer> m_answers;
    std::vector<ShownBox> m_shown;
    std::function<void(const ShownBox&)> m_onShow;
    bool m_acceptAll = false;
};

} // namespace zelcor::test
