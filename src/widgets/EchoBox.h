#pragma once

#include <QPlainTextEdit>

namespace zelcor {

// A multi-line echo of the bytes on the wire. Its text is what was appended, line ends as
// carriage return and line feed; it shows the newest lines after every change without taking
// the keyboard focus, and appends without copying what it already holds. The text is kept
// once, in the document on the screen.
class EchoBox : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit EchoBox(QWidget* parent = nullptr);

    void appendText(const QString& text);
    QString text() const;
    void clearText();
};

} // namespace zelcor
