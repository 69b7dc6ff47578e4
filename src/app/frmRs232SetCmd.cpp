#include "app/frmRs232SetCmd.h"

#include "app/Controls.h"
#include "app/Shape.h"
#include "calibration/frmRs232WRCal.h"
#include "common/TextConv.h"
#include "editor/frmRs232WRPara.h"
#include "platform/SerialPort.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace zelcor {

namespace {

// The lamp of the live reading: red while it runs, pale red while it is off.
const QColor kLampOff(255, 192, 192);

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
    buildControls();
    connectHandlers();
    Form_Load();
}

frmRs232SetCmd::~frmRs232SetCmd() = default;

void frmRs232SetCmd::buildControls() {
    // Port settings: one row at the top left.
    auto* portGroup = new QGroupBox(QStringLiteral("Port"), this);
    auto* portRow = new QHBoxLayout(portGroup);
    portRow->addWidget(makeLabel(portGroup, QStringLiteral("Com No")));
    cmbComSelect = makeComboBox(portGroup, QStringLiteral("cmbComSelect"), QStringLiteral("1"), 10);
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
    txtLocalHex = makeMultiLineBox(console, QStringLiteral("txtLocalHex"));
    txtRemoteHex = makeMultiLineBox(console, QStringLiteral("txtRemoteHex"));
    txtLocalHex->setReadOnly(true);
    txtRemoteHex->setReadOnly(true);
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
    paramGrid->addWidget(makeLabel(params, QStringLiteral("Parameters")), 0, 0);
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
    // A box that has always sat on this window without a use; kept for its name only.
    Text1 = makeTextBox(navigation, QStringLiteral("Text1"), QStringLiteral("Text1"));
    Text1->hide();

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

    // Controls that start out disabled; the port buttons decide when they become usable.
    for (QWidget* w : std::initializer_list<QWidget*>{
             cmdPortOpen, cmdPortClose, cmdRstSend, cmdSendAByte, cmdRead, cmdWrite, cmdGetPara,
             cmdWrPara, cmdAutoOn, cmdAutoOff, cmbParity, cmbDatabit, cmbStopbit}) {
        w->setEnabled(false);
    }
}

void frmRs232SetCmd::connectHandlers() {
    connect(cmdRstSend, &QPushButton::clicked, this, [this] { cmdRstSend_Click(); });
    connect(cmdRs232WRPara, &QPushButton::clicked, this, [this] { cmdRs232WRPara_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(cmdRs232WRCal, &QPushButton::clicked, this, [this] { cmdRs232WRCal_Click(); });
    connect(cmdEnd, &QPushButton::clicked, this, [this] { cmdEnd_Click(); });
}

void frmRs232SetCmd::Form_Load() {
    m_editor = std::make_unique<frmRs232WRPara>(*this);
    m_calibration = std::make_unique<frmRs232WRCal>(*this);
    cmdPortOpen->setEnabled(true);
    cmdRstSend_Click();
    cmbDir->setEditText(QStringLiteral("CW"));
    DirCCW = false;
    addComboItems(cmbComSelect, numberItems(1, 16));
    addComboItems(cmbFraN, numberItems(0, 3));
    FraDigits = 1;
    addComboItems(cmbFraN1, numberItems(0, 3));
    MaxTkRaw = 0;
}

void frmRs232SetCmd::cmdRstSend_Click() {
    // The receive engine is not wired in yet: going idle is all there is to show.
    txtState->setText(QStringLiteral("IDLE0"));
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
    m_platform.port.close();
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
