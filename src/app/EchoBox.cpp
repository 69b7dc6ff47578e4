#include "app/EchoBox.h"

#include <QScrollBar>
#include <QTextCursor>

namespace zelcor {

EchoBox::EchoBox(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);
    setUndoRedoEnabled(false);
}

void EchoBox::appendText(const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    m_text += text;
    // The document breaks lines at '\n' alone; a carriage return would add an empty line.
    QString shown = text;
    shown.remove(QLatin1Char('\r'));
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shown);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void EchoBox::clearText() {
    m_text.clear();
    clear();
}

} // namespace zelcor
