#pragma once

#include <QPlainTextEdit>

namespace zelcor {

// A multi-line echo of the bytes on the wire. It keeps its text exactly as appended (line
// ends as carriage return and line feed), shows the newest lines after every change without
// taking the keyboard focus, and appends without copying what it already holds.
class EchoBox : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit EchoBox(QWidget* parent = nullptr);

    void appendText(const QString& text);
    QString text() const { return m_text; }
    void clearText();

private:
    QString m_text;
};

} // namespace zelcor
