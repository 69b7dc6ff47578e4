// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zelcor {

class WrenchLink;
class frmRs232WRPara;
struct DigitsAndDirection;

// Get and Write of the parameter set, for the main window's two buttons. Both do their
// reading and writing through the memory editor's cells and transfers, and hold the link
// for their whole run, so no other exchange gets between their steps.
class ParameterTransfer {
public:
    // The main window's controls these operations read and fill.
    struct Controls {
        QLabel* lblMsg;
        QLabel* lblMsg1;
        QLineEdit* txtSta;
        QLineEdit* txtVIH;
        QLineEdit* txtVIL;
        QLineEdit* txtVAH;
        QLineEdit* txtVAL;
        QLineEdit* txtSta1;
        QLineEdit* txtVIH1;
        QLineEdit* txtVIL1;
        QLineEdit* txtVAH1;
        QLineEdit* txtVAL1;
        QPlainTextEdit* txtNewPara;
        QLineEdit* txtParaReq;
        QPushButton* cmdCopyReq;
    };

    // `setting` gives the direction and digits chosen in the main window at the moment of
    // asking; `nextRequestCode` a new four-digit request number.
    ParameterTransfer(WrenchLink& link, frmRs232WRPara& editor, Controls controls,
                      std::function<DigitsAndDirection()> setting,
                      std::function<std::string()> nextRequestCode,
                      std::function<void(std::int32_t raw)> showMaxTorque);

    // Reads the wrench's set into gCurPara, shows its status and constants, and puts the
    // parameter request into txtParaReq for the technician to copy.
    void cmdGetPara_Click();
    // Checks the new-parameter text of txtNewPara against the wrench and, only when every
    // check holds, writes its status byte and constants.
    void cmdWrPara_Click();
    // Puts the parameter request on the clipboard.
    void cmdCopyReq_Click();
    // Reads the maximum torque the wrench keeps (23H, 24H, with the status 10H) and hands
    // the raw value to `showMaxTorque`.
    void cmdRdMaxTk_Click();
    // Clears the error flag (bit 7 of the status 10H) and the stored maximum torque.
    void cmdClrEr0_Click();

private:
    bool confirm(const QString& text, const QString& title);
    void reportError(const QString& text);
    // Clears the editor, selects the cells and lets the editor read them.
    void readCells(std::initializer_list<int> cells);
    // The first steps of Read Max Torque and Clear Er0: status and maximum torque read.
    void readMaxTorqueCells();
    std::string cellText(int address) const;

    WrenchLink& m_link;
    frmRs232WRPara& m_editor;
    Controls m_ui;
    std::function<DigitsAndDirection()> m_setting;
    std::function<std::string()> m_nextRequestCode;
    std::function<void(std::int32_t)> m_showMaxTorque;
};

} // namespace zelcor
