// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/frmRs232SetCmd.h"
#include "session/WrenchSession.h"
#include "support/RecordingPort.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/VirtualClock.h"

#include <gtest/gtest.h>

#include <QString>
#include <QWidget>

#include <memory>

namespace zelcor::test {

// The three windows on a virtual clock, scripted boxes and a port double: a test reads like
// a technician's session (set a text, click a button, look at the windows and the wire).
class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override;
    // The port the windows talk through: the recording double unless a suite has a wrench.
    virtual SerialPort& windowPort() { return port; }
    void TearDown() override;

    // A control by its system name, optionally qualified with its window
    // ("frmRs232WRCal.txtTk"); a window's own name gives the window. Fails the test when
    // the name is unknown or names controls in more than one window.
    QWidget* control(const QString& name) const;
    template <typename T> T* control(const QString& name) const {
        auto* typed = qobject_cast<T*>(control(name));
        EXPECT_NE(typed, nullptr) << name.toStdString() << " is not of the expected type";
        return typed;
    }

    // What the user sees: a box's or combo's text, a button's, label's or window's caption,
    // a check box's value as "0"/"1".
    QString text(const QString& name) const;
    void setText(const QString& name, const QString& text);
    // Presses a button as the user would: nothing happens when it is disabled.
    void click(const QString& name);
    // Types into a control from the keyboard as the user would: its window shown and active,
    // the control focused and its text selected, then the keys and Enter.
    void typeAndEnter(QWidget* w, const QString& keys);
    bool enabled(const QString& name) const;
    // Shown when its window is shown (not hidden itself or by a parent inside its window).
    bool shown(const QString& name) const;

    VirtualClock clock;
    ScriptedMessageBoxes boxes;
    RecordingPort port{clock};
    int endRequests = 0;
    // The session the program makes and hands to the windows; it outlives them.
    std::unique_ptr<WrenchSession> session;
    std::unique_ptr<frmRs232SetCmd> mainWindow;
};

} // namespace zelcor::test
