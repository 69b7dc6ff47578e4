// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>

#include <string>

class QComboBox;
class QGroupBox;
class QPushButton;
class QWidget;

namespace zelcor {

class ExchangeControls;
class PortComboBox;
class SerialPort;
class WrenchSession;

// The main window's port settings: the port, the line settings, Port Open and Port Close.
// It shows the session's port as opened, closed or lost.
class PortPanel {
    Q_DECLARE_TR_FUNCTIONS(zelcor::PortPanel)

public:
    PortPanel(QWidget* parent, WrenchSession& session, SerialPort& port,
              ExchangeControls& controls);

    QGroupBox* group() const { return m_group; }
    // Its controls in the order Tab goes through them: row by row as laid out.
    QList<QWidget*> tabOrder() const;
    // The port to open, as if typed, after the system's ports are read afresh.
    void choosePort(const QString& port);

    void cmdPortOpen_Click();
    void cmdPortClose_Click();

private:
    void build(QWidget* parent, SerialPort& port);
    void showOpen(bool open);
    void onPortLost(const std::string& message);

    WrenchSession& m_session;
    ExchangeControls& m_controls;
    QGroupBox* m_group = nullptr;
    PortComboBox* cmbComSelect = nullptr;
    QComboBox* cmbBaudrate = nullptr;
    QComboBox* cmbDatabit = nullptr;
    QComboBox* cmbParity = nullptr;
    QComboBox* cmbStopbit = nullptr;
    QPushButton* cmdPortOpen = nullptr;
    QPushButton* cmdPortClose = nullptr;
};

} // namespace zelcor
