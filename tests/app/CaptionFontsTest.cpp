// SPDX-License-Identifier: GPL-3.0-or-later
// Every character the windows and their boxes show has a font on this system. The editor's and
// the calibration window's captions are Chinese: the package depends on fonts-noto-cjk for
// them, and a system without such a font shows them as empty boxes.
#include "support/WindowFixture.h"

#include "script/ControlLookup.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>

#include <algorithm>
#include <set>

namespace zelcor::test {
namespace {

using CaptionFonts = WindowFixture;

TEST_F(CaptionFonts, EveryCharacterShownHasAFont) {
    std::set<char32_t> shown;
    const auto add = [&shown](const QString& text) {
        for (const char32_t c : text.toUcs4()) {
            if (QChar::isPrint(c)) {
                shown.insert(c);
            }
        }
    };
    // Captions, titles, texts, list items and tooltips of every control of the three windows.
    for (QWidget* window : mainWindow->windows()) {
        QList<QWidget*> widgets = window->findChildren<QWidget*>();
        widgets << window;
        for (const QWidget* w : widgets) {
            add(controlText(w));
            add(w->windowTitle());
            add(w->toolTip());
            if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
                add(button->text()); // a check box's caption, not its value
            }
            if (const auto* group = qobject_cast<const QGroupBox*>(w)) {
                add(group->title());
            }
            if (const auto* combo = qobject_cast<const QComboBox*>(w)) {
                for (int i = 0; i < combo->count(); ++i) {
                    add(combo->itemText(i));
                }
            }
        }
    }
    // The boxes' titles and texts, as the fault matrix lists them.
    QFile matrix(QStringLiteral(ZELCOR_SOURCE_DIR "/docs/fault-matrix.md"));
    ASSERT_TRUE(matrix.open(QIODevice::ReadOnly)) << "docs/fault-matrix.md is missing";
    add(QString::fromUtf8(matrix.readAll()));
    ASSERT_TRUE(shown.contains(U'扳')) << "the Chinese captions were not found";

    // Qt draws a character the window's font lacks in an installed family that has it: some
    // family must have each one. inFontUcs4 asks the family's own font, not its fallbacks.
    QList<QFontMetrics> families;
    for (const QString& family : QFontDatabase::families()) {
        families << QFontMetrics(QFont(family));
    }
    QString missing;
    for (const char32_t c : shown) {
        if (std::none_of(families.begin(), families.end(),
                         [c](const QFontMetrics& font) { return font.inFontUcs4(c); })) {
            missing += QString::fromUcs4(&c, 1);
        }
    }
    EXPECT_TRUE(missing.isEmpty())
        << "No installed font has these characters the windows show: " << missing.toStdString()
        << " (on Debian fonts-noto-cjk has the Chinese ones)";
}

} // namespace
} // namespace zelcor::test
