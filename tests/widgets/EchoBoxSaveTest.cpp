// SPDX-License-Identifier: GPL-3.0-or-later
// "Save as…" in the context menu of the two echo boxes.
#include "support/WindowFixture.h"

#include "widgets/EchoBox.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>

namespace zelcor::test {
namespace {

using EchoSave = WindowFixture;

// Chooses "Save as…" from the box's context menu, the file dialog answering `answer`; returns
// the name the dialog offered.
QString saveAs(EchoBox* box, const QString& answer) {
    QString offered;
    box->setFileChooser([&](QWidget*, const QString& suggested) {
        offered = suggested;
        return answer;
    });
    const std::unique_ptr<QMenu> menu(box->createContextMenu());
    for (QAction* action : menu->actions()) {
        if (action->text() == QStringLiteral("Save as\u2026")) {
            action->trigger();
        }
    }
    return offered;
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
}

TEST_F(EchoSave, EachEchoWritesItsTextToTheFileChosenOrSaysWhyNot) {
    click("cmdPortOpen");
    setText("txtSendByte", "1A");
    click("cmdSendAByte");
    port.receive({0x00, 0x05, 0xAA});
    port.receive({0x7E});
    QTemporaryDir dir;
    EXPECT_EQ(saveAs(control<EchoBox>("txtLocalHex"), dir.filePath("sent.txt")), "transmitted.txt");
    EXPECT_EQ(saveAs(control<EchoBox>("txtRemoteHex"), dir.filePath("got.txt")), "received.txt");
    EXPECT_EQ(contents(dir.filePath("sent.txt")), "1A ");
    EXPECT_EQ(contents(dir.filePath("got.txt")), "&H00 &H05 &HAA \r\n&H7E \r\n");
    EXPECT_TRUE(boxes.shown().empty());

    // Cancelled, nothing is written; a file that cannot be written is told, the echo kept.
    saveAs(control<EchoBox>("txtRemoteHex"), QString());
    const QString missing = dir.filePath("gone/received.txt");
    boxes.answerOk();
    saveAs(control<EchoBox>("txtRemoteHex"), missing);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].icon, BoxIcon::Warning);
    EXPECT_TRUE(boxes.shown()[0].text.contains(missing));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList{"got.txt", "sent.txt"}));
    EXPECT_EQ(text("txtRemoteHex"), "&H00 &H05 &HAA \r\n&H7E \r\n");
}

} // namespace
} // namespace zelcor::test
