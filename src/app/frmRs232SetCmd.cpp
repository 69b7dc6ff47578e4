// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/frmRs232SetCmd.h"

#include "calibration/ParameterMap.h"
#include "calibration/frmRs232WRCal.h"
#include "common/TextConv.h"
#include "console/RegisterConsole.h"
#include "editor/frmRs232WRPara.h"
#include "paramset/ParaRecord.h"
#include "paramset/ParameterTransfer.h"
#include "paramset/RequestCode.h"
#include "platform/MessageBoxes.h"
#include "serial/PortSettings.h"
#include "serial/WrenchLink.h"
#include "widgets/Controls.h"
#include "widgets/EchoBox.h"
#include "widgets/ExchangeControls.h"
#include "widgets/Shape.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace zelcor {

namespace {

// The lamp of the live reading: red while it runs, pale red while it is off.
const QColor kLampOff(255, 192, 192);
const QColor kLampOn(255, 0, 0);

QStringList numberItems(int from, int to) {
    QStringList items;
    for (int i = from; i <= to; ++i) {
        items << QString::fromStdString(NumberText(i));
    }
    return items;
}

} // namespace

frmRs232SetCmd::frmRs232SetCmd(Platform platform, QWidget* parent)
    : QWidget(parent), m_platform(std::move(platform)) {
    setObjectName(QStringLiteral("frmRs232SetCmd"));
    setWindowTitle(QStringLiteral("Zelcor V1.3"));
    WrenchLink::Echo echo;
    echo.appendLocal = [this](const std::string& text) {
        txtLocalHex->appendText(QString::fromStdString(text));
    };
    echo.appendRemote = [this](const std::string& text) {
        txtRemoteHex->appendText(QString::fromStdString(text));
    };
    echo.clear = [this] {
        txtLocalHex->clearText();
        txtRemoteHex->clearText();
    };
    echo.showState = [this](const std::string& state) {
        txtState->setText(QString::fromStdString(state));
    };
    m_link = std::make_unique<WrenchLink>(m_platform.clock, m_platform.port, m_platform.boxes,
                                          std::move(echo));
    m_link->setPortLostHandler([this](const std::string& message) { onPortLost(message); });
    m_exchangeControls = std::make_unique<ExchangeControls>(*m_link);
    buildControls();
    m_console = std::make_unique<RegisterConsole>(
        *m_link, RegisterConsole::Controls{txtAddr1Read, txtAddr0Read, txtReadData, txtAddr1Write,
                                           txtAddr0Write, txtWriteData, txtSendByte, txtLocalHex,
                                           lblErrorMessage});
    connectHandlers();
    Form_Load();
}

frmRs232SetCmd::~frmRs232SetCmd() = default;

QList<QWidget*> frmRs232SetCmd::windows() {
    return {this, m_editor.get(), m_calibration.get()};
}

ReceiveEngine& frmRs232SetCmd::engine() const {
    return m_link->engine();
}

