// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/frmRs232SetCmd.h"

#include "app/LiveReadingPanel.h"
#include "app/ParameterSetPanel.h"
#include "app/PortPanel.h"
#include "calibration/frmRs232WRCal.h"
#include "common/TextConv.h"
#include "console/RegisterConsole.h"
#include "editor/frmRs232WRPara.h"
#include "history/HistoryWindow.h"
#include "records/DueList.h"
#include "session/WrenchSession.h"
#include "verification/VerificationWindow.h"
#include "widgets/Controls.h"
#include "widgets/ExchangeControls.h"

#include <QCloseEvent>
#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QSqlDatabase>
#include <QVBoxLayout>

namespace zelcor {

namespace {

// The maximum of the last verification with a verdict of the wrench `wrenchCode` in the
// records; none when they hold none or cannot be read (the technician types it then).
std::optional<double> LastVerifiedMaximum(const records::RecordsTarget& target,
                                          const std::string& wrenchCode) {
    if (target.kind == records::RecordsTarget::Kind::Off) {
        return std::nullopt;
    }
    const QString connection = QStringLiteral("zelcor-verification-maximum");
    QString error;
    if (!records::OpenRecordsDatabase(target, connection, error)) {
        return std::nullopt;
    }
    std::optional<double> maximum;
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        for (const records::DueEntry& entry : records::DueList(db, QDate::currentDate(), error)) {
            if (entry.wrenchCode == wrenchCode && !entry.recordId.empty()) {
                const auto record = records::ReadRecord(db, entry.recordId, error);
                if (record && record->verification) {
                    maximum = record->verification->settings.maximum;
                }
            }
        }
    }
    records::CloseRecordsDatabase(connection);
    return maximum;
}

} // namespace

frmRs232SetCmd::frmRs232SetCmd(WrenchSession& session, Platform platform, QWidget* parent)
    : QWidget(parent), m_platform(std::move(platform)), m_session(&session),
      m_exchangeControls(std::make_unique<ExchangeControls>()) {
    setObjectName(QStringLiteral("frmRs232SetCmd"));
    connect(m_session, &WrenchSession::busyChanged, this,
            [this](bool busy) { m_exchangeControls->setBusy(busy); });
    // The panels follow the port; the one that lost it says so after they have.
    connect(m_session, &WrenchSession::portOpened, this, [this] { showPortState(true); });
    connect(m_session, &WrenchSession::portClosed, this, [this] { showPortState(false); });
    connect(m_session, &WrenchSession::portLost, this, [this] { showPortState(false); });
    setWindowTitle(tr("Zelcor V1.3"));
    m_port = std::make_unique<PortPanel>(this, *m_session, m_platform.port, *m_exchangeControls);
    m_console = std::make_unique<RegisterConsole>(this, *m_session, *m_exchangeControls,
                                                  m_session->boxes());
    m_parameterSet = std::make_unique<ParameterSetPanel>(this, *m_session, *m_exchangeControls);
    m_liveReading = std::make_unique<LiveReadingPanel>(
        this, *m_session, *m_exchangeControls,
        [this](bool usable) { m_parameterSet->setUsable(usable); });

    auto* left = new QVBoxLayout;
    left->addWidget(m_port->group());
    left->addWidget(m_parameterSet->group());
    left->addWidget(m_liveReading->group());
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(m_console->group(), 1);
    auto* bottomRight = new QHBoxLayout;
    bottomRight->addStretch();
    bottomRight->addWidget(buildNavigation());
    right->addLayout(bottomRight);
    auto* top = new QHBoxLayout(this);
    top->addLayout(left);
    top->addLayout(right, 1);
    // Tab goes down the left column, then down the right one.
    chainTabOrder(m_port->tabOrder() + m_parameterSet->tabOrder() + m_liveReading->tabOrder() +
                  m_console->tabOrder() +
                  QList<QWidget*>{cmdRs232WRCal, cmdRs232WRPara, cmdVerification, Command1, cmdEnd,
                                  cmdHistory, Text1});
    Form_Load();
}

frmRs232SetCmd::~frmRs232SetCmd() = default;

QList<QWidget*> frmRs232SetCmd::windows() {
    return {this, m_editor.get(), m_calibration.get(), m_verification.get()};
}

void frmRs232SetCmd::choosePort(const QString& port) {
    m_port->choosePort(port);
}

