// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/frmRs232WRCal.h"

#include "calibration/TorqueCalc.h"
#include "calibration/TorquePlot.h"
#include "common/TextConv.h"
#include "session/WrenchSession.h"
#include "widgets/Controls.h"
#include "widgets/ExchangeControls.h"
#include "widgets/Shape.h"

#include "ui_frmRs232WRCal.h"

#include <array>
#include <utility>

namespace zelcor {

namespace {

// Lit indicators are pure red.
const QColor kIndicatorSet(255, 0, 0);

} // namespace

frmRs232WRCal::frmRs232WRCal(WrenchSession& session, std::function<void()> showMainWindow)
    : m_session(session), m_showMainWindow(std::move(showMainWindow)),
      m_ui(std::make_unique<Ui::frmRs232WRCal>()),
      m_exchangeControls(std::make_unique<ExchangeControls>(session.link())) {
    m_ui->setupUi(this);
    const int byteBoxWidth = fontMetrics().horizontalAdvance(QStringLiteral("&HWW")) + 16;
    for (QLineEdit* box : findChildren<QLineEdit*>()) {
        if (box != m_ui->txtDelayTime && box != m_ui->txtTk) {
            box->setFixedWidth(byteBoxWidth);
        }
    }
    m_ui->chtTorque->setMessageBoxes(m_session.boxes());

    // One exchange at a time: the commands that talk to the wrench wait while any runs.
    // Stop stays usable, to end a run from inside its waits.
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_ui->cmdReakAllKandA, m_ui->cmdRst232, m_ui->cmdESC232,
                                         m_ui->CmdCal, m_ui->CmdESCCal, m_ui->cmdTestStart}) {
        m_exchangeControls->add(w);
    }
    connectHandlers();
    Form_Load();
}

frmRs232WRCal::~frmRs232WRCal() = default;

TorquePlot& frmRs232WRCal::plot() const {
    return *m_ui->chtTorque;
}

QLineEdit* frmRs232WRCal::boxOf(CalField field) const {
    switch (field) {
    case CalField::AdL:
        return m_ui->txta_Ad_Ajust_L;
    case CalField::AdH:
        return m_ui->txta_Ad_Ajust_H;
    case CalField::Status:
        return m_ui->txtgStatus;
    case CalField::CwiL:
        return m_ui->txtgk_cwi_l;
    case CalField::CwiH:
        return m_ui->txtgk_cwi_h;
    case CalField::CcwiL:
        return m_ui->txtgk_ccwi_l;
    case CalField::CcwiH:
        return m_ui->txtgk_ccwi_h;
    case CalField::CwgL:
        return m_ui->txtgk_cwg_l;
    case CalField::CwgH:
        return m_ui->txtgk_cwg_h;
    case CalField::CcwgL:
        return m_ui->txtgk_ccwg_l;
    case CalField::CcwgH:
        return m_ui->txtgk_ccwg_h;
    case CalField::StatusEp:
        return m_ui->txtgStatusEp;
    }
    return nullptr;
}

void frmRs232WRCal::connectHandlers() {
    const auto on = [this](QPushButton* button, void (frmRs232WRCal::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
    };
    on(m_ui->cmdReakAllKandA, &frmRs232WRCal::cmdReakAllKandA_Click);
    on(m_ui->cmdRst232, &frmRs232WRCal::cmdRst232_Click);
    on(m_ui->cmdESC232, &frmRs232WRCal::cmdESC232_Click);
    on(m_ui->CmdCal, &frmRs232WRCal::CmdCal_Click);
    on(m_ui->CmdESCCal, &frmRs232WRCal::CmdESCCal_Click);
    on(m_ui->cmdCalTk, &frmRs232WRCal::cmdCalTk_Click);
    on(m_ui->cmdTestStart, &frmRs232WRCal::cmdTestStart_Click);
    on(m_ui->cmdTestStop, &frmRs232WRCal::cmdTestStop_Click);
    on(m_ui->cmdReturn, &frmRs232WRCal::cmdReturn_Click);
    connect(m_ui->cmbPt, &QComboBox::activated, this, [this] { cmbPt_Click(); });

    // What the technician types into a value's box is that value from now on.
    for (int f = 0; f <= static_cast<int>(CalField::StatusEp); ++f) {
        const auto field = static_cast<CalField>(f);
        connect(boxOf(field), &QLineEdit::textChanged, this, [this, field](const QString& text) {
            if (!m_showing) {
                m_session.setCalibrationValue(field, BoxValue(text.toStdString()));
            }
        });
    }
    connect(m_ui->txtDelayTime, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_session.setTestPause(text.toStdString()); });

    connect(&m_session, &WrenchSession::calibrationValueRead, this,
            [this](CalField field) { showRead(field); });
    connect(
        &m_session, &WrenchSession::torqueComputed, this,
        [this](const TorqueResult& result, std::int64_t timeMs) { showTorque(result, timeMs); });
    connect(&m_session, &WrenchSession::testRunningChanged, this,
            [this](bool running) { showTestButtons(running); });
}