void frmRs232SetCmd::buildControls() {
    // Port settings: one row at the top left.
    auto* portGroup = new QGroupBox(QStringLiteral("Port"), this);
    auto* portRow = new QHBoxLayout(portGroup);
    portRow->addWidget(makeLabel(portGroup, QStringLiteral("Com No")));
    cmbComSelect =
        new PortComboBox(portGroup, QStringLiteral("cmbComSelect"), QStringLiteral("1"), 10);
    cmbComSelect->setPortSource([this] { return m_platform.port.availablePorts(); });
    cmbBaudrate = makeComboBox(portGroup, QStringLiteral("cmbBaudrate"), QStringLiteral("1200"));
    addComboItems(cmbBaudrate, {QStringLiteral("1200"), QStringLiteral("2400")});
    cmbDatabit = makeComboBox(portGroup, QStringLiteral("cmbDatabit"), QStringLiteral("8"), 2);
    addComboItems(cmbDatabit, {QStringLiteral("7"), QStringLiteral("8")});
    cmbParity = makeComboBox(portGroup, QStringLiteral("cmbParity"), QStringLiteral("N"), 2);
    cmbStopbit = makeComboBox(portGroup, QStringLiteral("cmbStopbit"), QStringLiteral("2"), 2);
    addComboItems(cmbStopbit, {QStringLiteral("1"), QStringLiteral("2")});
    cmdPortOpen =
        makeButton(portGroup, QStringLiteral("cmdPortOpen"), QStringLiteral("&Port Open"));
    cmdPortClose =
        makeButton(portGroup, QStringLiteral("cmdPortClose"), QStringLiteral("Port &Close"));
    for (QWidget* w :
         std::initializer_list<QWidget*>{cmbComSelect, cmbBaudrate, cmbDatabit, cmbParity,
                                         cmbStopbit, cmdPortOpen, cmdPortClose}) {
        portRow->addWidget(w);
    }
    portRow->addStretch();

    // Register console: top right.
    auto* console = new QGroupBox(QStringLiteral("Register console"), this);
    auto* grid = new QGridLayout(console);
    cmdRstSend = makeButton(console, QStringLiteral("cmdRstSend"), QStringLiteral("Reset 232"));
    cmdSendAByte = makeButton(console, QStringLiteral("cmdSendAByte"), QStringLiteral("Send Byte"));
    txtSendByte = makeTextBox(console, QStringLiteral("txtSendByte"), QStringLiteral("00"));
    grid->addWidget(cmdRstSend, 0, 0);
    grid->addWidget(makeLabel(console, QStringLiteral("Data")), 0, 1, Qt::AlignRight);
    grid->addWidget(txtSendByte, 0, 2);
    grid->addWidget(cmdSendAByte, 0, 3);

    cmdRead = makeButton(console, QStringLiteral("cmdRead"), QStringLiteral("Read"));
    txtAddr1Read = makeTextBox(console, QStringLiteral("txtAddr1Read"), QStringLiteral("00"));
    txtAddr0Read = makeTextBox(console, QStringLiteral("txtAddr0Read"), QStringLiteral("05"));
    const QStringList readHeaders{QStringLiteral("Addr1"), QStringLiteral("Addr0"),
                                  QStringLiteral("Data0"), QStringLiteral("Data1"),
                                  QStringLiteral("Data2")};
    for (int i = 0; i < readHeaders.size(); ++i) {
        grid->addWidget(makeLabel(console, readHeaders[i]), 1, i + 1);
    }
    grid->addWidget(cmdRead, 2, 0);
    grid->addWidget(txtAddr1Read, 2, 1);
    grid->addWidget(txtAddr0Read, 2, 2);
    for (int i = 0; i < 3; ++i) {
        txtReadData[i] =
            makeTextBox(console, QStringLiteral("txtReadData(%1)").arg(i), QStringLiteral("XX"));
        txtReadData[i]->setEnabled(false); // display only
        grid->addWidget(txtReadData[i], 2, 3 + i);
    }

    cmdWrite = makeButton(console, QStringLiteral("cmdWrite"), QStringLiteral("Write"));
    txtAddr1Write = makeTextBox(console, QStringLiteral("txtAddr1Write"), QStringLiteral("00"));
    txtAddr0Write = makeTextBox(console, QStringLiteral("txtAddr0Write"), QStringLiteral("05"));
    txtWriteData = makeTextBox(console, QStringLiteral("txtWriteData"), QStringLiteral("00"));
    grid->addWidget(makeLabel(console, QStringLiteral("Addr1")), 3, 1);
    grid->addWidget(makeLabel(console, QStringLiteral("Addr0")), 3, 2);
    grid->addWidget(makeLabel(console, QStringLiteral("Data")), 3, 3);
    grid->addWidget(cmdWrite, 4, 0);
    grid->addWidget(txtAddr1Write, 4, 1);
    grid->addWidget(txtAddr0Write, 4, 2);
    grid->addWidget(txtWriteData, 4, 3);

    txtReplyNo = makeTextBox(console, QStringLiteral("txtReplyNo"), QStringLiteral("10"));
    txtState = makeTextBox(console, QStringLiteral("txtState"), QStringLiteral("State"), 8);
    txtState->setReadOnly(true);
    grid->addWidget(txtReplyNo, 5, 0);
    grid->addWidget(makeLabel(console, QStringLiteral("timRecvTimeOut")), 5, 1, 1, 2);
    grid->addWidget(txtState, 5, 3, 1, 2);
    lblErrorMessage =
        makeLabel(console, QStringLiteral("Error message"), QStringLiteral("lblErrorMessage"));
    lblErrorMessage->setStyleSheet(QStringLiteral("color: red"));
    lblErrorMessage->hide();
    grid->addWidget(lblErrorMessage, 6, 0, 1, 6);

    auto* echoes = new QGridLayout;
    txtLocalHex = new EchoBox(console);
    txtLocalHex->setObjectName(QStringLiteral("txtLocalHex"));
    txtRemoteHex = new EchoBox(console);
    txtRemoteHex->setObjectName(QStringLiteral("txtRemoteHex"));
    txtLocalHex->enableSaveAs(m_platform.boxes, QStringLiteral("transmitted.txt"));
    txtRemoteHex->enableSaveAs(m_platform.boxes, QStringLiteral("received.txt"));
    cmdClr = makeButton(console, QStringLiteral("cmdClr"), QStringLiteral("Clr Hex"));
    echoes->addWidget(makeLabel(console, QStringLiteral("Transmitted(HEX)")), 0, 0);
    echoes->addWidget(makeLabel(console, QStringLiteral("Recived(HEX)")), 0, 1);
    echoes->addWidget(txtLocalHex, 1, 0);
    echoes->addWidget(txtRemoteHex, 1, 1);
    echoes->addWidget(cmdClr, 2, 1, Qt::AlignRight);
    grid->addLayout(echoes, 7, 0, 1, 6);

    // Parameter set and live reading: left and middle.
    auto* params = new QGroupBox(QStringLiteral("Parameter set"), this);
    auto* paramGrid = new QGridLayout(params);
    cmdGetPara = makeButton(params, QStringLiteral("cmdGetPara"), QStringLiteral("Get"));
    txtParaReq = makeTextBox(params, QStringLiteral("txtParaReq"), QString(), 24);
    txtParaReq->setReadOnly(true);
    txtParaReq->setToolTip(QStringLiteral("The parameter request of the last Get"));
    cmdCopyReq = makeButton(params, QStringLiteral("cmdCopyReq"), QStringLiteral("Copy"));
    paramGrid->addWidget(makeLabel(params, QStringLiteral("Parameters")), 0, 0);
    paramGrid->addWidget(txtParaReq, 0, 1, 1, 3);
    paramGrid->addWidget(cmdCopyReq, 0, 4);
    paramGrid->addWidget(cmdGetPara, 0, 5);
    const QStringList columns{QStringLiteral("Status"), QStringLiteral("VIH"),
                              QStringLiteral("VIL"), QStringLiteral("VAH"), QStringLiteral("VAL")};
    for (int i = 0; i < columns.size(); ++i) {
        paramGrid->addWidget(makeLabel(params, columns[i]), 1, i);
    }
    auto displayBox = [params](const QString& name) {
        auto* box = makeTextBox(params, name, QString());
        box->setReadOnly(true);
        return box;
    };
    txtSta = displayBox(QStringLiteral("txtSta"));
    txtVIH = displayBox(QStringLiteral("txtVIH"));
    txtVIL = displayBox(QStringLiteral("txtVIL"));
    txtVAH = displayBox(QStringLiteral("txtVAH"));
    txtVAL = displayBox(QStringLiteral("txtVAL"));
    txtSta1 = displayBox(QStringLiteral("txtSta1"));
    txtVIH1 = displayBox(QStringLiteral("txtVIH1"));
    txtVIL1 = displayBox(QStringLiteral("txtVIL1"));
    txtVAH1 = displayBox(QStringLiteral("txtVAH1"));
    txtVAL1 = displayBox(QStringLiteral("txtVAL1"));
    const std::array<QLineEdit*, 5> current{txtSta, txtVIH, txtVIL, txtVAH, txtVAL};
    const std::array<QLineEdit*, 5> written{txtSta1, txtVIH1, txtVIL1, txtVAH1, txtVAL1};
    for (int i = 0; i < 5; ++i) {
        paramGrid->addWidget(current[i], 2, i);
        paramGrid->addWidget(written[i], 3, i);
    }
    lblMsg = makeLabel(params, QString(), QStringLiteral("lblMsg"));
    lblMsg1 = makeLabel(params, QString(), QStringLiteral("lblMsg1"));
    for (QLabel* label : {lblMsg, lblMsg1}) {
        label->setStyleSheet(QStringLiteral("color: red"));
        label->hide();
    }
    paramGrid->addWidget(lblMsg, 2, 5);
    paramGrid->addWidget(lblMsg1, 3, 5);
    paramGrid->addWidget(makeLabel(params, QStringLiteral("New Parameters")), 4, 0, 1, 2);
    txtNewPara = makeMultiLineBox(params, QStringLiteral("txtNewPara"));
    txtNewPara->setMaximumHeight(72);
    cmdWrPara = makeButton(params, QStringLiteral("cmdWrPara"), QStringLiteral("Write"));
    paramGrid->addWidget(txtNewPara, 5, 0, 1, 5);
    paramGrid->addWidget(cmdWrPara, 5, 5, Qt::AlignTop);

    auto* live = new QGroupBox(QStringLiteral("Live reading"), this);
    auto* liveGrid = new QGridLayout(live);
    cmbDir = makeComboBox(live, QStringLiteral("cmbDir"), QString());
    addComboItems(cmbDir, {QStringLiteral("CW"), QStringLiteral("CCW")});
    liveGrid->addWidget(makeLabel(live, QStringLiteral("Direction")), 0, 0);
    liveGrid->addWidget(cmbDir, 0, 1);
    txta_Ad_Ajust_H = makeTextBox(live, QStringLiteral("txta_Ad_Ajust_H"), QStringLiteral("00"));
    txta_Ad_Ajust_L = makeTextBox(live, QStringLiteral("txta_Ad_Ajust_L"), QStringLiteral("05"));
    txtTk = makeTextBox(live, QStringLiteral("txtTk"), QStringLiteral("00"), 8);
    liveGrid->addWidget(makeLabel(live, QStringLiteral("DUT(hex)_H")), 1, 0);
    liveGrid->addWidget(txta_Ad_Ajust_H, 1, 1);
    liveGrid->addWidget(makeLabel(live, QStringLiteral("DUT(hex)_L")), 1, 2);
    liveGrid->addWidget(txta_Ad_Ajust_L, 1, 3);
    liveGrid->addWidget(makeLabel(live, QStringLiteral("DUT")), 2, 0);
    liveGrid->addWidget(txtTk, 2, 1);
    liveGrid->addWidget(makeLabel(live, QStringLiteral("N-m")), 2, 2);
    cmdAutoOn = makeButton(live, QStringLiteral("cmdAutoOn"), QStringLiteral("Reading On"));
    cmdAutoOff = makeButton(live, QStringLiteral("cmdAutoOff"), QStringLiteral("Reading OFF"));
    Shape1 = new Shape(live);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setFillColor(kLampOff);
    liveGrid->addWidget(cmdAutoOn, 3, 0, 1, 2);
    liveGrid->addWidget(cmdAutoOff, 3, 2, 1, 2);
    liveGrid->addWidget(Shape1, 3, 4);
    cmbFraN = makeComboBox(live, QStringLiteral("cmbFraN"), QStringLiteral("1"), 3);
    liveGrid->addWidget(makeLabel(live, QStringLiteral("Digits after decimal  pt.")), 4, 0, 1, 3);
    liveGrid->addWidget(cmbFraN, 4, 3);
    cmdRdMaxTk = makeButton(live, QStringLiteral("cmdRdMaxTk"), QStringLiteral("Read Max Torque"));
    txtMaxTk = makeTextBox(live, QStringLiteral("txtMaxTk"), QStringLiteral("00"), 8);
    liveGrid->addWidget(cmdRdMaxTk, 5, 0, 1, 2);
    liveGrid->addWidget(makeLabel(live, QStringLiteral("Max Torque")), 6, 0);
    liveGrid->addWidget(txtMaxTk, 6, 1);
    liveGrid->addWidget(makeLabel(live, QStringLiteral("N-m")), 6, 2);
    cmbFraN1 = makeComboBox(live, QStringLiteral("cmbFraN1"), QStringLiteral("1"), 3);
    liveGrid->addWidget(makeLabel(live, QStringLiteral("Digits after decimal  pt.")), 7, 0, 1, 3);
    liveGrid->addWidget(cmbFraN1, 7, 3);
    cmdClrEr0 =
        makeButton(live, QStringLiteral("cmdClrEr0"), QStringLiteral("Clear Er0/Max Torque"));
    liveGrid->addWidget(cmdClrEr0, 8, 0, 1, 4);

    // Named parameters.
    auto* names = new QGroupBox(QStringLiteral("Parameter name"), this);
    auto* namesRow = new QHBoxLayout(names);
    Combo1 = makeComboBox(names, QStringLiteral("Combo1"), QString(), 16);
    QStringList parameterNames;
    for (const NamedParameter& p : NamedParameters()) {
        parameterNames << QString::fromLatin1(p.name.data(), static_cast<qsizetype>(p.name.size()));
    }
    addComboItems(Combo1, parameterNames);
    namesRow->addWidget(Combo1);

    // Navigation and exit: lower right.
    auto* navigation = new QGroupBox(QStringLiteral("Windows"), this);
    auto* navGrid = new QGridLayout(navigation);
    cmdRs232WRCal =
        makeButton(navigation, QStringLiteral("cmdRs232WRCal"), QStringLiteral("cmdRs232WRCal"));
    cmdRs232WRPara =
        makeButton(navigation, QStringLiteral("cmdRs232WRPara"), QStringLiteral("cmdRs232WRPara"));
    Command1 = makeButton(navigation, QStringLiteral("Command1"), QStringLiteral("Command1"));
    cmdEnd = makeButton(navigation, QStringLiteral("cmdEnd"), QStringLiteral("End"));
    navGrid->addWidget(cmdRs232WRCal, 0, 0);
    navGrid->addWidget(cmdRs232WRPara, 0, 1);
    navGrid->addWidget(Command1, 1, 0);
    navGrid->addWidget(cmdEnd, 1, 1);
    navGrid->addWidget(makeLabel(navigation, QStringLiteral("Hw ver: rs232 v2.26")), 2, 0, 1, 2);
    // A box that has always sat on this window without a use: small, out of the way.
    Text1 = makeTextBox(navigation, QStringLiteral("Text1"), QStringLiteral("Text1"), 3);
    navGrid->addWidget(Text1, 3, 1, Qt::AlignRight);

    auto* left = new QVBoxLayout;
    left->addWidget(portGroup);
    left->addWidget(params);
    left->addWidget(live);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(console, 1);
    auto* bottomRight = new QHBoxLayout;
    bottomRight->addWidget(names);
    bottomRight->addWidget(navigation);
    right->addLayout(bottomRight);
    auto* top = new QHBoxLayout(this);
    top->addLayout(left);
    top->addLayout(right, 1);

    // The controls that put bytes on the wire, and the reply length the running exchange
    // counts on: kept disabled while an exchange runs.
    for (QWidget* w : std::initializer_list<QWidget*>{
             cmdPortOpen, cmdPortClose, cmdSendAByte, cmdRead, cmdWrite, cmdGetPara, cmdWrPara,
             cmdAutoOn, cmdRdMaxTk, cmdClrEr0, txtReplyNo}) {
        m_exchangeControls->add(w);
    }
    // Controls that start out disabled; the port buttons decide when they become usable.
    for (QWidget* w : std::initializer_list<QWidget*>{
             cmdPortOpen, cmdPortClose, cmdRstSend, cmdSendAByte, cmdRead, cmdWrite, cmdGetPara,
             cmdWrPara, cmdAutoOn, cmdAutoOff, cmbParity, cmbDatabit, cmbStopbit}) {
        setControlEnabled(w, false);
    }
}

