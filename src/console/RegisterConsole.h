// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>

#include <array>
#include <string>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace zelcor {

class EchoBox;
class ExchangeControls;
class MessageBoxes;
class WrenchSession;

// The register console of the main window: read and write one byte by address, send one raw
// byte, reset the receive engine, the reply length it counts on, and the transmit and
// receive echoes. Input is checked before anything is sent.
class RegisterConsole {
    Q_DECLARE_TR_FUNCTIONS(zelcor::RegisterConsole)

public:
    RegisterConsole(QWidget* parent, WrenchSession& session, ExchangeControls& controls,
                    MessageBoxes& boxes);

    QGroupBox* group() const { return m_group; }
    // Its controls in the order Tab goes through them: row by row as laid out.
    QList<QWidget*> tabOrder() const;
    // Sets the address boxes of Read and Write to 00 addr0; nothing is sent.
    void setAddress(const QString& addr0);
    // Send Byte needs an open port; Read, Write and Reset 232 keep the state the first
    // opening gave them.
    void showPortState(bool open);

    // Fills the address boxes of Read and Write for the parameter chosen by its name.
    void Combo1_Click();
    void cmdRead_Click();
    void cmdWrite_Click();
    void cmdSendAByte_Click();
    void cmdClr_Click();
    void cmdRstSend_Click();
    void txtReplyNo_Change();

private:
    void build(QWidget* parent, MessageBoxes& boxes);
    // Checks one field; on failure shows `prefix` and the reason in the error label.
    bool checkField(const QLineEdit* box, const QString& prefix);

    WrenchSession& m_session;
    ExchangeControls& m_controls;
    QGroupBox* m_group = nullptr;
    QComboBox* Combo1 = nullptr;
    QPushButton* cmdRstSend = nullptr;
    QPushButton* cmdSendAByte = nullptr;
    QLineEdit* txtSendByte = nullptr;
    QPushButton* cmdRead = nullptr;
    QLineEdit* txtAddr1Read = nullptr;
    QLineEdit* txtAddr0Read = nullptr;
    std::array<QLineEdit*, 3> txtReadData{};
    QPushButton* cmdWrite = nullptr;
    QLineEdit* txtAddr1Write = nullptr;
    QLineEdit* txtAddr0Write = nullptr;
    QLineEdit* txtWriteData = nullptr;
    QLineEdit* txtReplyNo = nullptr;
    QLineEdit* txtState = nullptr;
    EchoBox* txtLocalHex = nullptr;
    EchoBox* txtRemoteHex = nullptr;
    QPushButton* cmdClr = nullptr;
    QLabel* lblErrorMessage = nullptr;
};

} // namespace zelcor
