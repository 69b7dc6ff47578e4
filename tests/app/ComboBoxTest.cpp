// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/WindowFixture.h"

#include "script/ControlLookup.h"

#include <QComboBox>

namespace zelcor::test {
namespace {

using ComboBoxes = WindowFixture;

// The windows compare what a combo box holds with their names exactly (models, parameter
// names, directions, port settings), so a box must neither complete a typed beginning nor
// change the case of what was typed, and Enter must not add it to the list. Each box gets
// the beginning of one of its own items in lower case.
TEST_F(ComboBoxes, EveryEditableOneKeepsExactlyWhatWasTyped) {
    int tried = 0;
    for (QWidget* window : mainWindow->windows()) {
        for (QComboBox* combo : window->findChildren<QComboBox*>()) {
            if (!combo->isEditable() || combo->count() == 0) {
                continue;
            }
            const int items = combo->count();
            const QString typed = combo->itemText(items - 1).chopped(1).toLower();
            if (typed.isEmpty()) {
                continue;
            }
            SCOPED_TRACE((combo->objectName() + " <- \"" + typed + '"').toStdString());
            ++tried;
            typeAndEnter(combo, typed);
            EXPECT_EQ(combo->currentText().toStdString(), typed.toStdString());
            EXPECT_EQ(combo->count(), items);
        }
    }
    EXPECT_GE(tried, 6); // the port settings, direction, decimals and parameter names at least
}

} // namespace
} // namespace zelcor::test
