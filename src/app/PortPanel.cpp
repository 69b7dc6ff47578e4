// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PortPanel.h"

#include "common/TextConv.h"
#include "platform/ComPortControl.h"
#include "platform/MessageBoxes.h"
#include "platform/SerialPort.h"
#include "serial/PortSettings.h"
#include "session/WrenchSession.h"
#include "widgets/Controls.h"
#include "widgets/ExchangeControls.h"
#include "widgets/PortComboBox.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>

namespace zelcor {

PortPanel::PortPanel(QWidget* parent, WrenchSession& session, SerialPort& port,
                     ExchangeControls& controls)
    : m_session(session), m_controls(controls) {
    build(parent, port);
    m_controls.add(cmdPortOpen);
    m_controls.add(cmdPortClose);
    for (QWidget* w :
         std::initializer_list<QWidget*>{cmdPortClose, cmbParity, cmbDatabit, cmbStopbit}) {
        m_controls.setEnabled(w, false);
    }
    QStringList numbers;
    for (int i = 1; i <= 16; ++i) {
        numbers << QString::fromStdString(NumberText(i));
    }
    addComboItems(cmbComSelect, numbers);
    cmbComSelect->refreshPorts(); // the system's ports after the numbers
    QObject::connect(cmdPortOpen, &QPushButton::clicked, m_group, [this] { cmdPortOpen_Click(); });
    QObject::connect(cmdPortClose, &QPushButton::clicked, m_group,
                     [this] { cmdPortClose_Click(); });
    QObject::connect(&m_session, &WrenchSession::portOpened, m_group, [this] { showOpen(true); });
    QObject::connect(&m_session, &WrenchSession::portClosed, m_group, [this] { showOpen(false); });
    QObject::connect(&m_session, &WrenchSession::portLost, m_group,
                     [this](const std::string& message) { onPortLost(message); });
}

void PortPanel::build(QWidget* parent, SerialPort& port) {
    m_group = new QGroupBox(tr("Port"), parent);
    auto* portRow = new QHBoxLayout(m_group);
    portRow->addWidget(makeLabel(m_group, tr("Com No")));
    cmbComSelect =
        new PortComboBox(m_group, QStringLiteral("cmbComSelect"), QStringLiteral("1"), 10);
    cmbComSelect->setPortSource([&port] { return port.availablePorts(); });
    cmbBaudrate = makeComboBox(m_group, QStringLiteral("cmbBaudrate"), QStringLiteral("1200"));
    QStringList speeds;
    for (const int baud : kWrenchBaudRates) {
        speeds << QString::number(baud);
    }
    addComboItems(cmbBaudrate, speeds);
    cmbDatabit = makeComboBox(m_group, QStringLiteral("cmbDatabit"), QStringLiteral("8"), 2);
    addComboItems(cmbDatabit, {QStringLiteral("7"), QStringLiteral("8")});
    cmbParity = makeComboBox(m_group, QStringLiteral("cmbParity"), QStringLiteral("N"), 2);
    cmbStopbit = makeComboBox(m_group, QStringLiteral("cmbStopbit"), QStringLiteral("2"), 2);
    addComboItems(cmbStopbit, {QStringLiteral("1"), QStringLiteral("2")});
    cmdPortOpen = makeButton(m_group, QStringLiteral("cmdPortOpen"), tr("&Port Open"));
    cmdPortClose = makeButton(m_group, QStringLiteral("cmdPortClose"), tr("Port &Close"));
    for (QWidget* w :
         std::initializer_list<QWidget*>{cmbComSelect, cmbBaudrate, cmbDatabit, cmbParity,
                                         cmbStopbit, cmdPortOpen, cmdPortClose}) {
        portRow->addWidget(w);
    }
    portRow->addStretch();
}

QList<QWidget*> PortPanel::tabOrder() const {
    return {cmbComSelect, cmbBaudrate, cmbDatabit,  cmbParity,
            cmbStopbit,   cmdPortOpen, cmdPortClose};
}

void PortPanel::choosePort(const QString& port) {
    cmbComSelect->refreshPorts();
    cmbComSelect->setEditText(port);
}

void PortPanel::showOpen(bool open) {
    m_controls.setEnabled(cmdPortOpen, !open);
    m_controls.setEnabled(cmdPortClose, open);
    m_controls.setEnabled(cmbComSelect, !open);
    m_controls.setEnabled(cmbBaudrate, !open);
}

void PortPanel::cmdPortOpen_Click() {
    const QString comText = cmbComSelect->currentText();
    const QString settingsText =
        cmbBaudrate->currentText() + QLatin1Char(',') + cmbParity->currentText() +
        QLatin1Char(',') + cmbDatabit->currentText() + QLatin1Char(',') + cmbStopbit->currentText();
    SerialSettings settings;
    QString reason;
    // A port name or a setting the line refuses gets the same answer as a port that is not
    // there, with the reason on a line of its own; nothing changes state.
    bool opened = false;
    if (!ParseSettingsText(settingsText.toStdString(), settings)) {
        reason = tr("A serial line cannot run with %1.").arg(settingsText);
    } else {
        std::string error;
        opened = m_session.open(PortNameFromText(comText.toStdString()), settings, error);
        reason = QString::fromStdString(error);
    }
    if (!opened) {
        m_session.boxes().show(
            tr("Com %1 does not exit or (1200,8,N,2) is not supported")
                    .arg(QString::fromStdString(QuotedInput(comText.toStdString()))) +
                (reason.isEmpty() ? QString() : QStringLiteral("\r\n") + reason),
            tr("Warning"), BoxIcon::Warning, BoxButtons::Ok);
    }
}

void PortPanel::cmdPortClose_Click() {
    m_session.close();
}

void PortPanel::onPortLost(const std::string& why) {
    // The port went away under us (adapter pulled, far end closed). It is closed already, the
    // exchange on the wire has failed at once, and a live reading ends after its cycle. The
    // system's own words for a local port ("Resource temporarily unavailable") tell a
    // technician nothing; the exchange log keeps them. A device server's connection is named
    // with our own words for what happened to it.
    showOpen(false);
    const std::string comText = cmbComSelect->currentText().toStdString();
    const QString com = QString::fromStdString(QuotedInput(comText));
    m_session.boxes().show(
        IsNetworkPortName(PortNameFromText(comText))
            ? tr("Com %1 has gone away: %2. The port has been closed; open it again once the "
                 "device server is back.")
                  .arg(com, QString::fromStdString(why))
            : tr("Com %1 has gone away: the adapter was unplugged or the device was switched "
                 "off. The port has been closed; open it again once the device is back.")
                  .arg(com),
        tr("Warning"), BoxIcon::Warning, BoxButtons::Ok);
}

} // namespace zelcor
