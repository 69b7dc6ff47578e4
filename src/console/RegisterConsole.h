// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>
#include <string>

class QLabel;
class QLineEdit;

namespace zelcor {

class EchoBox;
class WrenchLink;

// The register console's buttons on the main window: read and write one byte by address,
// send one raw byte, clear the echoes. Input is checked before anything is sent.
class RegisterConsole {
public:
    // The main window's controls the console reads and fills.
    struct Controls {
        QLineEdit* txtAddr1Read;
        QLineEdit* txtAddr0Read;
        std::array<QLineEdit*, 3> txtReadData;
        QLineEdit* txtAddr1Write;
        QLineEdit* txtAddr0Write;
        QLineEdit* txtWriteData;
        QLineEdit* txtSendByte;
        EchoBox* txtLocalHex;
        QLabel* lblErrorMessage;
    };

    RegisterConsole(WrenchLink& link, Controls controls) : m_link(link), m_ui(controls) {}

    void cmdRead_Click();
    void cmdWrite_Click();
    void cmdSendAByte_Click();
    void cmdClr_Click();

    // Outputs of the last Cleckhex call.
    bool HexError = false;
    std::string HexErrorMsg;

private:
    // Checks one field; on failure shows `prefix` and the reason in the error label.
    bool checkField(const QString& text, const QString& prefix);

    WrenchLink& m_link;
    Controls m_ui;
};

} // namespace zelcor
