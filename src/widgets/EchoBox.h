// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPlainTextEdit>

#include <functional>

class QMenu;

namespace zelcor {

class MessageBoxes;

// A multi-line echo of the bytes on the wire. Its text is what was appended, line ends as
// carriage return and line feed; it shows the newest lines after every change without taking
// the keyboard focus, and appends without copying what it already holds. The text is kept
// once, in the document on the screen.
class EchoBox : public QPlainTextEdit {
    Q_OBJECT
public:
    // Asks for the file to save to; an empty answer means the user cancelled.
    using FileChooser = std::function<QString(QWidget* parent, const QString& suggestedName)>;

    explicit EchoBox(QWidget* parent = nullptr);

    void appendText(const QString& text);
    QString text() const;
    void clearText();

    // Puts "Save as…" into the context menu: it asks for a file (offering `suggestedName`)
    // and writes the text there as it stands; a file that cannot be written is told in a box.
    void enableSaveAs(MessageBoxes& boxes, const QString& suggestedName);
    // The file dialog by default; tests answer without one.
    void setFileChooser(FileChooser chooser);
    // The menu the right mouse button opens; the caller owns it.
    QMenu* createContextMenu();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void saveAs();

    MessageBoxes* m_boxes = nullptr;
    QString m_suggestedName;
    FileChooser m_chooseFile;
};

} // namespace zelcor
