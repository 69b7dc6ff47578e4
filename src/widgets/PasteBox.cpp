// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/PasteBox.h"

#include "platform/MessageBoxes.h"

#include <QMimeData>
#include <QTextCursor>

namespace zelcor {

PasteBox::PasteBox(QWidget* parent) : QPlainTextEdit(parent) {}

void PasteBox::setLimit(int maxChars, MessageBoxes& boxes) {
    m_maxChars = maxChars;
    m_boxes = &boxes;
}

void PasteBox::insertFromMimeData(const QMimeData* source) {
    if (m_boxes != nullptr && source != nullptr && source->hasText()) {
        // What the box would hold: its text without the selection the paste replaces.
        const qsizetype pasted = source->text().size();
        const qsizetype kept = toPlainText().size() - textCursor().selectedText().size();
        if (kept + pasted > m_maxChars) {
            m_boxes->show(tr("The text to paste has %1 characters; this box takes at most "
                             "%2.\r\nNothing has been pasted.")
                              .arg(pasted)
                              .arg(m_maxChars),
                          tr("Paste"), BoxIcon::Exclamation, BoxButtons::Ok);
            return;
        }
    }
    QPlainTextEdit::insertFromMimeData(source);
}

} // namespace zelcor