QWidget* frmRs232SetCmd::buildNavigation() {
    auto* navigation = new QGroupBox(tr("Windows"), this);
    auto* navGrid = new QGridLayout(navigation);
    cmdRs232WRCal = makeButton(navigation, QStringLiteral("cmdRs232WRCal"), tr("cmdRs232WRCal"));
    cmdRs232WRPara = makeButton(navigation, QStringLiteral("cmdRs232WRPara"), tr("cmdRs232WRPara"));
    Command1 = makeButton(navigation, QStringLiteral("Command1"), tr("Command1"));
    cmdEnd = makeButton(navigation, QStringLiteral("cmdEnd"), tr("End"));
    cmdHistory = makeButton(navigation, QStringLiteral("cmdHistory"), tr("History"));
    cmdVerification = makeButton(navigation, QStringLiteral("cmdVerification"), tr("Verification"));
    navGrid->addWidget(cmdRs232WRCal, 0, 0);
    navGrid->addWidget(cmdRs232WRPara, 0, 1);
    navGrid->addWidget(Command1, 1, 0);
    navGrid->addWidget(cmdEnd, 1, 1);
    navGrid->addWidget(cmdHistory, 1, 2);
    navGrid->addWidget(cmdVerification, 0, 2);
    navGrid->addWidget(makeLabel(navigation, tr("Hw ver: rs232 v2.26")), 2, 0, 1, 2);
    // A box that has always sat on this window without a use: small, out of the way.
    Text1 = makeTextBox(navigation, QStringLiteral("Text1"), QStringLiteral("Text1"), 3);
    navGrid->addWidget(Text1, 3, 1, Qt::AlignRight);
    connect(cmdRs232WRPara, &QPushButton::clicked, this, [this] { cmdRs232WRPara_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(cmdRs232WRCal, &QPushButton::clicked, this, [this] { cmdRs232WRCal_Click(); });
    connect(cmdEnd, &QPushButton::clicked, this, [this] { cmdEnd_Click(); });
    connect(cmdHistory, &QPushButton::clicked, this, [this] { cmdHistory_Click(); });
    connect(cmdVerification, &QPushButton::clicked, this, [this] { cmdVerification_Click(); });
    return navigation;
}

void frmRs232SetCmd::Form_Load() {
    m_editor = std::make_unique<frmRs232WRPara>(*m_session, *this);
    m_calibration = std::make_unique<frmRs232WRCal>(*m_session, [this] { showMainWindow(); });
    m_verification = std::make_unique<VerificationWindow>(*m_session);
    m_verification->setPortSource([port = &m_platform.port] { return port->availablePorts(); });
    connect(m_verification.get(), &VerificationWindow::certificateRequested, this,
            [this](const QString& id) { writeCertificate(id); });
    m_verification->setMaximumSource(
        [this](const std::string& code) { return LastVerifiedMaximum(recordsTarget(), code); });
    m_session->resetReceive();
}

void frmRs232SetCmd::showPortState(bool open) {
    m_console->showPortState(open);
    m_parameterSet->setUsable(open);
    m_liveReading->showPortState(open);
}

void frmRs232SetCmd::showMainWindow() {
    show();
    raise();
    activateWindow();
}

void frmRs232SetCmd::cmdRs232WRPara_Click() {
    m_editor->show();
    m_editor->raise();
}

void frmRs232SetCmd::Command1_Click() {
    cmdRs232WRPara_Click();
}

void frmRs232SetCmd::cmdRs232WRCal_Click() {
    m_calibration->show();
    m_calibration->raise();
}

void frmRs232SetCmd::setSimulatedTesterPort(std::string device) {
    m_simulatedTesterPort = std::move(device);
    m_verification->setTesterPort(QString::fromStdString(m_simulatedTesterPort));
}

void frmRs232SetCmd::cmdVerification_Click() {
    m_verification->show();
    m_verification->raise();
    m_verification->activateWindow();
}

void frmRs232SetCmd::setRecordsTarget(records::RecordsTarget target) {
    if (m_recordsTarget != target) {
        m_history.reset(); // opened again on the new target
        m_recordsTarget = std::move(target);
    }
}

records::RecordsTarget frmRs232SetCmd::recordsTarget() const {
    std::string error;
    return m_recordsTarget ? *m_recordsTarget : *records::ParseRecordsTarget("", error);
}

void frmRs232SetCmd::writeCertificate(const QString& recordId) {
    // The History window writes certificates from the records it has open; what became of
    // this one is said in a box, the History window being hidden perhaps.
    const QString outcome = historyWindow().writeCertificate(recordId);
    if (!outcome.isEmpty()) {
        m_platform.boxes.show(outcome, tr("Certificate"), BoxIcon::Information, BoxButtons::Ok);
    }
}

HistoryWindow& frmRs232SetCmd::historyWindow() {
    if (!m_history) {
        // The connected wrench's code, once it has been read on this connection.
        m_history = std::make_unique<HistoryWindow>(recordsTarget(),
                                                    [this] { return m_session->wrenchCode(); });
    }
    return *m_history;
}

void frmRs232SetCmd::cmdHistory_Click() {
    historyWindow();
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
}

void frmRs232SetCmd::cmdEnd_Click() {
    if (m_ending) {
        return;
    }
    m_ending = true;
    // Release the port and take every window off the screen before the program goes, so
    // neither an open port nor a hidden window outlives it.
    m_session->close();
    m_editor->hide();
    m_calibration->hide();
    m_verification->hide();
    if (m_history) {
        m_history->hide();
    }
    hide();
    if (m_platform.endProgram) {
        m_platform.endProgram();
    }
}

void frmRs232SetCmd::closeEvent(QCloseEvent* event) {
    // The window's close button ends the program as "End" does.
    cmdEnd_Click();
    event->accept();
}

} // namespace zelcor
