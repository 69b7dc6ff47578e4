// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ScriptedMessageBoxes.h"

#include <gtest/gtest.h>

namespace zelcor::test {

BoxAnswer ScriptedMessageBoxes::show(const QString& text, const QString& title, BoxIcon icon,
                                     BoxButtons buttons) {
    const BoxAnswer fallback = buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::No;
    BoxAnswer answer = fallback;
    if (m_answers.empty() && m_acceptAll) {
        answer = buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::Yes;
    } else if (m_answers.empty()) {
        ADD_FAILURE() << "unexpected message box \"" << title.toStdString() << "\": \""
                      << text.toStdString() << "\"";
    } else {
        answer = m_answers.front();
        m_answers.pop_front();
        const bool fits =
            buttons == BoxButtons::Ok ? answer == BoxAnswer::Ok : answer != BoxAnswer::Ok;
        if (!fits) {
            ADD_FAILURE() << "answer " << toString(answer).toStdString()
                          << " does not fit the buttons of box \"" << title.toStdString() << "\"";
            answer = fallback;
        }
    }
    m_shown.push_back({title, text, icon, buttons, answer});
    if (m_onShow) {
        m_onShow(m_shown.back());
    }
    return answer;
}

} // namespace zelcor::test
