// SPDX-License-Identifier: GPL-3.0-or-later
// The way Tab goes through each window, pressed key by key on the shown windows: row by row
// as they are laid out, a row's boxes before its own button, each group of the main window
// in one go.
#include "records/RecordsFixture.h"
#include "support/WrenchFixture.h"

#include "editor/frmRs232WRPara.h"
#include "history/HistoryWindow.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace zelcor::test {
namespace {

// The named control a focused widget is part of (a date box's own line edit is the box).
QWidget* ControlOf(QWidget* w) {
    while (w != nullptr && !w->isWindow() &&
           (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))) {
        w = w->parentWidget();
    }
    return w;
}

// The controls Tab stops at, once round the window from its first.
QList<QWidget*> TabStops(QWidget* window) {
    window->show();
    window->activateWindow();
    QApplication::processEvents();
    if (QWidget* focused = QApplication::focusWidget()) {
        focused->clearFocus();
    }
    QTest::keyClick(window, Qt::Key_Tab);
    QWidget* const first = QApplication::focusWidget();
    QList<QWidget*> stops;
    for (QWidget* w = first; w != nullptr && stops.size() < 200;) {
        stops << ControlOf(w);
        QTest::keyClick(w, Qt::Key_Tab);
        w = QApplication::focusWidget();
        if (w == first) {
            break;
        }
    }
    return stops;
}

std::string Names(const QList<QWidget*>& widgets) {
    QStringList names;
    for (const QWidget* w : widgets) {
        names << w->objectName();
    }
    return names.join(' ').toStdString();
}

QRect Place(const QWidget* w) {
    return {w->mapTo(w->window(), QPoint(0, 0)), w->size()};
}

QWidget* GroupOf(QWidget* w) {
    for (QWidget* p = w->parentWidget(); p != nullptr; p = p->parentWidget()) {
        if (qobject_cast<QGroupBox*>(p) != nullptr || p->isWindow()) {
            return p;
        }
    }
    return w;
}

bool SameRow(const QRect& a, const QRect& b) {
    return a.top() < b.top() + b.height() && b.top() < a.top() + a.height();
}

// A box the technician types into.
bool TypedInto(const QWidget* w) {
    const auto* line = qobject_cast<const QLineEdit*>(w);
    const auto* text = qobject_cast<const QPlainTextEdit*>(w);
    return (line != nullptr && !line->isReadOnly()) || (text != nullptr && !text->isReadOnly());
}

// Within a group each stop is to the right of the one before in the same row, or in a later
// row; Tab from a typed box reaches a button only in the box's own row (a Space there acts on
// the row the technician was typing in); and a group, once left, is not come back to.
void ExpectLaidOut(const QList<QWidget*>& stops) {
    for (qsizetype i = 0; i + 1 < stops.size(); ++i) {
        QWidget* a = stops[i];
        QWidget* b = stops[i + 1];
        const QRect ra = Place(a);
        const QRect rb = Place(b);
        const bool sameGroup = GroupOf(a) == GroupOf(b);
        if (sameGroup) {
            EXPECT_TRUE(rb.top() >= ra.top() + ra.height() ||
                        (SameRow(ra, rb) && rb.left() >= ra.left() + ra.width()))
                << a->objectName().toStdString() << " -> " << b->objectName().toStdString();
        }
        if (TypedInto(a) && qobject_cast<QPushButton*>(b) != nullptr) {
            EXPECT_TRUE(sameGroup && SameRow(ra, rb))
                << a->objectName().toStdString() << " -> " << b->objectName().toStdString();
        }
    }
    QList<QWidget*> groups;
    for (QWidget* w : stops) {
        if (groups.isEmpty() || groups.back() != GroupOf(w)) {
            EXPECT_FALSE(groups.contains(GroupOf(w))) << w->objectName().toStdString();
            groups << GroupOf(w);
        }
    }
}

using FocusOrder = WrenchFixture;

TEST_F(FocusOrder, TheMainWindowGoesRowByRowDownTheLeftColumnThenTheRight) {
    const QList<QWidget*> stops = TabStops(mainWindow.get());
    ExpectLaidOut(stops);
    QStringList groups;
    for (QWidget* w : stops) {
        const auto* group = qobject_cast<QGroupBox*>(GroupOf(w));
        if (group != nullptr && (groups.isEmpty() || groups.back() != group->title())) {
            groups << group->title();
        }
    }
    EXPECT_EQ(groups.join(", ").toStdString(), "Port, Parameter set, Live reading, "
                                               "Register console, Windows");

    // The Read row's boxes lead to Read, never on to the Write row's button (a Space there
    // would write to the wrench); the read data are shown only and take no focus.
    const qsizetype at = stops.indexOf(control("txtAddr0Read"));
    EXPECT_EQ(Names(stops.mid(at, 6)),
              "txtAddr0Read cmdRead txtAddr1Write txtAddr0Write txtWriteData cmdWrite");
    // Copy waits for the first Get.
    EXPECT_EQ(Names(stops.mid(stops.indexOf(control("txtParaReq")), 3)),
              "txtParaReq cmdGetPara txtSta");
}

TEST_F(FocusOrder, TheEditorGoesAlongItsStepsThenThroughTheCellsByAddress) {
    const QList<QWidget*> stops = TabStops(&mainWindow->editor());
    ExpectLaidOut(stops.mid(0, 10));
    // The cells below 10H are the wrench's own and take no focus.
    QStringList cells;
    for (int i = 0x10; i <= 0x2D; ++i) {
        cells << QString("Text1(%1)").arg(i) << QString("Check1(%1)").arg(i);
    }
    EXPECT_EQ(Names(stops.mid(9)), cells.join(' ').toStdString());
}

TEST_F(FocusOrder, CalibrationVerificationAndHistoryGoRowByRow) {
    const QList<QWidget*> calibration = TabStops(control("frmRs232WRCal"));
    ExpectLaidOut(calibration);
    EXPECT_EQ(calibration.size(), 24); // every control but Stop, usable during a run only
    // The settings down the left, the tester's port under them, then the table and Start.
    const QList<QWidget*> verification = TabStops(control("frmVerification"));
    ExpectLaidOut(verification);
    EXPECT_EQ(Names(verification.mid(11)), "txtRemark cmbTesterPort cmbTesterBaud "
                                           "cmbTesterDatabits cmbTesterParity cmbTesterStopbits "
                                           "grdReadings cmdStartRun");

    QTemporaryDir dir;
    HistoryWindow history(SqliteTarget(dir), [] { return std::string(); });
    const QList<QWidget*> stops = TabStops(&history);
    // The records page, then the pages' tabs; the dates wait for their ticks.
    EXPECT_EQ(Names(stops), "txtWrenchCode cmbJob chkSince chkUntil cmdRefresh cmdExport "
                            "grdRecords txtDetail grdWritten tabPages");
}

} // namespace
} // namespace zelcor::test
