// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPlainTextEdit>

namespace zelcor {

class MessageBoxes;

// A multi-line box for text a technician pastes in. It takes at most a given number of
// characters: a paste or a drop that would make it longer is refused with a box before any
// of it is laid out, so a megabyte on the clipboard cannot freeze the window.
class PasteBox : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit PasteBox(QWidget* parent = nullptr);

    void setLimit(int maxChars, MessageBoxes& boxes);
    int limit() const { return m_maxChars; }

protected:
    void insertFromMimeData(const QMimeData* source) override;

private:
    int m_maxChars = 0;
    MessageBoxes* m_boxes = nullptr;
};

} // namespace zelcor
