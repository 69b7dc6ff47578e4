// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/Controls.h"

#include "widgets/PasteBox.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QProgressBar>

namespace zelcor {

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption,
                        const QString& meaning) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setToolTip(meaning);
    button->setAutoDefault(false);
    return button;
}

QLineEdit* makeTextBox(QWidget* parent, const QString& name, const QString& text, int widthChars) {
    auto* box = new QLineEdit(text, parent);
    box->setObjectName(name);
    // A byte's box takes two characters and a number's a few; a paste beyond this is cut
    // here rather than laid out, and what is left gets the box's own check and message.
    box->setMaxLength(256);
    const QFontMetrics metrics(box->font());
    const int width = metrics.horizontalAdvance(QLatin1Char('W')) * widthChars + 12;
    box->setMinimumWidth(width);
    box->setMaximumWidth(width * 2);
    return box;
}

QLineEdit* makeFixedBox(QWidget* parent, const QString& name, const QString& text, int widthChars) {
    QLineEdit* box = makeTextBox(parent, name, text, widthChars);
    box->setFixedWidth(box->minimumWidth());
    return box;
}

QLineEdit* makeDisplayBox(QWidget* parent, const QString& name, const QString& text,
                          int widthChars) {
    QLineEdit* box = makeTextBox(parent, name, text, widthChars);
    box->setReadOnly(true);
    return box;
}

PasteBox* makeMultiLineBox(QWidget* parent, const QString& name) {
    auto* box = new PasteBox(parent);
    box->setObjectName(name);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setTabChangesFocus(true);
    return box;
}

QComboBox* makeComboBox(QWidget* parent, const QString& name, const QString& text, int widthChars) {
    auto* combo = new QComboBox(parent);
    setUpComboBox(combo, name, text, widthChars);
    return combo;
}

void setUpComboBox(QComboBox* combo, const QString& name, const QString& text, int widthChars) {
    combo->setObjectName(name);
    combo->setEditable(true);
    // The windows compare a combo's text with their names exactly: Qt's completer would turn
    // "wt-0" into "WT-01" on Enter, and Enter must not add the typed text to the list either.
    combo->setCompleter(nullptr);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setEditText(text);
    const QFontMetrics metrics(combo->font());
    combo->setMinimumWidth(metrics.horizontalAdvance(QLatin1Char('W')) * widthChars + 24);
}

QLabel* makeLabel(QWidget* parent, const QString& caption, const QString& name) {
    auto* label = new QLabel(caption, parent);
    if (!name.isEmpty()) {
        label->setObjectName(name);
    }
    return label;
}

QProgressBar* makeProgressBar(QWidget* parent, const QString& name, int widthChars) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setFormat(QCoreApplication::translate("zelcor::Controls", "%v of %m"));
    bar->setAlignment(Qt::AlignCenter);
    const QFontMetrics metrics(bar->font());
    bar->setFixedWidth(metrics.horizontalAdvance(QLatin1Char('W')) * widthChars);
    bar->reset();
    return bar;
}

void addComboItems(QComboBox* combo, const QStringList& items) {
    const QString shown = combo->currentText();
    const QSignalBlocker quiet(combo);
    combo->addItems(items);
    combo->setCurrentIndex(-1);
    combo->setEditText(shown);
}

void chainTabOrder(const QList<QWidget*>& widgets) {
    for (qsizetype i = 1; i < widgets.size(); ++i) {
        QWidget::setTabOrder(widgets[i - 1], widgets[i]);
    }
}

} // namespace zelcor