void frmRs232SetCmd::setControlEnabled(QWidget* control, bool enabled) {
    m_exchangeControls->setEnabled(control, enabled);
}

void frmRs232SetCmd::connectHandlers() {
    connect(cmdPortOpen, &QPushButton::clicked, this, [this] { cmdPortOpen_Click(); });
    connect(cmdPortClose, &QPushButton::clicked, this, [this] { cmdPortClose_Click(); });
    connect(cmdRstSend, &QPushButton::clicked, this, [this] { cmdRstSend_Click(); });
    connect(cmdRead, &QPushButton::clicked, this, [this] { cmdRead_Click(); });
    connect(cmdWrite, &QPushButton::clicked, this, [this] { cmdWrite_Click(); });
    connect(cmdSendAByte, &QPushButton::clicked, this, [this] { cmdSendAByte_Click(); });
    connect(cmdClr, &QPushButton::clicked, this, [this] { cmdClr_Click(); });
    connect(txtReplyNo, &QLineEdit::textChanged, this, [this] { txtReplyNo_Change(); });
    connect(Combo1, &QComboBox::activated, this, [this] { Combo1_Click(); });
    // Only choosing an item acts; typing into these lists does not.
    connect(cmbDir, &QComboBox::activated, this, [this] { cmbDir_Click(); });
    connect(cmbFraN, &QComboBox::activated, this, [this] { cmbFraN_Click(); });
    connect(cmbFraN1, &QComboBox::activated, this, [this] { cmbFraN1_Click(); });
    connect(cmdGetPara, &QPushButton::clicked, this, [this] { cmdGetPara_Click(); });
    connect(cmdWrPara, &QPushButton::clicked, this, [this] { cmdWrPara_Click(); });
    connect(cmdCopyReq, &QPushButton::clicked, this, [this] { cmdCopyReq_Click(); });
    connect(cmdRdMaxTk, &QPushButton::clicked, this, [this] { cmdRdMaxTk_Click(); });
    connect(cmdAutoOn, &QPushButton::clicked, this, [this] { cmdAutoOn_Click(); });
    connect(cmdAutoOff, &QPushButton::clicked, this, [this] { cmdAutoOff_Click(); });
    connect(cmdClrEr0, &QPushButton::clicked, this, [this] { cmdClrEr0_Click(); });
    connect(cmdRs232WRPara, &QPushButton::clicked, this, [this] { cmdRs232WRPara_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(cmdRs232WRCal, &QPushButton::clicked, this, [this] { cmdRs232WRCal_Click(); });
    connect(cmdEnd, &QPushButton::clicked, this, [this] { cmdEnd_Click(); });
}

void frmRs232SetCmd::Form_Load() {
    m_editor = std::make_unique<frmRs232WRPara>(*m_link, *this);
    // What the calibration window's reading and test run show here.
    frmRs232WRCal::MainWindowHooks hooks;
    hooks.testRunning = [this](bool running) {
        // Reading On needs an open port, whatever the run that ended.
        setControlEnabled(cmdAutoOn, !running && m_link->isOpen());
        setControlEnabled(cmdAutoOff, running);
    };
    hooks.showRawValue = [this](const QString& adL, const QString& adH) {
        txta_Ad_Ajust_L->setText(adL);
        txta_Ad_Ajust_H->setText(adH);
    };
    hooks.showTorque = [this](const QString& torque) { txtTk->setText(torque); };
    hooks.showMainWindow = [this] {
        show();
        raise();
        activateWindow();
    };
    m_calibration = std::make_unique<frmRs232WRCal>(*m_link, std::move(hooks));
    m_transfer = std::make_unique<ParameterTransfer>(
        *m_link, *m_editor,
        ParameterTransfer::Controls{lblMsg, lblMsg1, txtSta, txtVIH, txtVIL, txtVAH, txtVAL,
                                    txtSta1, txtVIH1, txtVIL1, txtVAH1, txtVAL1, txtNewPara,
                                    txtParaReq, cmdCopyReq},
        [this] {
            return DigitsAndDirection{DirCCW, FraDigits};
        },
        NextRequestCode,
        [this](std::int32_t raw) {
            MaxTkRaw = raw;
            showMaxTorque();
        });
    setControlEnabled(cmdPortOpen, true);
    cmdRstSend_Click();
    cmbDir->setEditText(QStringLiteral("CW"));
    DirCCW = false;
    addComboItems(cmbComSelect, numberItems(1, 16));
    cmbComSelect->refreshPorts(); // the system's ports after the numbers
    addComboItems(cmbFraN, numberItems(0, 3));
    FraDigits = 1;
    addComboItems(cmbFraN1, numberItems(0, 3));
    MaxTkRaw = 0;
}

void frmRs232SetCmd::cmdPortOpen_Click() {
    const QString comText = cmbComSelect->currentText();
    const QString settingsText =
        cmbBaudrate->currentText() + QLatin1Char(',') + cmbParity->currentText() +
        QLatin1Char(',') + cmbDatabit->currentText() + QLatin1Char(',') + cmbStopbit->currentText();
    SerialSettings settings;
    std::string error;
    // A port name or a setting the line refuses gets the same answer as a port that is not
    // there, with the reason on a line of its own; nothing changes state.
    bool opened = false;
    if (!ParseSettingsText(settingsText.toStdString(), settings)) {
        error = "A serial line cannot run with " + settingsText.toStdString() + ".";
    } else {
        opened = m_link->open(PortNameFromText(comText.toStdString()), settings, error);
    }
    if (!opened) {
        const QString reason =
            error.empty() ? QString() : QStringLiteral("\r\n") + QString::fromStdString(error);
        m_platform.boxes.show(
            QStringLiteral("Com ") + comText +
                QStringLiteral(" does not exit or (1200,8,N,2) is not supported") + reason,
            QStringLiteral("Warning"), BoxIcon::Warning, BoxButtons::Ok);
        return;
    }
    setControlEnabled(cmdPortOpen, false);
    setControlEnabled(cmdPortClose, true);
    for (QWidget* w : std::initializer_list<QWidget*>{cmdSendAByte, cmdRead, cmdWrite, cmdRstSend,
                                                      cmdGetPara, cmdWrPara}) {
        setControlEnabled(w, true);
    }
    setControlEnabled(cmbComSelect, false);
    setControlEnabled(cmbBaudrate, false);
    setControlEnabled(cmdAutoOn, true);
    setControlEnabled(cmdAutoOff, false);
}

void frmRs232SetCmd::cmdPortClose_Click() {
    m_link->close();
    showClosedPortState();
}

void frmRs232SetCmd::showClosedPortState() {
    // "Read", "Write" and "Reset 232" keep the state opening gave them.
    setControlEnabled(cmdPortClose, false);
    setControlEnabled(cmdPortOpen, true);
    setControlEnabled(cmdSendAByte, false);
    setControlEnabled(cmdGetPara, false);
    setControlEnabled(cmdWrPara, false);
    setControlEnabled(cmbComSelect, true);
    setControlEnabled(cmbBaudrate, true);
    setControlEnabled(cmdAutoOff, false);
    setControlEnabled(cmdAutoOn, false);
}

void frmRs232SetCmd::onPortLost(const std::string& message) {
    // The port went away under us (adapter pulled, far end closed). It is closed already; a
    // waiting exchange runs into its time-out as with a silent instrument.
    showClosedPortState();
    // A live reading would go on reporting a failed read every cycle, with "Reading OFF" no
    // longer usable: it stops after its current cycle.
    if (m_calibration->testRunning()) {
        cmdAutoOff_Click();
    }
    m_platform.boxes.show(QStringLiteral("Com %1 was lost and has been closed (%2).")
                              .arg(cmbComSelect->currentText(), QString::fromStdString(message)),
                          QStringLiteral("Warning"), BoxIcon::Warning, BoxButtons::Ok);
}

void frmRs232SetCmd::cmdAutoOn_Click() {
    if (!m_link->mayStartOperation()) {
        return;
    }
    for (QWidget* w : std::initializer_list<QWidget*>{cmdAutoOn, cmdGetPara, cmdWrPara}) {
        setControlEnabled(w, false);
    }
    // No in Get's warning reads nothing: the reading goes on with the last Get's digits.
    m_transfer->cmdGetPara_Click();
    m_calibration->cmdReakAllKandA_Click();
    Shape1->setFillColor(kLampOn);
    const std::string digits = gCurPara.DecDigits;
    if (digits == "00") {
        m_calibration->PtDivisor = 1;
    } else if (digits == "01") {
        m_calibration->PtDivisor = 10;
    } else if (digits == "02") {
        m_calibration->PtDivisor = 100;
    } else if (digits == "03") {
        m_calibration->PtDivisor = 1000;
    }
    // Returns when the reading has ended: stopped, refused (a bad pause in the calibration
    // window) or cut short by a lost port. With the port gone already there is nothing to
    // read.
    if (m_link->isOpen()) {
        m_calibration->cmdTestStart_Click();
    }
    showLiveReadingOff();
}

void frmRs232SetCmd::cmdAutoOff_Click() {
    // The lamp says at once that the reading is on its way out; the buttons are usable again
    // once it has ended, after its current cycle (the link stays busy until then).
    showLiveReadingOff();
    m_calibration->cmdTestStop_Click();
}

void frmRs232SetCmd::showLiveReadingOff() {
    Shape1->setFillColor(kLampOff);
    const bool open = m_link->isOpen();
    for (QWidget* w : std::initializer_list<QWidget*>{cmdAutoOn, cmdGetPara, cmdWrPara}) {
        setControlEnabled(w, open);
    }
    setControlEnabled(cmdAutoOff, false);
}

void frmRs232SetCmd::cmdRstSend_Click() {
    m_link->resetReceive();
}

void frmRs232SetCmd::cmdRead_Click() {
    m_console->cmdRead_Click();
}

void frmRs232SetCmd::cmdWrite_Click() {
    m_console->cmdWrite_Click();
}

void frmRs232SetCmd::cmdSendAByte_Click() {
    m_console->cmdSendAByte_Click();
}

void frmRs232SetCmd::cmdClr_Click() {
    m_console->cmdClr_Click();
}

void frmRs232SetCmd::txtReplyNo_Change() {
    // Only the integer part counts; a value beyond the 16-bit range is held at its limit.
    const double value = std::trunc(ValueOfText(txtReplyNo->text().toStdString()));
    m_link->setReplyLength(static_cast<std::int16_t>(
        std::clamp(value, static_cast<double>(std::numeric_limits<std::int16_t>::min()),
                   static_cast<double>(std::numeric_limits<std::int16_t>::max()))));
}

void frmRs232SetCmd::cmbDir_Click() {
    const QString text = cmbDir->currentText();
    if (text == QLatin1String("CW")) {
        DirCCW = false;
    } else if (text == QLatin1String("CCW")) {
        DirCCW = true;
    }
}

void frmRs232SetCmd::cmbFraN_Click() {
    takeFraDigits(cmbFraN->currentText());
}

void frmRs232SetCmd::cmbFraN1_Click() {
    takeFraDigits(cmbFraN1->currentText());
}

void frmRs232SetCmd::takeFraDigits(const QString& text) {
    // Only 0 to 3 digits exist; any other value leaves the setting as it is.
    const double value = ValueOfText(text.toStdString());
    if (value == 0 || value == 1 || value == 2 || value == 3) {
        FraDigits = static_cast<std::int16_t>(value);
    }
    const QString digits = QString::fromStdString(NumberText(FraDigits));
    cmbFraN->setEditText(digits);
    cmbFraN1->setEditText(digits);
    showMaxTorque();
}

void frmRs232SetCmd::showMaxTorque() {
    txtMaxTk->setText(QString::fromStdString(
        NumberText(MaxTkRaw / std::pow(10.0, static_cast<double>(FraDigits)))));
}

void frmRs232SetCmd::cmdGetPara_Click() {
    m_transfer->cmdGetPara_Click();
}

void frmRs232SetCmd::cmdWrPara_Click() {
    m_transfer->cmdWrPara_Click();
}

void frmRs232SetCmd::cmdRdMaxTk_Click() {
    m_transfer->cmdRdMaxTk_Click();
}

void frmRs232SetCmd::cmdClrEr0_Click() {
    m_transfer->cmdClrEr0_Click();
}

void frmRs232SetCmd::cmdCopyReq_Click() {
    m_transfer->cmdCopyReq_Click();
}

void frmRs232SetCmd::Combo1_Click() {
    // Fills the console's address boxes only; nothing is sent.
    txtAddr1Read->setText(QStringLiteral("00"));
    txtAddr1Write->setText(QStringLiteral("00"));
    if (const NamedParameter* p = FindNamedParameter(Combo1->currentText().toStdString())) {
        const QString addr0 = QString::fromStdString(ByteToHexStr(p->addr0));
        txtAddr0Read->setText(addr0);
        txtAddr0Write->setText(addr0);
    }
}

// The system's operations, where the other windows have always found them; the link does
// the work.
void frmRs232SetCmd::SendOneByte(std::uint8_t InpB) {
    m_link->SendOneByte(InpB);
}

bool frmRs232SetCmd::SendReadCmd_Chk(std::uint8_t InAddr1, std::uint8_t InAddr0,
                                     std::uint8_t& OutResult, std::uint8_t& OutData0,
                                     std::uint8_t& OutData1, std::uint8_t& OutData2) {
    return m_link->SendReadCmd_Chk(InAddr1, InAddr0, OutResult, OutData0, OutData1, OutData2);
}

bool frmRs232SetCmd::SendWriteCmd_Chk(std::uint8_t InAddr1, std::uint8_t InAddr0,
                                      std::uint8_t InData, std::uint8_t& OutResult) {
    return m_link->SendWriteCmd_Chk(InAddr1, InAddr0, InData, OutResult);
}

void frmRs232SetCmd::ShowCommResult(std::uint8_t Result) {
    m_link->ShowCommResult(Result);
}

void frmRs232SetCmd::HelpMsg() {
    m_link->HelpMsg();
}

void frmRs232SetCmd::MyDelay(std::int16_t Period) {
    m_link->MyDelay(Period);
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

void frmRs232SetCmd::cmdEnd_Click() {
    if (m_ending) {
        return;
    }
    m_ending = true;
    // Release the port and take every window off the screen before the program goes, so
    // neither an open port nor a hidden window outlives it.
    m_link->close();
    m_editor->hide();
    m_calibration->hide();
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
