// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/WindowFixture.h"

#include "script/ControlLookup.h"
#include "session/WrenchSession.h"
#include "wrench/RequestCode.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>

namespace zelcor::test {

void WindowFixture::SetUp() {
    session = std::make_unique<WrenchSession>(clock, windowPort(), boxes, NextRequestCode);
    mainWindow = std::make_unique<frmRs232SetCmd>(
        *session, Platform{clock, windowPort(), boxes, [this] { ++endRequests; }});
}

void WindowFixture::TearDown() {
    // The windows, then the session: its link lets go of the port, which may be a member of
    // a derived fixture and so go before this fixture's own members.
    mainWindow.reset();
    session.reset();
    EXPECT_EQ(boxes.unusedAnswers(), 0) << "answers queued for boxes that never came";
}

QWidget* WindowFixture::control(const QString& name) const {
    const FoundControl found = findControl(mainWindow->windows(), name);
    if (found.widget == nullptr) {
        ADD_FAILURE() << found.error.toStdString();
    }
    return found.widget;
}

QString WindowFixture::text(const QString& name) const {
    QWidget* w = control(name);
    return w != nullptr ? controlText(w) : QString();
}

void WindowFixture::setText(const QString& name, const QString& value) {
    if (QWidget* w = control(name)) {
        setControlText(w, value);
    }
}

void WindowFixture::click(const QString& name) {
    if (auto* button = control<QAbstractButton>(name)) {
        button->click();
    }
}

void WindowFixture::typeAndEnter(QWidget* w, const QString& keys) {
    w->window()->show();
    w->window()->activateWindow();
    w->setFocus();
    QApplication::processEvents(); // the activation, which the platform hands on as an event
    EXPECT_TRUE(w->hasFocus()) << w->objectName().toStdString() << " did not take the focus";
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(w, keys);
    QTest::keyClick(w, Qt::Key_Return);
}

bool WindowFixture::enabled(const QString& name) const {
    QWidget* w = control(name);
    return w != nullptr && w->isEnabled();
}

bool WindowFixture::shown(const QString& name) const {
    QWidget* w = control(name);
    return w != nullptr && (w->isWindow() ? w->isVisible() : w->isVisibleTo(w->window()));
}

} // namespace zelcor::test
