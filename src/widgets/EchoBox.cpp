// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/EchoBox.h"

#include "platform/MessageBoxes.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QMenu>
#include <QSaveFile>
#include <QScrollBar>
#include <QTextCursor>

#include <memory>

namespace zelcor {

namespace {

QString chooseWithDialog(QWidget* parent, const QString& suggestedName) {
    return QFileDialog::getSaveFileName(parent, EchoBox::tr("Save as"), suggestedName,
                                        EchoBox::tr("Text files (*.txt);;All files (*)"));
}

} // namespace

EchoBox::EchoBox(QWidget* parent) : QPlainTextEdit(parent), m_chooseFile(chooseWithDialog) {
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

void EchoBox::enableSaveAs(MessageBoxes& boxes, const QString& suggestedName) {
    m_boxes = &boxes;
    m_suggestedName = suggestedName;
}

void EchoBox::setFileChooser(FileChooser chooser) {
    m_chooseFile = std::move(chooser);
}

QMenu* EchoBox::createContextMenu() {
    QMenu* menu = createStandardContextMenu();
    if (m_boxes != nullptr) {
        menu->addSeparator();
        connect(menu->addAction(tr("Save as\u2026")), &QAction::triggered, this,
                [this] { saveAs(); });
    }
    return menu;
}

void EchoBox::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu(createContextMenu());
    menu->exec(event->globalPos());
}

void EchoBox::saveAs() {
    const QString path = m_chooseFile(this, m_suggestedName);
    if (path.isEmpty()) {
        return;
    }
    // Written beside the old file and put in its place only when complete: a failed save
    // leaves whatever was there.
    QSaveFile file(path);
    const QByteArray bytes = text().toUtf8();
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) {
        return;
    }
    m_boxes->show(tr("The text could not be saved to %1:\r\n%2").arg(path, file.errorString()),
                  tr("Save Failed"), BoxIcon::Warning, BoxButtons::Ok);
}

} // namespace zelcor
