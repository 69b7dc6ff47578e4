// SPDX-License-Identifier: GPL-3.0-or-later
// Every character the windows and their boxes show has a font on this system. The editor's and
// the calibration window's captions are Chinese: the package depends on fonts-noto-cjk for
// them, and a system without such a font shows them as empty boxes.
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace zelcor::test {
namespace {

TEST(CaptionFonts, EveryCharacterShownHasAFont) {
    // What is shown is kept in files the other tests hold to the program: every control's
    // caption, text and list items in docs/windows.txt (WindowsGolden), the boxes' titles and
    // texts in docs/fault-matrix.md (FaultMatrix), and every text with its English, which the
    // tooltips carry, in translations/zelcor_en.ts (TranslationFile).
    std::set<char32_t> shown;
    for (const char* name :
         {"docs/windows.txt", "docs/fault-matrix.md", "translations/zelcor_en.ts"}) {
        QFile file(QStringLiteral(ZELCOR_SOURCE_DIR "/") + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name << " is missing";
        for (const char32_t c : QString::fromUtf8(file.readAll()).toUcs4()) {
            if (QChar::isPrint(c)) {
                shown.insert(c);
            }
        }
    }
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
