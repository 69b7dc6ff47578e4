// SPDX-License-Identifier: GPL-3.0-or-later
// The windows as the program starts, kept in docs/windows.txt: every control with its
// name, class, text or caption and state, and what each list holds. The test compares against
// the file; after a deliberate change, ZELCOR_UPDATE_GOLDEN=1 rewrites it: review its diff.
#include "support/WindowFixture.h"

#include "script/ControlLookup.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>

namespace zelcor::test {
namespace {

QString quoted(QString text) {
    text.replace('\\', "\\\\").replace('"', "\\\"").replace('\r', "\\r").replace('\n', "\\n");
    return '"' + text + '"';
}

// Widgets that only hold others are gone into; a control's own parts are not.
bool holdsControls(const QWidget* w) {
    const QByteArray kind = w->metaObject()->className();
    return w->isWindow() || kind == "QWidget" || kind == "QGroupBox" || kind == "QFrame";
}

void render(const QWidget* w, int depth, QStringList& lines) {
    const auto* group = qobject_cast<const QGroupBox*>(w);
    QString line =
        QString(depth * 2, ' ') + (w->objectName().isEmpty() ? "-" : w->objectName()) + "  " +
        w->metaObject()->className() + "  " +
        quoted(group != nullptr ? group->title() : controlText(w)) +
        (w->isEnabled() ? "  enabled" : "  disabled") +
        ((w->isWindow() ? w->isVisible() : w->isVisibleTo(w->window())) ? "  shown" : "  hidden");
    if (w->property("readOnly").toBool()) { // text boxes
        line += "  read-only";
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(w)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i) {
            items << quoted(combo->itemText(i));
        }
        line += "  items [" + items.join(", ") + "]";
    }
    lines << line;
    if (holdsControls(w)) {
        for (const QObject* child : w->children()) {
            const auto* widget = qobject_cast<const QWidget*>(child);
            if (widget != nullptr && !widget->isWindow()) {
                render(widget, depth + 1, lines);
            }
        }
    }
}

using WindowsGolden = WindowFixture;

TEST_F(WindowsGolden, ControlsAsTheProgramStarts) {
    mainWindow->show();
    QStringList lines{
        "# The windows as Zelcor starts: each control in the order its window holds it,",
        "# with its name (- for none), class, text or caption, state and list items.",
        "# Written by WindowsGolden.ControlsAsTheProgramStarts (ZELCOR_UPDATE_GOLDEN=1)."};
    for (const QWidget* window : mainWindow->windows()) {
        lines << "";
        render(window, 0, lines);
    }
    const QByteArray document = (lines.join('\n') + '\n').toUtf8();

    QFile file(QStringLiteral(ZELCOR_SOURCE_DIR "/docs/windows.txt"));
    if (qEnvironmentVariableIsSet("ZELCOR_UPDATE_GOLDEN")) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(document);
        return;
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "docs/windows.txt is missing";
    EXPECT_EQ(file.readAll().toStdString(), document.toStdString())
        << "What the windows show at start has changed. If that was meant, run this test with "
           "ZELCOR_UPDATE_GOLDEN=1 and review the diff of docs/windows.txt.";
    // Starting sends nothing and asks nothing.
    EXPECT_TRUE(port.written().empty() && boxes.shown().empty() && !port.isOpen());
}

} // namespace
} // namespace zelcor::test
