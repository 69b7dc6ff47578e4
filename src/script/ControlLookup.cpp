// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/ControlLookup.h"

#include "script/ScriptParser.h"

#include "widgets/EchoBox.h"
#include "widgets/Shape.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

namespace zelcor {

ControlKind controlKind(const QWidget* w) {
    if (w->isWindow()) {
        return ControlKind::Window;
    }
    if (qobject_cast<const QLineEdit*>(w) != nullptr) {
        return ControlKind::TextBox;
    }
    if (qobject_cast<const QPlainTextEdit*>(w) != nullptr) {
        return ControlKind::MultiLine;
    }
    if (qobject_cast<const QComboBox*>(w) != nullptr) {
        return ControlKind::Combo;
    }
    if (qobject_cast<const QCheckBox*>(w) != nullptr ||
        qobject_cast<const QRadioButton*>(w) != nullptr) {
        return ControlKind::Check;
    }
    if (qobject_cast<const QAbstractButton*>(w) != nullptr) {
        return ControlKind::Button;
    }
    if (qobject_cast<const QLabel*>(w) != nullptr) {
        return ControlKind::Label;
    }
    if (qobject_cast<const Shape*>(w) != nullptr) {
        return ControlKind::Shape;
    }
    return ControlKind::Other;
}

QString controlText(const QWidget* w) {
    if (const auto* echo = qobject_cast<const EchoBox*>(w)) {
        return echo->text(); // kept exactly, carriage returns included
    }
    switch (controlKind(w)) {
    case ControlKind::TextBox:
        return static_cast<const QLineEdit*>(w)->text();
    case ControlKind::MultiLine:
        return static_cast<const QPlainTextEdit*>(w)->toPlainText();
    case ControlKind::Combo:
        return static_cast<const QComboBox*>(w)->currentText();
    case ControlKind::Check:
        return static_cast<const QAbstractButton*>(w)->isChecked() ? QStringLiteral("1")
                                                                   : QStringLiteral("0");
    case ControlKind::Button:
        return static_cast<const QAbstractButton*>(w)->text();
    case ControlKind::Label:
        return static_cast<const QLabel*>(w)->text();
    case ControlKind::Shape:
        return static_cast<const Shape*>(w)->fillColor().name(QColor::HexRgb).toUpper();
    case ControlKind::Window:
        return w->windowTitle();
    case ControlKind::Other:
        break;
    }
    return {};
}

FoundControl findControl(const QList<QWidget*>& windows, const QString& name) {
    QString window;
    QString local = name;
    if (const qsizetype dot = name.indexOf(QLatin1Char('.')); dot >= 0) {
        window = name.left(dot);
        local = name.mid(dot + 1);
        if (window.isEmpty() || local.isEmpty()) {
            return {nullptr,
                    QStringLiteral("\"%1\" is not a control name").arg(ShortenScriptText(name))};
        }
    }
    bool windowKnown = window.isEmpty();
    QWidget* found = nullptr;
    QStringList foundIn;
    for (QWidget* w : windows) {
        if (!window.isEmpty()) {
            if (w->objectName() != window) {
                continue;
            }
            windowKnown = true;
        }
        QList<QWidget*> matches;
        if (w->objectName() == local) {
            matches << w;
        }
        matches << w->findChildren<QWidget*>(local);
        if (matches.size() > 1) {
            return {nullptr, QStringLiteral("%1 names %2 controls in %3")
                                 .arg(ShortenScriptText(name), QString::number(matches.size()),
                                      w->objectName())};
        }
        if (matches.size() == 1) {
            found = matches.front();
            foundIn << w->objectName();
        }
    }
    if (!windowKnown) {
        return {nullptr, QStringLiteral("no window named %1").arg(ShortenScriptText(window))};
    }
    if (foundIn.size() > 1) {
        return {nullptr, QStringLiteral("%1 is in more than one window (%2): write %3.%1")
                             .arg(ShortenScriptText(name), foundIn.join(QStringLiteral(", ")),
                                  foundIn.front())};
    }
    if (found == nullptr) {
        return {nullptr, window.isEmpty()
                             ? QStringLiteral("no control named %1").arg(ShortenScriptText(name))
                             : QStringLiteral("no control named %1 in %2")
                                   .arg(ShortenScriptText(local), window)};
    }
    return {found, {}};
}

void setControlText(QWidget* w, const QString& text) {
    if (auto* box = qobject_cast<QLineEdit*>(w)) {
        box->setText(text);
    } else if (auto* box = qobject_cast<QPlainTextEdit*>(w)) {
        box->setPlainText(text);
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        combo->setEditText(text);
    } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
        if (check->isChecked() != (text == QLatin1String("1"))) {
            check->click();
        }
    }
}

} // namespace zelcor
