// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Platform.h"
#include "records/RecordStore.h"

#include <QList>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>

class QLineEdit;
class QPushButton;

namespace zelcor {

class ExchangeControls;
class HistoryWindow;
class LiveReadingPanel;
class ParameterSetPanel;
class PortPanel;
class RegisterConsole;
class WrenchSession;
class frmRs232WRCal;
class frmRs232WRPara;
class VerificationWindow;

// The main window: the port, the register console, the parameter set and the live reading
// (a panel each), the named parameter list and the way to the two other windows. It is given
// the session every window shows and works through, which outlives it.
class frmRs232SetCmd : public QWidget {
    Q_OBJECT
public:
    // Creating the window loads it: the controls are built and Form_Load runs.
    frmRs232SetCmd(WrenchSession& session, Platform platform, QWidget* parent = nullptr);
    ~frmRs232SetCmd() override;

    WrenchSession& session() const { return *m_session; }
    frmRs232WRPara& editor() const { return *m_editor; }
    frmRs232WRCal& calibration() const { return *m_calibration; }
    VerificationWindow& verification() const { return *m_verification; }
    // Where the History window reads the service records; the default SQLite file until the
    // program sets it (from --records).
    void setRecordsTarget(records::RecordsTarget target);
    records::RecordsTarget recordsTarget() const;
    // The certificate of the verification run kept as the record `recordId`, from the records,
    // to the file the technician chooses, as the History window writes it (the Verification
    // window asks for it).
    void writeCertificate(const QString& recordId);
    // The History window, once "History" (or a certificate) has made it.
    HistoryWindow* history() const { return m_history.get(); }
    // The windows a script plays against, this one first.
    QList<QWidget*> windows();
    // The port to open, as if typed into "Com No", after the system's ports are read afresh.
    void choosePort(const QString& port);
    // The device of the simulated reference tester, the tester's port to offer; empty when the
    // program does not simulate. The Verification window offers it as the tester's port.
    void setSimulatedTesterPort(std::string device);
    std::string simulatedTesterPort() const { return m_simulatedTesterPort; }

    void cmdRs232WRPara_Click();
    void Command1_Click();
    void cmdRs232WRCal_Click();
    void cmdEnd_Click();
    void cmdHistory_Click();
    void cmdVerification_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    QWidget* buildNavigation();
    void showPortState(bool open);
    void showMainWindow();
    // The History window, made on the records' place when first needed.
    HistoryWindow& historyWindow();

    Platform m_platform;
    WrenchSession* m_session;
    std::unique_ptr<ExchangeControls> m_exchangeControls;
    std::unique_ptr<PortPanel> m_port;
    std::unique_ptr<RegisterConsole> m_console;
    std::unique_ptr<ParameterSetPanel> m_parameterSet;
    std::unique_ptr<LiveReadingPanel> m_liveReading;
    std::unique_ptr<frmRs232WRPara> m_editor;
    std::unique_ptr<frmRs232WRCal> m_calibration;
    std::unique_ptr<VerificationWindow> m_verification;
    std::optional<records::RecordsTarget> m_recordsTarget;
    std::unique_ptr<HistoryWindow> m_history;
    QPushButton* cmdRs232WRCal = nullptr;
    QPushButton* cmdRs232WRPara = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* cmdEnd = nullptr;
    QPushButton* cmdHistory = nullptr;
    QPushButton* cmdVerification = nullptr;
    QLineEdit* Text1 = nullptr;
    std::string m_simulatedTesterPort;
    bool m_ending = false;
};

} // namespace zelcor
