#pragma once

#include <QString>

#include <string>

namespace zelcor {

class frmRs232SetCmd;

// The register console's buttons on the main window: read and write one byte by address,
// send one raw byte, clear the echoes. Input is checked before anything is sent.
class RegisterConsole {
public:
    explicit RegisterConsole(frmRs232SetCmd& window) : m_window(window) {}

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

    frmRs232SetCmd& m_window;
};

} // namespace zelcor
