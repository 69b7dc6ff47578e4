#include "widgets/EchoBox.h"

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
    // The document breaks lines at '\n' alone; the carriage return before it is given back
    // by text().
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shown);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

QString EchoBox::text() const {
    QString kept = toPlainText();
    kept.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return kept;
}

void EchoBox::clearText() {
    clear();
}

} // namespace zelcor
