// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SerialPort.h"
#include "wrench/Verification.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace zelcor {

class ExchangeControls;
class PortComboBox;
class WrenchSession;

// The verification run: the wrench pulled against a reference tester at set points of its
// range. The window holds the run's settings, starts the session's run with them and shows
// what the session holds of it as it goes: the prompt for the pull asked for now, every
// reading with its deviation, each point's mean, largest deviation, spread and verdict, and
// the run's verdict, in colour and in words. The reference comes from the tester on a port of
// its own, or is typed into the reading's row ("typed" as the tester's port).
class VerificationWindow : public QWidget {
    Q_OBJECT
public:
    // The wrench's maximum of its last verification in the records, for a wrench code; none
    // when it has none.
    using MaximumSource = std::function<std::optional<double>(const std::string& wrenchCode)>;

    explicit VerificationWindow(WrenchSession& session, QWidget* parent = nullptr);
    ~VerificationWindow() override;

    // The system's serial ports, for the tester's port list.
    void setPortSource(std::function<std::vector<PortInfo>()> source);
    // The tester's port offered when the window starts ("typed" until then).
    void setTesterPort(const QString& port);
    // Where the maximum of the connected wrench's last verification is looked up each time the
    // window is shown, to fill the maximum unless another one has been typed.
    void setMaximumSource(MaximumSource source) { m_maximumSource = std::move(source); }
    // The record the run that ended last was kept as: its certificate can be written.
    void runRecorded(const QString& recordId);

    // The settings as the form holds them; false, with the reason, for a text that is not a
    // number where one is wanted.
    bool readSettings(VerificationSettings& settings, QString& problem) const;
    void showSettings(const VerificationSettings& settings);

    void cmdStartRun_Click();
    void cmdNextPull_Click();
    void cmdRepeatLast_Click();
    void cmdStopRun_Click();
    void cmdCertificate_Click();

signals:
    // "Certificate…": the certificate of the run kept as `recordId` is asked for.
    void certificateRequested(const QString& recordId);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    QWidget* buildSettings();
    QWidget* buildTester();
    // The window after a change of the session's run.
    void showRun();
    void fillTable();
    void showVerdict();
    void showButtons();
    bool testerTyped() const;
    // A run is going on, or starting: asked for and not shown by the session yet.
    bool runGoingOn() const;
    void referenceTyped(QTableWidgetItem* item);
    void warn(const QString& text);

    WrenchSession& m_session;
    std::unique_ptr<ExchangeControls> m_exchangeControls;
    MaximumSource m_maximumSource;
    QString m_recordId;
    // The maximum the records offered last.
    QString m_offeredMaximum;
    bool m_filling = false;
    bool m_starting = false;
    // The row of the pull in progress, whose reference may be typed; -1 when there is none.
    int m_pendingRow = -1;

    QWidget* m_settings = nullptr;
    QLineEdit* txtMaximum = nullptr;
    QLineEdit* txtPoints = nullptr;
    QLineEdit* txtReadings = nullptr;
    QLineEdit* txtTolerance = nullptr;
    QLineEdit* txtPreloads = nullptr;
    QComboBox* cmbDirection = nullptr;
    QComboBox* cmbState = nullptr;
    QComboBox* cmbDigits = nullptr;
    QLineEdit* txtTechnician = nullptr;
    QLineEdit* txtTester = nullptr;
    QLineEdit* txtTesterDue = nullptr;
    QLineEdit* txtRemark = nullptr;
    PortComboBox* cmbTesterPort = nullptr;
    QComboBox* cmbTesterBaud = nullptr;
    QComboBox* cmbTesterDatabits = nullptr;
    QComboBox* cmbTesterParity = nullptr;
    QComboBox* cmbTesterStopbits = nullptr;
    QLabel* lblTesterLine = nullptr;
    QLabel* lblPrompt = nullptr;
    QTableWidget* grdReadings = nullptr;
    QLabel* lblVerdict = nullptr;
    QPushButton* cmdStartRun = nullptr;
    QPushButton* cmdNextPull = nullptr;
    QLineEdit* txtRepeatReason = nullptr;
    QPushButton* cmdRepeatLast = nullptr;
    QPushButton* cmdStopRun = nullptr;
    QPushButton* cmdCertificate = nullptr;
};

} // namespace zelcor
