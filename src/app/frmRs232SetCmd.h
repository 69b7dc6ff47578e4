// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Platform.h"
#include "widgets/PortComboBox.h"

#include <QList>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zelcor {

class EchoBox;
class ExchangeControls;
class ParameterTransfer;
class ReceiveEngine;
class RegisterConsole;
class Shape;
class frmRs232WRPara;
class frmRs232WRCal;
class WrenchLink;

// The main window: port settings, register console, parameter set transfer, live reading,
// the named parameter list and the way to the two other windows. It owns the link to the
// wrench that every window's exchanges go through.
class frmRs232SetCmd : public QWidget {
    Q_OBJECT
public:
    // Creating the window loads it: the controls are built and Form_Load runs.
    explicit frmRs232SetCmd(Platform platform, QWidget* parent = nullptr);
    ~frmRs232SetCmd() override;

    frmRs232WRPara& editor() const { return *m_editor; }
    frmRs232WRCal& calibration() const { return *m_calibration; }
    // The three windows, this one first.
    QList<QWidget*> windows();
    Platform& platform() { return m_platform; }
    // The link every window exchanges through.
    WrenchLink& link() const { return *m_link; }
    ReceiveEngine& engine() const;

    // Handlers, named as the buttons and events they serve.
    void Form_Load();
    void cmdPortOpen_Click();
    void cmdPortClose_Click();
    void cmdRstSend_Click();
    void cmdRead_Click();
    void cmdWrite_Click();
    void cmdSendAByte_Click();
    void cmdClr_Click();
    void txtReplyNo_Change();
    void cmbDir_Click();
    void cmbFraN_Click();
    void cmbFraN1_Click();
    void cmdGetPara_Click();
    void cmdWrPara_Click();
    void cmdCopyReq_Click();
    void cmdRdMaxTk_Click();
    void cmdAutoOn_Click();
    void cmdAutoOff_Click();
    void cmdClrEr0_Click();
    void Combo1_Click();
    void cmdRs232WRPara_Click();
    void Command1_Click();
    void cmdRs232WRCal_Click();
    void cmdEnd_Click();

    // The exchanges every window goes through, forwarded to the link. Each blocks its caller
    // until the reply is in or has timed out; window events go on meanwhile.
    void SendOneByte(std::uint8_t InpB);
    bool SendReadCmd_Chk(std::uint8_t InAddr1, std::uint8_t InAddr0, std::uint8_t& OutResult,
                         std::uint8_t& OutData0, std::uint8_t& OutData1, std::uint8_t& OutData2);
    bool SendWriteCmd_Chk(std::uint8_t InAddr1, std::uint8_t InAddr0, std::uint8_t InData,
                          std::uint8_t& OutResult);
    void ShowCommResult(std::uint8_t Result);
    void HelpMsg();
    void MyDelay(std::int16_t Period);

    // Port settings.
    PortComboBox* cmbComSelect = nullptr;
    QComboBox* cmbBaudrate = nullptr;
    QComboBox* cmbDatabit = nullptr;
    QComboBox* cmbParity = nullptr;
    QComboBox* cmbStopbit = nullptr;
    QPushButton* cmdPortOpen = nullptr;
    QPushButton* cmdPortClose = nullptr;

    // Register console.
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

    // Parameter set and live reading.
    QPushButton* cmdGetPara = nullptr;
    // The parameter request of the last Get, to be copied and sent to the factory.
    QLineEdit* txtParaReq = nullptr;
    QPushButton* cmdCopyReq = nullptr;
    QLineEdit* txtSta = nullptr;
    QLineEdit* txtVIH = nullptr;
    QLineEdit* txtVIL = nullptr;
    QLineEdit* txtVAH = nullptr;
    QLineEdit* txtVAL = nullptr;
    QLineEdit* txtSta1 = nullptr;
    QLineEdit* txtVIH1 = nullptr;
    QLineEdit* txtVIL1 = nullptr;
    QLineEdit* txtVAH1 = nullptr;
    QLineEdit* txtVAL1 = nullptr;
    QPlainTextEdit* txtNewPara = nullptr;
    QPushButton* cmdWrPara = nullptr;
    QComboBox* cmbDir = nullptr;
    QLineEdit* txta_Ad_Ajust_H = nullptr;
    QLineEdit* txta_Ad_Ajust_L = nullptr;
    QLineEdit* txtTk = nullptr;
    QPushButton* cmdAutoOn = nullptr;
    QPushButton* cmdAutoOff = nullptr;
    Shape* Shape1 = nullptr;
    QComboBox* cmbFraN = nullptr;
    QComboBox* cmbFraN1 = nullptr;
    QPushButton* cmdRdMaxTk = nullptr;
    QLineEdit* txtMaxTk = nullptr;
    QPushButton* cmdClrEr0 = nullptr;
    QLabel* lblMsg = nullptr;
    QLabel* lblMsg1 = nullptr;

    // Named parameters.
    QComboBox* Combo1 = nullptr;

    // Navigation and exit.
    QPushButton* cmdRs232WRCal = nullptr;
    QPushButton* cmdRs232WRPara = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* cmdEnd = nullptr;
    QLineEdit* Text1 = nullptr;

    // Live reading settings and the last maximum torque.
    bool DirCCW = false;
    std::int16_t FraDigits = 1;
    std::int32_t MaxTkRaw = 0;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void connectHandlers();
    void onPortLost(const std::string& message);
    void showClosedPortState();
    void setControlEnabled(QWidget* control, bool enabled);
    // The digits chosen in either list: both lists then show FraDigits, and the maximum
    // torque is shown with that many.
    void takeFraDigits(const QString& text);
    // Live reading off: lamp pale red, "Reading On", "Get" and "Write" usable with an open
    // port, "Reading OFF" not.
    void showLiveReadingOff();
    // MaxTkRaw with FraDigits digits after the point.
    void showMaxTorque();

    Platform m_platform;
    // Declared before the windows that use it, so it outlives them.
    std::unique_ptr<WrenchLink> m_link;
    std::unique_ptr<ExchangeControls> m_exchangeControls;
    std::unique_ptr<RegisterConsole> m_console;
    std::unique_ptr<frmRs232WRPara> m_editor;
    std::unique_ptr<frmRs232WRCal> m_calibration;
    std::unique_ptr<ParameterTransfer> m_transfer;
    bool m_ending = false;
};

} // namespace zelcor
