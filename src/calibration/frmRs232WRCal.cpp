// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/frmRs232WRCal.h"

#include "calibration/TorquePlot.h"
#include "common/TextConv.h"
#include "session/WrenchSession.h"
#include "widgets/Controls.h"
#include "widgets/ExchangeControls.h"
#include "widgets/Shape.h"
#include "wrench/TorqueCalc.h"

#include <QChartView>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <utility>

namespace zelcor {

namespace {

// Lit indicators are pure red.
const QColor kIndicatorSet(255, 0, 0);

// The wrench's digits after the decimal point, as cmbPt lists them, and what they mean.
const char* const kDigitItems[] = {QT_TRANSLATE_NOOP("zelcor::frmRs232WRCal", "1位"),
                                   QT_TRANSLATE_NOOP("zelcor::frmRs232WRCal", "2位"),
                                   QT_TRANSLATE_NOOP("zelcor::frmRs232WRCal", "3位")};
const char* const kDigitMeanings[] = {QT_TRANSLATE_NOOP("zelcor::frmRs232WRCal", "1 digit"),
                                      QT_TRANSLATE_NOOP("zelcor::frmRs232WRCal", "2 digits"),
                                      QT_TRANSLATE_NOOP("zelcor::frmRs232WRCal", "3 digits")};

} // namespace

frmRs232WRCal::frmRs232WRCal(WrenchSession& session, std::function<void()> showMainWindow)
    : m_session(session), m_showMainWindow(std::move(showMainWindow)),
      m_exchangeControls(std::make_unique<ExchangeControls>()) {
    setObjectName(QStringLiteral("frmRs232WRCal"));
    connect(&m_session, &WrenchSession::busyChanged, this,
            [this](bool busy) { m_exchangeControls->setBusy(busy); });
    setWindowTitle(tr("扳手校正命令"));
    resize(1060, 500);
    buildControls();
    chtTorque->setMessageBoxes(m_session.boxes());
    chtTorque->setHistory(
        [this]() -> const std::vector<TorqueSample>& { return m_session.torqueHistory(); },
        [this] { m_session.clearTorqueHistory(); });

    // One exchange at a time: the commands that talk to the wrench wait while any runs.
    // Stop stays usable, to end a run from inside its waits.
    for (QWidget* w : std::initializer_list<QWidget*>{cmdReakAllKandA, cmdRst232, cmdESC232, CmdCal,
                                                      CmdESCCal, cmdTestStart}) {
        m_exchangeControls->add(w);
    }
    connectHandlers();
    Form_Load();
}

frmRs232WRCal::~frmRs232WRCal() = default;

TorquePlot& frmRs232WRCal::plot() const {
    return *chtTorque;
}

QPushButton* frmRs232WRCal::button(const char* name, const QString& caption,
                                   const QString& meaning) {
    return makeButton(this, QString::fromLatin1(name), caption, meaning);
}

QLineEdit* frmRs232WRCal::valueBox(const char* name) {
    // Wide enough for a byte as the window shows it, "&H3C".
    return makeFixedBox(this, QString::fromLatin1(name), QString(), 4);
}

QLayout* frmRs232WRCal::indicator(Shape*& shape, const char* name, const char* labelName,
                                  const QString& caption) {
    auto* row = new QHBoxLayout;
    shape = new Shape(this);
    shape->setObjectName(QString::fromLatin1(name));
    shape->setFixedSize(16, 16);
    row->addWidget(shape);
    row->addWidget(makeLabel(this, caption, QString::fromLatin1(labelName)));
    return row;
}

void frmRs232WRCal::buildControls() {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(4);
    const auto label = [this](const char* name, const QString& caption) {
        return makeLabel(this, caption, QString::fromLatin1(name));
    };
    const auto row = [grid](int r, std::initializer_list<QWidget*> widgets) {
        int c = 0;
        for (QWidget* w : widgets) {
            grid->addWidget(w, r, c++);
        }
    };

    // Clockwise constants: first order, second order, then the stored status; then
    // counter-clockwise.
    row(0, {label("Label20", tr("gK_CWI_H")), label("Label19", tr("gK_CWI_L")),
            label("Label21", tr("gK_CWA_H")), label("Label22", tr("gK_CWA_L")),
            label("Label10", tr("gStatusEp"))});
    txtgk_cwi_h = valueBox("txtgk_cwi_h");
    txtgk_cwi_l = valueBox("txtgk_cwi_l");
    txtgk_cwg_h = valueBox("txtgk_cwg_h");
    txtgk_cwg_l = valueBox("txtgk_cwg_l");
    txtgStatusEp = valueBox("txtgStatusEp");
    row(1, {txtgk_cwi_h, txtgk_cwi_l, txtgk_cwg_h, txtgk_cwg_l, txtgStatusEp});
    row(2, {label("Label33", tr("gK_CCWI_H")), label("Label34", tr("gK_CCWI_L")),
            label("Label32", tr("gK_CCWA_H")), label("Label31", tr("gK_CCWA_L"))});
    grid->addLayout(indicator(shpCWMinus, "shpCWMinus", "Label11", tr("CW minus")), 2, 4);
    txtgk_ccwi_h = valueBox("txtgk_ccwi_h");
    txtgk_ccwi_l = valueBox("txtgk_ccwi_l");
    txtgk_ccwg_h = valueBox("txtgk_ccwg_h");
    txtgk_ccwg_l = valueBox("txtgk_ccwg_l");
    row(3, {txtgk_ccwi_h, txtgk_ccwi_l, txtgk_ccwg_h, txtgk_ccwg_l});
    grid->addLayout(indicator(shpCCWMinus, "shpCCWMinus", "Label35", tr("CCW minus")), 3, 4);

    // Decimal digits, at the left edge under the constants: with them it is what the torque
    // is computed from, and Tab from the last constant comes to it before any command.
    cmbPt = new QComboBox(this);
    QLabel* digitsLabel = label("Label1", tr("扳手小數位"));
    digitsLabel->setToolTip(tr("Wrench decimal places"));
    grid->setRowMinimumHeight(4, 10);
    grid->addWidget(digitsLabel, 5, 0);
    grid->addWidget(cmbPt, 5, 1);
    grid->setRowMinimumHeight(6, 14);

    // The mode and read commands in a column; leaving calibration mode beside and a little
    // below entering it.
    // The captions in the system's own language carry their meaning in English.
    cmdReakAllKandA =
        button("cmdReakAllKandA", tr("讀取校正參數"), tr("Read Calibration Parameters"));
    cmdRst232 = button("cmdRst232", tr("Reset 扳手RS232模式"), tr("Reset Wrench RS232 Mode"));
    cmdESC232 = button("cmdESC232", tr("離開 扳手RS232模式"), tr("Leave Wrench RS232 Mode"));
    CmdCal = button("CmdCal", tr("讀取扳手值(進入校正模式)"),
                    tr("Read Wrench Values (Enter Calibration Mode)"));
    CmdESCCal = button("CmdESCCal", tr("離開校正模式"), tr("Leave Calibration Mode"));
    cmdCalTk = button("cmdCalTk", tr("計算扳手扭力值"), tr("Calculate Wrench Torque"));
    grid->addWidget(cmdReakAllKandA, 7, 0, 1, 2);
    grid->addWidget(cmdRst232, 8, 0, 1, 2);
    grid->addWidget(cmdESC232, 9, 0, 1, 2);
    grid->addWidget(CmdCal, 10, 0, 1, 2);
    grid->addWidget(CmdESCCal, 10, 2, 2, 2, Qt::AlignBottom);
    grid->addWidget(cmdCalTk, 12, 4);

    // The live value, its status, the INV indicator and the torque in one row.
    grid->addWidget(label("Label28", tr("a_Ad_Ajust_H")), 13, 0);
    grid->addWidget(label("Label27", tr("a_Ad_Ajust_L")), 13, 1);
    grid->addWidget(label("Label29", tr("gStatus")), 13, 2);
    grid->addWidget(label("Label30", tr("Torque value(N-m)")), 13, 4);
    txta_Ad_Ajust_H = valueBox("txta_Ad_Ajust_H");
    txta_Ad_Ajust_L = valueBox("txta_Ad_Ajust_L");
    txtgStatus = valueBox("txtgStatus");
    row(14, {txta_Ad_Ajust_H, txta_Ad_Ajust_L, txtgStatus});
    grid->addLayout(indicator(shpInv, "shpInv", "Label4", tr("INV")), 14, 3);
    txtTk = makeTextBox(this, QStringLiteral("txtTk"), QStringLiteral("0"));
    grid->addWidget(txtTk, 14, 4);

    // The test run under the torque.
    auto* testRow = new QHBoxLayout;
    txtDelayTime = makeTextBox(this, QStringLiteral("txtDelayTime"), QStringLiteral("300"));
    txtDelayTime->setMaximumWidth(56);
    txtDelayTime->setToolTip(tr("Pause between two readings, in ms (1 to 32767)"));
    cmdTestStart = button("cmdTestStart", tr("Start"));
    cmdTestStop = button("cmdTestStop", tr("Stop"));
    testRow->addStretch();
    testRow->addWidget(txtDelayTime);
    testRow->addWidget(cmdTestStart);
    testRow->addWidget(cmdTestStop);
    grid->addLayout(testRow, 15, 3, 1, 2);
    grid->setRowStretch(16, 1);

    // The torque over the last minute, and the way back in the bottom right corner.
    auto* plotColumn = new QVBoxLayout;
    chtTorque = new TorquePlot(this);
    chtTorque->setObjectName(QStringLiteral("chtTorque"));
    chtTorque->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    chtTorque->setMinimumSize(420, 300);
    cmdReturn = button("cmdReturn", tr("返回"), tr("Back"));
    auto* returnRow = new QHBoxLayout;
    returnRow->addStretch();
    returnRow->addWidget(cmdReturn);
    plotColumn->addWidget(chtTorque, 1);
    plotColumn->addLayout(returnRow);

    auto* window = new QHBoxLayout(this);
    window->setSpacing(18);
    window->addLayout(grid);
    window->addLayout(plotColumn, 1);

    // The plot takes the focus in its chart view.
    QWidget* plotView = chtTorque->findChild<QChartView*>();
    chainTabOrder({txtgk_cwi_h,     txtgk_cwi_l,     txtgk_cwg_h,     txtgk_cwg_l,  txtgStatusEp,
                   txtgk_ccwi_h,    txtgk_ccwi_l,    txtgk_ccwg_h,    txtgk_ccwg_l, cmbPt,
                   cmdReakAllKandA, cmdRst232,       cmdESC232,       CmdCal,       CmdESCCal,
                   cmdCalTk,        txta_Ad_Ajust_H, txta_Ad_Ajust_L, txtgStatus,   txtTk,
                   txtDelayTime,    cmdTestStart,    cmdTestStop,     plotView,     cmdReturn});
}

QLineEdit* frmRs232WRCal::boxOf(CalField field) const {
    switch (field) {
    case CalField::AdL:
        return txta_Ad_Ajust_L;
    case CalField::AdH:
        return txta_Ad_Ajust_H;
    case CalField::Status:
        return txtgStatus;
    case CalField::CwiL:
        return txtgk_cwi_l;
    case CalField::CwiH:
        return txtgk_cwi_h;
    case CalField::CcwiL:
        return txtgk_ccwi_l;
    case CalField::CcwiH:
        return txtgk_ccwi_h;
    case CalField::CwgL:
        return txtgk_cwg_l;
    case CalField::CwgH:
        return txtgk_cwg_h;
    case CalField::CcwgL:
        return txtgk_ccwg_l;
    case CalField::CcwgH:
        return txtgk_ccwg_h;
    case CalField::StatusEp:
        return txtgStatusEp;
    }
    return nullptr;
}

void frmRs232WRCal::connectHandlers() {
    const auto on = [this](QPushButton* button, void (frmRs232WRCal::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
    };
    on(cmdReakAllKandA, &frmRs232WRCal::cmdReakAllKandA_Click);
    on(cmdRst232, &frmRs232WRCal::cmdRst232_Click);
    on(cmdESC232, &frmRs232WRCal::cmdESC232_Click);
    on(CmdCal, &frmRs232WRCal::CmdCal_Click);
    on(CmdESCCal, &frmRs232WRCal::CmdESCCal_Click);
    on(cmdCalTk, &frmRs232WRCal::cmdCalTk_Click);
    on(cmdTestStart, &frmRs232WRCal::cmdTestStart_Click);
    on(cmdTestStop, &frmRs232WRCal::cmdTestStop_Click);
    on(cmdReturn, &frmRs232WRCal::cmdReturn_Click);
    connect(cmbPt, &QComboBox::activated, this, [this] { cmbPt_Click(); });

    // What the technician types into a value's box is that value from now on.
    for (int f = 0; f <= static_cast<int>(CalField::StatusEp); ++f) {
        const auto field = static_cast<CalField>(f);
        connect(boxOf(field), &QLineEdit::textChanged, this, [this, field](const QString& text) {
            if (!m_showing) {
                m_session.setCalibrationValue(field, BoxValue(text.toStdString()));
            }
        });
    }
    connect(txtDelayTime, &QLineEdit::textChanged, this,
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
    setUpComboBox(cmbPt, QStringLiteral("cmbPt"), tr(kDigitItems[0]), 5);
    cmbPt->setToolTip(tr("Digits after the decimal point"));
    QStringList items;
    for (const char* item : kDigitItems) {
        items << tr(item);
    }
    addComboItems(cmbPt, items);
    for (int i = 0; i < cmbPt->count(); ++i) {
        cmbPt->setItemData(i, tr(kDigitMeanings[i]), Qt::ToolTipRole);
    }
    cmbPt_Click();
    m_session.setTestPause(txtDelayTime->text().toStdString());
    for (Shape* indicator : {shpInv, shpCWMinus, shpCCWMinus}) {
        setIndicator(indicator, false);
    }
    showTestButtons(m_session.testRunning());
}

void frmRs232WRCal::cmbPt_Click() {
    // The item as the window shows it, or typed in the system's own words.
    const QString text = cmbPt->currentText();
    for (int digits = 1; digits <= 3; ++digits) {
        const char* item = kDigitItems[digits - 1];
        if (text == tr(item) || text == QString::fromUtf8(item)) {
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
        setIndicator(shpInv, *result.inv);
    }
    if (result.cwMinus) {
        setIndicator(shpCWMinus, *result.cwMinus);
    }
    if (result.ccwMinus) {
        setIndicator(shpCCWMinus, *result.ccwMinus);
    }
    txtTk->setText(QString::fromStdString(result.text));
    if (!result.overflow) {
        chtTorque->addPoint(timeMs, result.torque);
    }
}

void frmRs232WRCal::showTestButtons(bool running) {
    m_exchangeControls->setEnabled(cmdTestStart, !running);
    cmdTestStop->setEnabled(running);
}

void frmRs232WRCal::cmdTestStart_Click() {
    m_session.runTest();
}

void frmRs232WRCal::cmdTestStop_Click() {
    m_session.stopTest();
}

} // namespace zelcor
