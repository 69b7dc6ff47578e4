// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/RegisterConsole.h"

#include "common/TextConv.h"
#include "session/WrenchSession.h"
#include "widgets/Controls.h"
#include "widgets/EchoBox.h"
#include "widgets/ExchangeControls.h"
#include "wrench/HexInput.h"
#include "wrench/WrenchMap.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <limits>

namespace zelcor {

RegisterConsole::RegisterConsole(QWidget* parent, WrenchSession& session,
                                 ExchangeControls& controls, MessageBoxes& boxes)
    : m_session(session), m_controls(controls) {
    build(parent, boxes);
    for (QWidget* w :
         std::initializer_list<QWidget*>{cmdSendAByte, cmdRead, cmdWrite, txtReplyNo}) {
        m_controls.add(w);
    }
    for (QWidget* w :
         std::initializer_list<QWidget*>{cmdRstSend, cmdSendAByte, cmdRead, cmdWrite}) {
        m_controls.setEnabled(w, false);
    }
    QObject::connect(cmdRstSend, &QPushButton::clicked, m_group, [this] { cmdRstSend_Click(); });
    QObject::connect(cmdRead, &QPushButton::clicked, m_group, [this] { cmdRead_Click(); });
    QObject::connect(cmdWrite, &QPushButton::clicked, m_group, [this] { cmdWrite_Click(); });
    QObject::connect(cmdSendAByte, &QPushButton::clicked, m_group,
                     [this] { cmdSendAByte_Click(); });
    QObject::connect(cmdClr, &QPushButton::clicked, m_group, [this] { cmdClr_Click(); });
    QObject::connect(Combo1, &QComboBox::activated, m_group, [this] { Combo1_Click(); });
    QObject::connect(txtReplyNo, &QLineEdit::textChanged, m_group, [this] { txtReplyNo_Change(); });

    QObject::connect(&session, &WrenchSession::localEcho, m_group, [this](const std::string& t) {
        txtLocalHex->appendText(QString::fromStdString(t));
    });
    QObject::connect(&session, &WrenchSession::remoteEcho, m_group, [this](const std::string& t) {
        txtRemoteHex->appendText(QString::fromStdString(t));
    });
    QObject::connect(&session, &WrenchSession::echoesCleared, m_group, [this] {
        txtLocalHex->clearText();
        txtRemoteHex->clearText();
    });
    QObject::connect(
        &session, &WrenchSession::receiveState, m_group,
        [this](const std::string& state) { txtState->setText(QString::fromStdString(state)); });
}

void RegisterConsole::build(QWidget* parent, MessageBoxes& boxes) {
    m_group = new QGroupBox(tr("Register console"), parent);
    QGroupBox* console = m_group;
    auto* grid = new QGridLayout(console);
    cmdRstSend = makeButton(console, QStringLiteral("cmdRstSend"), tr("Reset 232"));
    cmdSendAByte = makeButton(console, QStringLiteral("cmdSendAByte"), tr("Send Byte"));
    txtSendByte = makeTextBox(console, QStringLiteral("txtSendByte"), QStringLiteral("00"));
    grid->addWidget(cmdRstSend, 0, 0);
    grid->addWidget(makeLabel(console, tr("Data")), 0, 1, Qt::AlignRight);
    grid->addWidget(txtSendByte, 0, 2);
    grid->addWidget(cmdSendAByte, 0, 3);

    // A parameter's name fills the address boxes of both rows below; nothing is sent.
    Combo1 = makeComboBox(console, QStringLiteral("Combo1"), QString(), 16);
    QStringList parameterNames;
    for (const NamedParameter& p : NamedParameters()) {
        parameterNames << QString::fromLatin1(p.name.data(), static_cast<qsizetype>(p.name.size()));
    }
    addComboItems(Combo1, parameterNames);
    grid->addWidget(makeLabel(console, tr("Parameter name")), 1, 0, 1, 2);
    grid->addWidget(Combo1, 1, 2, 1, 2);

    cmdRead = makeButton(console, QStringLiteral("cmdRead"), tr("Read"));
    txtAddr1Read = makeTextBox(console, QStringLiteral("txtAddr1Read"), QStringLiteral("00"));
    txtAddr0Read = makeTextBox(console, QStringLiteral("txtAddr0Read"), QStringLiteral("05"));
    const QStringList readHeaders{tr("Addr1"), tr("Addr0"), tr("Data0"), tr("Data1"), tr("Data2")};
    for (int i = 0; i < readHeaders.size(); ++i) {
        grid->addWidget(makeLabel(console, readHeaders[i]), 2, i);
    }
    // The boxes of a row, then its button: Tab goes from the boxes to their own button.
    grid->addWidget(txtAddr1Read, 3, 0);
    grid->addWidget(txtAddr0Read, 3, 1);
    for (int i = 0; i < 3; ++i) {
        txtReadData[i] =
            makeTextBox(console, QStringLiteral("txtReadData(%1)").arg(i), QStringLiteral("XX"));
        txtReadData[i]->setEnabled(false); // display only
        grid->addWidget(txtReadData[i], 3, 2 + i);
    }
    grid->addWidget(cmdRead, 3, 5);

    cmdWrite = makeButton(console, QStringLiteral("cmdWrite"), tr("Write"));
    txtAddr1Write = makeTextBox(console, QStringLiteral("txtAddr1Write"), QStringLiteral("00"));
    txtAddr0Write = makeTextBox(console, QStringLiteral("txtAddr0Write"), QStringLiteral("05"));
    txtWriteData = makeTextBox(console, QStringLiteral("txtWriteData"), QStringLiteral("00"));
    grid->addWidget(makeLabel(console, tr("Addr1")), 4, 0);
    grid->addWidget(makeLabel(console, tr("Addr0")), 4, 1);
    grid->addWidget(makeLabel(console, tr("Data")), 4, 2);
    grid->addWidget(txtAddr1Write, 5, 0);
    grid->addWidget(txtAddr0Write, 5, 1);
    grid->addWidget(txtWriteData, 5, 2);
    grid->addWidget(cmdWrite, 5, 3);

    txtReplyNo = makeTextBox(console, QStringLiteral("txtReplyNo"), QStringLiteral("10"));
    txtState = makeDisplayBox(console, QStringLiteral("txtState"), QStringLiteral("State"), 8);
    grid->addWidget(txtReplyNo, 6, 0);
    grid->addWidget(makeLabel(console, tr("timRecvTimeOut")), 6, 1, 1, 2);
    grid->addWidget(txtState, 6, 3, 1, 2);
    lblErrorMessage = makeLabel(console, tr("Error message"), QStringLiteral("lblErrorMessage"));
    lblErrorMessage->setStyleSheet(QStringLiteral("color: red"));
    lblErrorMessage->hide();
    grid->addWidget(lblErrorMessage, 7, 0, 1, 6);

    auto* echoes = new QGridLayout;
    txtLocalHex = new EchoBox(console);
    txtLocalHex->setObjectName(QStringLiteral("txtLocalHex"));
    txtRemoteHex = new EchoBox(console);
    txtRemoteHex->setObjectName(QStringLiteral("txtRemoteHex"));
    txtLocalHex->enableSaveAs(boxes, QStringLiteral("transmitted.txt"));
    txtRemoteHex->enableSaveAs(boxes, QStringLiteral("received.txt"));
    cmdClr = makeButton(console, QStringLiteral("cmdClr"), tr("Clr Hex"));
    echoes->addWidget(makeLabel(console, tr("Transmitted(HEX)")), 0, 0);
    echoes->addWidget(makeLabel(console, tr("Recived(HEX)")), 0, 1);
    echoes->addWidget(txtLocalHex, 1, 0);
    echoes->addWidget(txtRemoteHex, 1, 1);
    echoes->addWidget(cmdClr, 2, 1, Qt::AlignRight);
    grid->addLayout(echoes, 8, 0, 1, 6);
}

QList<QWidget*> RegisterConsole::tabOrder() const {
    return {cmdRstSend,    txtSendByte,    cmdSendAByte,   Combo1,         txtAddr1Read,
            txtAddr0Read,  txtReadData[0], txtReadData[1], txtReadData[2], cmdRead,
            txtAddr1Write, txtAddr0Write,  txtWriteData,   cmdWrite,       txtReplyNo,
            txtState,      txtLocalHex,    txtRemoteHex,   cmdClr};
}

void RegisterConsole::Combo1_Click() {
    const NamedParameter* p = FindNamedParameter(Combo1->currentText().toStdString());
    setAddress(p != nullptr ? QString::fromStdString(ByteToHexStr(p->addr0)) : QString());
}

void RegisterConsole::setAddress(const QString& addr0) {
    txtAddr1Read->setText(QStringLiteral("00"));
    txtAddr1Write->setText(QStringLiteral("00"));
    if (!addr0.isEmpty()) {
        txtAddr0Read->setText(addr0);
        txtAddr0Write->setText(addr0);
    }
}

void RegisterConsole::showPortState(bool open) {
    m_controls.setEnabled(cmdSendAByte, open);
    if (open) {
        for (QWidget* w : std::initializer_list<QWidget*>{cmdRead, cmdWrite, cmdRstSend}) {
            m_controls.setEnabled(w, true);
        }
    }
}

bool RegisterConsole::checkField(const QLineEdit* box, const QString& prefix) {
    bool error = false;
    std::string message;
    Cleckhex(box->text().toStdString(), error, message);
    if (error) {
        // A later failing field replaces the text of an earlier one.
        lblErrorMessage->setText(prefix +
                                 QCoreApplication::translate("zelcor::HexInput", message.c_str()));
        lblErrorMessage->show();
    }
    return !error;
}

void RegisterConsole::cmdRead_Click() {
    lblErrorMessage->hide();
    const bool addr1Ok = checkField(txtAddr1Read, tr("read addr1 error"));
    const bool addr0Ok = checkField(txtAddr0Read, tr("read addr0 error"));
    if (!addr1Ok || !addr0Ok) {
        return;
    }
    const ReadReply reply = m_session.readRegister(HexToByte(txtAddr1Read->text().toStdString()),
                                                   HexToByte(txtAddr0Read->text().toStdString()));
    if (!reply.hasData) {
        m_session.showCommResult(reply.result);
    }
    for (std::size_t i = 0; i < txtReadData.size(); ++i) {
        txtReadData[i]->setText(reply.hasData ? QString::fromStdString(ByteToHexStr(reply.data[i]))
                                              : QStringLiteral("XX"));
    }
}

void RegisterConsole::cmdWrite_Click() {
    lblErrorMessage->hide();
    const bool addr1Ok = checkField(txtAddr1Write, tr("write addr1 error"));
    const bool addr0Ok = checkField(txtAddr0Write, tr("write addr0 error"));
    const bool dataOk = checkField(txtWriteData, tr("write data error"));
    if (!addr1Ok || !addr0Ok || !dataOk) {
        return;
    }
    m_session.showCommResult(
        m_session.writeRegister(HexToByte(txtAddr1Write->text().toStdString()),
                                HexToByte(txtAddr0Write->text().toStdString()),
                                HexToByte(txtWriteData->text().toStdString())));
}

void RegisterConsole::cmdSendAByte_Click() {
    const QString text = txtSendByte->text();
    lblErrorMessage->hide();
    if (!checkField(txtSendByte, tr("Enter the hex-value 00~FF.   "))) {
        return;
    }
    if (m_session.sendByte(HexToByte(text.toStdString()))) {
        txtLocalHex->appendText(text + QLatin1Char(' '));
    }
}

void RegisterConsole::cmdClr_Click() {
    m_session.clearEchoes();
}

void RegisterConsole::cmdRstSend_Click() {
    m_session.resetReceive();
}

void RegisterConsole::txtReplyNo_Change() {
    // Only the integer part counts; a value beyond the 16-bit range is held at its limit.
    const double value = std::trunc(ValueOfText(txtReplyNo->text().toStdString()));
    m_session.setReplyLength(static_cast<std::int16_t>(
        std::clamp(value, static_cast<double>(std::numeric_limits<std::int16_t>::min()),
                   static_cast<double>(std::numeric_limits<std::int16_t>::max()))));
}

} // namespace zelcor
