// SPDX-License-Identifier: GPL-3.0-or-later
// The windows in English (--language en). translations/zelcor_en.ts is whole and is what the
// program carries; with it installed no window shows a text in the system's own language or
// one the file translates; without it every caption in that language has its English meaning
// as its tooltip. (That the windows' own texts stay as they were is WindowsGolden's check.)
#include "support/WindowFixture.h"

#include "app/Language.h"
#include "calibration/frmRs232WRCal.h"
#include "history/HistoryWindow.h"
#include "serial/WrenchLink.h"
#include "session/WrenchSession.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QRegularExpression>
#include <QSet>
#include <QTableView>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>

#include <functional>

namespace zelcor::test {
namespace {

struct Entry {
    QString context;
    QString source;
    QString translation;
    QString type; // "unfinished", "obsolete", "vanished"; empty when finished
};

// The entries of the translation file. A carriage return is a <byte value="xd"/> there: read
// as a character reference it is one like any other.
std::vector<Entry> ReadEntries() {
    QFile file(QStringLiteral(ZELCOR_SOURCE_DIR "/translations/zelcor_en.ts"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << "translations/zelcor_en.ts is missing";
    QXmlStreamReader xml(
        QString::fromUtf8(file.readAll())
            .replace(QLatin1String("<byte value=\"xd\"/>"), QLatin1String("&#xd;")));
    std::vector<Entry> entries;
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (xml.name() == u"name") {
            context = xml.readElementText();
        } else if (xml.name() == u"message") {
            entries.push_back({context, {}, {}, {}});
        } else if (xml.name() == u"source") {
            entries.back().source = xml.readElementText();
        } else if (xml.name() == u"translation") {
            entries.back().type = xml.attributes().value(QLatin1String("type")).toString();
            entries.back().translation = xml.readElementText();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return entries;
}

bool HasChinese(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return (c.unicode() >= 0x3000 && c.unicode() <= 0x9FFF) ||
               (c.unicode() >= 0xF900 && c.unicode() <= 0xFAFF) ||
               (c.unicode() >= 0xFF00 && c.unicode() <= 0xFFEF);
    });
}

// The %1 ... %9 a text fills in, sorted.
QStringList Markers(const QString& text) {
    QStringList markers;
    for (const auto& match : QRegularExpression(QStringLiteral("%[1-9]")).globalMatch(text)) {
        markers << match.captured();
    }
    markers.sort();
    return markers;
}

// Every text a window shows, with where it shows it and the tooltip shown over it: the window's
// title, the captions of its labels, buttons and group boxes, its lists' texts and items and
// its tables' column headers, and the tooltips of its other controls (with no text); only what
// is shown with the window.
void ForEachText(QWidget* window,
                 const std::function<void(const QString&, const QString&, const QString&)>& f) {
    f(window->objectName() + " title", window->windowTitle(), window->toolTip());
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window)) {
            continue;
        }
        const QString where = w->objectName().isEmpty()
                                  ? QString::fromLatin1(w->metaObject()->className())
                                  : w->objectName();
        if (const auto* label = qobject_cast<QLabel*>(w)) {
            f(where, label->text(), w->toolTip());
        } else if (const auto* button = qobject_cast<QAbstractButton*>(w)) {
            f(where, button->text(), w->toolTip());
        } else if (const auto* group = qobject_cast<QGroupBox*>(w)) {
            f(where, group->title(), w->toolTip());
        } else if (const auto* combo = qobject_cast<QComboBox*>(w)) {
            f(where, combo->currentText(), w->toolTip());
            for (int i = 0; i < combo->count(); ++i) {
                f(where + " item", combo->itemText(i),
                  combo->itemData(i, Qt::ToolTipRole).toString());
            }
        } else if (const auto* table = qobject_cast<QTableView*>(w)) {
            for (int c = 0; c < table->model()->columnCount(); ++c) {
                if (!table->isColumnHidden(c)) {
                    f(where + " header", table->model()->headerData(c, Qt::Horizontal).toString(),
                      table->model()->headerData(c, Qt::Horizontal, Qt::ToolTipRole).toString());
                }
            }
        } else {
            f(where, {}, w->toolTip());
        }
    }
}

TEST(TranslationFile, EveryEntryIsTranslatedAndCarriedByTheProgram) {
    EXPECT_EQ(Languages(), QStringList{"en"});
    QTranslator english;
    ASSERT_TRUE(LoadLanguage(english, "en"));
    const std::vector<Entry> entries = ReadEntries();
    ASSERT_GT(entries.size(), 200u);
    for (const Entry& e : entries) {
        const std::string name = e.context.toStdString() + " \"" + e.source.toStdString() + "\"";
        EXPECT_TRUE(e.type.isEmpty()) << name << " is " << e.type.toStdString()
                                      << " (scripts/update-translations, then translate it)";
        EXPECT_FALSE(e.translation.isEmpty()) << name;
        EXPECT_FALSE(HasChinese(e.translation)) << name;
        EXPECT_EQ(Markers(e.translation), Markers(e.source)) << name;
        // The file as built into the program: the same translation for every entry.
        EXPECT_EQ(english.translate(e.context.toUtf8().constData(), e.source.toUtf8().constData()),
                  e.translation)
            << name;
    }
}