void frmRs232WRCal::Form_Load() {
    // The same rules as every combo box of the program: what was typed stays as typed.
    setUpComboBox(m_ui->cmbPt, m_ui->cmbPt->objectName(), QStringLiteral("1位"), 5);
    cmbPt_Click();
    m_session.setTestPause(m_ui->txtDelayTime->text().toStdString());
    for (Shape* indicator : {m_ui->shpInv, m_ui->shpCWMinus, m_ui->shpCCWMinus}) {
        setIndicator(indicator, false);
    }
    showTestButtons(m_session.testRunning());
}

void frmRs232WRCal::cmbPt_Click() {
    const QString text = m_ui->cmbPt->currentText();
    for (int digits = 1; digits <= 3; ++digits) {
        if (text == QStringLiteral("%1位").arg(digits)) {
            m_session.setDivisor(*DivisorForDigits(digits));
        }
    }
}

void frmRs232WRCal::showRead(CalField field) {
    const TorqueValue value = m_session.calibration().*CalFieldMember(field);
    m_showing = true;
    boxOf(field)->setText(
        QStringLiteral("&H") +
        QString::fromStdString(ByteToHexStr(static_cast<std::uint8_t>(value.value_or(0)))));
    m_showing = false;
}

void frmRs232WRCal::cmdReakAllKandA_Click() {
    m_session.readConstants();
}

void frmRs232WRCal::CmdCal_Click() {
    m_session.enterCalibration();
}

void frmRs232WRCal::CmdESCCal_Click() {
    m_session.leaveCalibration();
}

void frmRs232WRCal::cmdRst232_Click() {
    m_session.resetLinkMode();
}

void frmRs232WRCal::cmdESC232_Click() {
    m_session.leaveLinkMode();
}

void frmRs232WRCal::cmdReturn_Click() {
    hide();
    if (m_showMainWindow) {
        m_showMainWindow();
    }
}

void frmRs232WRCal::setIndicator(Shape* shape, bool set) {
    // Clear, an indicator takes the background of the window's text areas.
    shape->setFillColor(set ? kIndicatorSet : palette().color(QPalette::Base));
}

void frmRs232WRCal::cmdCalTk_Click() {
    m_session.computeTorque();
}

void frmRs232WRCal::showTorque(const TorqueResult& result, std::int64_t timeMs) {
    // A computation that could not be finished has still set the flags it got to.
    if (result.inv) {
        setIndicator(m_ui->shpInv, *result.inv);
    }
    if (result.cwMinus) {
        setIndicator(m_ui->shpCWMinus, *result.cwMinus);
    }
    if (result.ccwMinus) {
        setIndicator(m_ui->shpCCWMinus, *result.ccwMinus);
    }
    m_ui->txtTk->setText(QString::fromStdString(result.text));
    if (!result.overflow) {
        m_ui->chtTorque->addPoint(timeMs, result.ad, result.torque);
    }
}

void frmRs232WRCal::showTestButtons(bool running) {
    m_exchangeControls->setEnabled(m_ui->cmdTestStart, !running);
    m_ui->cmdTestStop->setEnabled(running);
}

void frmRs232WRCal::cmdTestStart_Click() {
    m_session.runTest();
}

void frmRs232WRCal::cmdTestStop_Click() {
    m_session.stopTest();
}

} // namespace zelcor
