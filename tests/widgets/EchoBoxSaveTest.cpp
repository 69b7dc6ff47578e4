// SPDX-License-Identifier: GPL-3.0-or-later
// "Save as…" in the context menu of the two echo boxes.
#include "support/WindowFixture.h"

#include "widgets/EchoBox.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>

#include <memory>

namespace zelcor::test {
namespace {

using EchoSave = WindowFixture;

// Chooses "Save as…" from the box's context menu, the file dialog answering `answer`.
void saveAs(EchoBox* box, const QString& answer, QString* offered = nullptr) {
    box->setFileChooser([&](QWidget*, const QString& suggested) {
        if (offered != nullptr) {
            *offered = suggested;
        }
        return answer;
    });
    const std::unique_ptr<QMenu> menu(box->createContextMenu());
    QAction* entry = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->text() == QStringLiteral("Save as\u2026")) {
            entry = action;
        }
    }
    ASSERT_NE(entry, nullptr) << "no Save as\u2026 in the menu of "
                              << box->objectName().toStdString();
    entry->trigger();
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
}

TEST_F(EchoSave, EachEchoWritesItsTextToTheFileChosen) {
    click("cmdPortOpen");
    setText("txtSendByte", "1A");
    click("cmdSendAByte");
    port.receive({0x00, 0x05, 0xAA});
    port.receive({0x7E});
    QTemporaryDir dir;
    for (const char* name : {"txtLocalHex", "txtRemoteHex"}) {
        SCOPED_TRACE(name);
        auto* box = control<EchoBox>(name);
        const QString path = dir.filePath(QStringLiteral("%1.txt").arg(name));
        QString offered;
        saveAs(box, path, &offered);
        EXPECT_FALSE(offered.isEmpty());
        EXPECT_EQ(contents(path), box->text().toUtf8());
    }
    EXPECT_EQ(contents(dir.filePath("txtRemoteHex.txt")), "&H00 &H05 &HAA \r\n&H7E \r\n");
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(EchoSave, CancelWritesNothingAndAFileThatCannotBeWrittenIsToldAndKept) {
    port.receive({0x42});
    auto* box = control<EchoBox>("txtRemoteHex");
    QTemporaryDir dir;
    saveAs(box, QString());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_TRUE(boxes.shown().empty());

    const QString missing = dir.filePath("gone/received.txt");
    boxes.answerOk();
    saveAs(box, missing);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].icon, BoxIcon::Warning);
    EXPECT_TRUE(boxes.shown()[0].text.contains(missing));
    EXPECT_FALSE(QFile::exists(missing));
    EXPECT_EQ(box->text(), "&H42 \r\n"); // the echo itself is untouched
}

} // namespace
} // namespace zelcor::test
