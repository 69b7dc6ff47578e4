// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class QLineEdit;

namespace Ui {
class frmRs232WRCal;
}

namespace zelcor {

class ExchangeControls;
class Shape;
class TorquePlot;
class WrenchLink;

// The calibration window: the wrench's calibration constants, its serial-link and calibration
// modes, the live raw value, the torque computed from it, and the test run that repeats
// reading and computing until it is stopped. The main window's live reading drives the same
// operations whether or not this window is on the screen.
class frmRs232WRCal : public QWidget {
    Q_OBJECT
public:
    // What the calibration does to the main window.
    struct MainWindowHooks {
        // A test run has started (true) or ended (false): "Reading On" and "Reading OFF".
        std::function<void(bool running)> testRunning;
        // The live raw value as two hexadecimal digits each: "DUT(hex)_L", "DUT(hex)_H".
        std::function<void(const QString& adL, const QString& adH)> showRawValue;
        // The computed torque, the text this window's txtTk shows.
        std::function<void(const QString& torque)> showTorque;
        // "返回" brings the main window back.
        std::function<void()> showMainWindow;
    };

    frmRs232WRCal(WrenchLink& link, MainWindowHooks hooks = {});
    ~frmRs232WRCal() override;

    // Reads gStatusEp and the four constants' bytes into their boxes, one read each; the
    // first failed read is reported and ends the command.
    void cmdReakAllKandA_Click();
    // Enters calibration mode and shows the live raw value and status it answers with.
    void CmdCal_Click();
    // Resets the wrench's serial-link mode.
    void cmdRst232_Click();
    // Runs the test: read the live value, pause, compute, again and again until stopped.
    // Returns when the run has ended. A pause in txtDelayTime that is not a whole number from
    // 1 to 32767 is refused with a box and nothing starts. Asked for while a run is going on,
    // it keeps that run going (withdrawing a stop asked for) and returns at once.
    void cmdTestStart_Click();
    // Asks a run to stop after its current cycle and returns at once; the main window's
    // "Reading On" and "Reading OFF" are set back when the run has ended (at once when none
    // is running).
    void cmdTestStop_Click();

    // A run is going on (it may have been asked to stop): what other code waits for.
    bool testRunning() const { return gTestRunning; }

    TorquePlot& plot() const;

    // The divisor of the displayed torque: 10, 100 or 1000 from cmbPt; the main window's live
    // reading sets it directly (1 is allowed there).
    std::int16_t PtDivisor = 10;

private:
    void Form_Load();
    void cmbPt_Click();
    void CmdESCCal_Click();
    void cmdESC232_Click();
    void cmdReturn_Click();
    void cmdCalTk_Click();

    void connectHandlers();
    // A command that reads 00 InAddr0 and uses no data: only a failure is reported.
    void readCommand(std::uint8_t InAddr0);
    // The pause of a run from txtDelayTime, or a box saying why it cannot be one.
    bool readPause(std::int16_t& OutPause);
    // Lets the window events waiting now run, as a wait: "End" in it ends the program as in
    // any other wait.
    void yieldToEvents();
    // The run's state on the Start and Stop buttons, and also on the main window.
    void showTestButtons();
    void showTestState();
    void setIndicator(Shape* shape, bool set);

    WrenchLink& m_link;
    MainWindowHooks m_hooks;
    std::unique_ptr<Ui::frmRs232WRCal> m_ui;
    std::unique_ptr<ExchangeControls> m_exchangeControls;
    bool StopTest = false;
    bool gTestRunning = false;
};

} // namespace zelcor
