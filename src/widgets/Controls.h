// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>

class QProgressBar;

namespace zelcor {

class PasteBox;

// Builders for the controls of the three windows. Every control carries its system name as
// objectName, so that tests, scripts and people find it by that name.

// `meaning`, when given, is the caption's meaning in English, shown as its tooltip.
QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption,
                        const QString& meaning = {});
QLineEdit* makeTextBox(QWidget* parent, const QString& name, const QString& text,
                       int widthChars = 4);
// A box exactly widthChars wide, for a byte or a value of a few digits.
QLineEdit* makeFixedBox(QWidget* parent, const QString& name, const QString& text, int widthChars);
// A box that only shows what the program puts there: read-only, still selectable and copied.
QLineEdit* makeDisplayBox(QWidget* parent, const QString& name, const QString& text = {},
                          int widthChars = 4);
// A multi-line box for pasted text; give it its limit with setLimit.
PasteBox* makeMultiLineBox(QWidget* parent, const QString& name);
// An editable combo box showing `text`, which keeps exactly what is typed into it (no
// completion, nothing added to the list); its list is filled later.
QComboBox* makeComboBox(QWidget* parent, const QString& name, const QString& text,
                        int widthChars = 6);
// Gives a combo box of any kind the name, text, width and manners makeComboBox gives.
void setUpComboBox(QComboBox* combo, const QString& name, const QString& text, int widthChars);
QLabel* makeLabel(QWidget* parent, const QString& caption, const QString& name = {});
// A bar that counts the exchanges of a job, "3 of 16"; empty (reset) while none runs.
QProgressBar* makeProgressBar(QWidget* parent, const QString& name, int widthChars = 7);

// Appends items to a combo box's list without changing the text it shows (Qt would
// otherwise select the first item added to an empty list).
void addComboItems(QComboBox* combo, const QStringList& items);

// Tab goes through `widgets` in this order (Shift+Tab back): a window lists its controls as
// it lays them out, row by row, left to right, and a row's own button after the row's boxes.
// Without it Tab would follow the order the controls were made in.
void chainTabOrder(const QList<QWidget*>& widgets);

} // namespace zelcor
