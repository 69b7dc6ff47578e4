// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/frmRs232WRCal.h"

#include "calibration/TorqueCalc.h"
#include "calibration/TorquePlot.h"
#include "common/TextConv.h"
#include "platform/Clock.h"
#include "platform/MessageBoxes.h"
#include "serial/WrenchLink.h"
#include "widgets/Controls.h"
#include "widgets/ExchangeControls.h"
#include "widgets/Shape.h"

#include "ui_frmRs232WRCal.h"

#include <array>
#include <cmath>
#include <utility>

namespace zelcor {

namespace {

// Lit indicators are pure red.
const QColor kIndicatorSet(255, 0, 0);

QString hexText(std::uint8_t value) {
    return QString::fromStdString(ByteToHexStr(value));
}

std::string boxText(const QLineEdit* box) {
    return box->text().toStdString();
}

} // namespace

frmRs232WRCal::frmRs232WRCal(WrenchLink& link, MainWindowHooks hooks)
    : m_link(link), m_hooks(std::move(hooks)), m_ui(std::make_unique<Ui::frmRs232WRCal>()),
      m_exchangeControls(std::make_unique<ExchangeControls>(link)) {
    m_ui->setupUi(this);
    const int byteBoxWidth = fontMetrics().horizontalAdvance(QStringLiteral("&HWW")) + 16;
    for (QLineEdit* box : findChildren<QLineEdit*>()) {
        if (box != m_ui->txtDelayTime && box != m_ui->txtTk) {
            box->setFixedWidth(byteBoxWidth);
        }
    }
    m_ui->chtTorque->setMessageBoxes(m_link.boxes());

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
}

void frmRs232WRCal::Form_Load() {
    PtDivisor = 10;
    // The same rules as every combo box of the program: what was typed stays as typed.
    setUpComboBox(m_ui->cmbPt, m_ui->cmbPt->objectName(), QStringLiteral("1位"), 5);
    cmbPt_Click();
    for (Shape* indicator : {m_ui->shpInv, m_ui->shpCWMinus, m_ui->shpCCWMinus}) {
        setIndicator(indicator, false);
    }
    showTestButtons();
}

void frmRs232WRCal::cmbPt_Click() {
    const QString text = m_ui->cmbPt->currentText();
    if (text == QStringLiteral("1位")) {
        PtDivisor = 10;
    } else if (text == QStringLiteral("2位")) {
        PtDivisor = 100;
    } else if (text == QStringLiteral("3位")) {
        PtDivisor = 1000;
    }
}

void frmRs232WRCal::cmdReakAllKandA_Click() {
    const std::array<std::pair<std::uint8_t, QLineEdit*>, 9> steps{{
        {0x10, m_ui->txtgStatusEp},
        {0x11, m_ui->txtgk_cwi_l},
        {0x12, m_ui->txtgk_cwi_h},
        {0x13, m_ui->txtgk_ccwi_l},
        {0x14, m_ui->txtgk_ccwi_h},
        {0x25, m_ui->txtgk_cwg_l},
        {0x26, m_ui->txtgk_cwg_h},
        {0x27, m_ui->txtgk_ccwg_l},
        {0x28, m_ui->txtgk_ccwg_h},
    }};
    const WrenchLink::Hold hold(m_link);
    for (const auto& [InAddr0, box] : steps) {
        std::uint8_t OutResult = 0;
        std::uint8_t OutData0 = 0;
        std::uint8_t OutData1 = 0;
        std::uint8_t OutData2 = 0;
        if (!m_link.SendReadCmd_Chk(0x00, InAddr0, OutResult, OutData0, OutData1, OutData2)) {
            m_link.ShowCommResult(OutResult);
            return;
        }
        box->setText(QStringLiteral("&H") + hexText(OutData0));
    }
}

void frmRs232WRCal::CmdCal_Click() {
    std::uint8_t OutResult = 0;
    std::uint8_t OutData0 = 0;
    std::uint8_t OutData1 = 0;
    std::uint8_t OutData2 = 0;
    if (!m_link.SendReadCmd_Chk(0x00, 0x02, OutResult, OutData0, OutData1, OutData2)) {
        m_link.ShowCommResult(OutResult);
        return;
    }
    const QString low = hexText(OutData0);
    const QString high = hexText(OutData1);
    if (m_hooks.showRawValue) {
        m_hooks.showRawValue(low, high);
    }
    m_ui->txta_Ad_Ajust_L->setText(QStringLiteral("&H") + low);
    m_ui->txta_Ad_Ajust_H->setText(QStringLiteral("&H") + high);
    m_ui->txtgStatus->setText(QStringLiteral("&H") + hexText(OutData2));
}

void frmRs232WRCal::CmdESCCal_Click() {
    std::uint8_t OutResult = 0;
    if (!m_link.SendWriteCmd_Chk(0x00, 0x02, 0x00, OutResult)) {
        m_link.ShowCommResult(OutResult);
    }
}

void frmRs232WRCal::readCommand(std::uint8_t InAddr0) {
    std::uint8_t OutResult = 0;
    std::uint8_t OutData0 = 0;
    std::uint8_t OutData1 = 0;
    std::uint8_t OutData2 = 0;
    // The wrench only echoes the address here, which never counts as data: a correct echo
    // leaves the result at 0 and ShowCommResult shows nothing for it.
    if (!m_link.SendReadCmd_Chk(0x00, InAddr0, OutResult, OutData0, OutData1, OutData2)) {
        m_link.ShowCommResult(OutResult);
    }
}

void frmRs232WRCal::cmdRst232_Click() {
    readCommand(0x00);
}

void frmRs232WRCal::cmdESC232_Click() {
    readCommand(0x01);
}

void frmRs232WRCal::cmdReturn_Click() {
    hide();
    if (m_hooks.showMainWindow) {
        m_hooks.showMainWindow();
    }
}

void frmRs232WRCal::setIndicator(Shape* shape, bool set) {
    // Clear, an indicator takes the background of the window's text areas.
    shape->setFillColor(set ? kIndicatorSet : palette().color(QPalette::Base));
}

void frmRs232WRCal::cmdCalTk_Click() {
    const TorqueBoxes boxes{
        boxText(m_ui->txta_Ad_Ajust_L), boxText(m_ui->txta_Ad_Ajust_H), boxText(m_ui->txtgStatus),
        boxText(m_ui->txtgk_cwi_l),     boxText(m_ui->txtgk_cwi_h),     boxText(m_ui->txtgk_ccwi_l),
        boxText(m_ui->txtgk_ccwi_h),    boxText(m_ui->txtgk_cwg_l),     boxText(m_ui->txtgk_cwg_h),
        boxText(m_ui->txtgk_ccwg_l),    boxText(m_ui->txtgk_ccwg_h),    boxText(m_ui->txtgStatusEp),
    };
    const TorqueResult result = ComputeTorque(boxes, PtDivisor);
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
    const QString text = QString::fromStdString(result.text);
    m_ui->txtTk->setText(text);
    if (m_hooks.showTorque) {
        m_hooks.showTorque(text);
    }
    if (!result.overflow) {
        m_ui->chtTorque->addPoint(m_link.clock().nowMs(), result.ad, result.torque);
    }
}

bool frmRs232WRCal::readPause(std::int16_t& OutPause) {
    const double pause = std::floor(ValueOfText(boxText(m_ui->txtDelayTime)));
    if (pause >= 1 && pause <= 32767) {
        OutPause = static_cast<std::int16_t>(pause);
        return true;
    }
    m_link.boxes().show(
        QStringLiteral("The pause \"%1\" cannot be used: it must be a whole number of "
                       "milliseconds from 1 to 32767.\r\nThe test has not been started.")
            .arg(m_ui->txtDelayTime->text()),
        QStringLiteral("Pause"), BoxIcon::Exclamation, BoxButtons::Ok);
    return false;
}

void frmRs232WRCal::yieldToEvents() {
    bool passed = false;
    const auto timer = m_link.clock().createTimer([&passed] { passed = true; });
    timer->start(0);
    m_link.clock().waitUntil([&passed] { return passed; });
}

void frmRs232WRCal::showTestButtons() {
    m_exchangeControls->setEnabled(m_ui->cmdTestStart, !gTestRunning);
    m_ui->cmdTestStop->setEnabled(gTestRunning);
}

void frmRs232WRCal::showTestState() {
    showTestButtons();
    if (m_hooks.testRunning) {
        m_hooks.testRunning(gTestRunning);
    }
}

void frmRs232WRCal::cmdTestStart_Click() {
    if (gTestRunning) {
        // A second run here would sit inside the first one's waits and hold it up until it
        // ended; the one that runs simply goes on.
        StopTest = false;
        showTestState();
        return;
    }
    std::int16_t pause = 0;
    if (!readPause(pause)) {
        return;
    }
    {
        // The run is one operation on the link: nothing else starts an exchange meanwhile.
        const WrenchLink::Hold hold(m_link);
        StopTest = false;
        gTestRunning = true;
        showTestState();
        // The stop request is looked at only here, so a cycle that has begun always ends
        // with its computation.
        while (!StopTest) {
            m_link.clearEchoes();
            CmdCal_Click();
            m_link.MyDelay(pause);
            cmdCalTk_Click();
            yieldToEvents();
        }
        gTestRunning = false;
    }
    showTestState();
}

void frmRs232WRCal::cmdTestStop_Click() {
    StopTest = true;
    // A run that is going on sets the buttons back itself when it has ended.
    if (!gTestRunning) {
        showTestState();
    }
}

} // namespace zelcor