// The windows built with the English translation installed, as `zelcor --language en` does.
class English : public WindowFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadLanguage(m_english, "en"));
        QCoreApplication::installTranslator(&m_english);
        WindowFixture::SetUp();
    }
    void TearDown() override {
        WindowFixture::TearDown();
        QCoreApplication::removeTranslator(&m_english);
    }

private:
    QTranslator m_english;
};

TEST_F(English, NoWindowShowsTheSystemsOwnTextsOrOneLeftUntranslated) {
    QSet<QString> translated; // sources the file gives other words
    for (const Entry& e : ReadEntries()) {
        if (e.translation != e.source) {
            translated << e.source;
        }
    }
    const QTemporaryDir folder;
    std::string error;
    const auto target =
        records::ParseRecordsTarget("sqlite:" + folder.filePath("records.db").toStdString(), error);
    ASSERT_TRUE(target) << error;
    HistoryWindow history(*target, [] { return std::string(); });
    history.show(); // lists the records: the columns get their captions

    mainWindow->show();
    QList<QWidget*> windows = mainWindow->windows();
    windows << &history;
    int texts = 0;
    for (QWidget* window : windows) {
        ForEachText(window, [&](const QString& where, const QString& text, const QString& tip) {
            ++texts;
            const std::string shown = window->objectName().toStdString() + "." +
                                      where.toStdString() + ": \"" + text.toStdString() + "\" (\"" +
                                      tip.toStdString() + "\")";
            EXPECT_FALSE(HasChinese(text + tip)) << shown;
            EXPECT_FALSE(translated.contains(text)) << shown << " is left untranslated";
            EXPECT_FALSE(translated.contains(tip)) << shown << " has its tooltip untranslated";
        });
    }
    EXPECT_GT(texts, 300);

    // A few by hand, one of each kind.
    EXPECT_EQ(text("frmRs232WRPara"), "Wrench Parameters");
    EXPECT_EQ(text("cmdClear"), "Clear");
    EXPECT_EQ(control("cmdClear")->toolTip(), "Clear");
    EXPECT_EQ(text("Label26(41)"), "29H: reserved for fgauge");
    EXPECT_EQ(text("cmbPt"), "1 digit");
}

TEST_F(English, TheDigitsListActsOnItsEnglishItems) {
    auto* digits = control<QComboBox>("cmbPt");
    ASSERT_EQ(digits->count(), 3);
    EXPECT_EQ(digits->itemText(2), "3 digits");
    digits->setCurrentIndex(2);
    Q_EMIT digits->activated(2);
    EXPECT_EQ(mainWindow->session().divisor(), 1000);
    // Typed in the system's own words it still counts.
    digits->setEditText(QStringLiteral("2位"));
    Q_EMIT digits->activated(-1);
    EXPECT_EQ(mainWindow->session().divisor(), 100);
}

TEST_F(English, TheBoxesSpeakEnglish) {
    boxes.answerOk(2);
    mainWindow->session().showCommResult(CommResult::TimeOut);
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[0].title, "Communication Error");
    EXPECT_EQ(boxes.shown()[0].text, "Data receiving timed out");
    EXPECT_EQ(boxes.shown()[1].text, "Step 1: Connect the RS232 cable firmly.\r\n"
                                     "Step 2: Make sure the wrench is in 'send' state.\r\n"
                                     "Step 3: Try again.");
}

using SystemsOwnTexts = WindowFixture;

TEST_F(SystemsOwnTexts, EachCaptionInTheSystemsLanguageHasItsEnglishAsTooltip) {
    QHash<QString, QString> english;
    for (const Entry& e : ReadEntries()) {
        english.insert(e.source, e.translation);
    }
    int tipped = 0;
    QStringList untipped;
    for (QWidget* window : mainWindow->windows()) {
        ForEachText(window, [&](const QString& where, const QString& text, const QString& tip) {
            if (HasChinese(text)) {
                EXPECT_NE(english.value(text), "") << where.toStdString() << " has no translation";
                if (tip == english.value(text)) {
                    ++tipped;
                } else {
                    untipped << where;
                }
            }
        });
    }
    // Six buttons and two legends in the editor; six buttons, Return and the digits' label
    // in the calibration window, and its three digits. The titles have no tooltip, and that
    // of the list of digits tells what the list is for.
    EXPECT_EQ(tipped, 19);
    EXPECT_EQ(untipped.join(", ").toStdString(),
              "frmRs232WRPara title, frmRs232WRCal title, cmbPt");
    EXPECT_EQ(control("frmRs232WRCal.cmdReturn")->toolTip(), "Back");
}

} // namespace
} // namespace zelcor::test
