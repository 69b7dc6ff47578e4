// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

class QWidget;

namespace zelcor {

// Finding the program's controls by their system names, and reading what they show, for
// whatever drives the windows from outside (scripts, tests).

enum class ControlKind { TextBox, MultiLine, Combo, Check, Button, Label, Shape, Window, Other };

struct FoundControl {
    QWidget* widget = nullptr;
    QString error; // why nothing was found, when widget is null
};

// A control of `windows` by name, qualified with its window where the name alone is in more
// than one ("frmRs232WRCal.txtTk"); a window's own name gives the window.
FoundControl findControl(const QList<QWidget*>& windows, const QString& name);

ControlKind controlKind(const QWidget* w);

// What the user sees: a box's or combo's text, a button's, label's or window's caption, a
// check box's value as "0"/"1", a shape's fill colour as #RRGGBB.
QString controlText(const QWidget* w);

// Types the text into a text box or a combo box's edit field; sets a check box to "0" or
// "1" with a click, as the hand gives it, so that its handler runs.
void setControlText(QWidget* w, const QString& text);

} // namespace zelcor
