// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>

#include <functional>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QWidget;

namespace zelcor {

class ExchangeControls;
class Shape;
class WrenchSession;

// The main window's live reading: direction and digits, Reading On and OFF with their lamp,
// the live raw value and torque, Read Max Torque and Clear Er0.
class LiveReadingPanel {
    Q_DECLARE_TR_FUNCTIONS(zelcor::LiveReadingPanel)

public:
    // `setParameterSetUsable` gives Get and Write back, or takes them, with the reading.
    LiveReadingPanel(QWidget* parent, WrenchSession& session, ExchangeControls& controls,
                     std::function<void(bool)> setParameterSetUsable);

    QGroupBox* group() const { return m_group; }
    // Its controls in the order Tab goes through them: row by row as laid out.
    QList<QWidget*> tabOrder() const;
    // An open port makes Reading On usable; a closed one ends that and Reading OFF.
    void showPortState(bool open);

    void cmbDir_Click();
    void cmbFraN_Click();
    void cmbFraN1_Click();
    void cmdAutoOn_Click();
    void cmdAutoOff_Click();
    void cmdRdMaxTk_Click();
    void cmdClrEr0_Click();

private:
    void build(QWidget* parent);
    void connectSession();
    // The digits chosen in either list: both lists then show them, and the maximum torque is
    // shown with that many.
    void takeFraDigits(const QString& text);
    void showMaxTorque();
    // Lamp pale red, "Reading On", "Get" and "Write" usable with an open port, "Reading OFF"
    // not.
    void showLiveReadingOff();

    WrenchSession& m_session;
    ExchangeControls& m_controls;
    std::function<void(bool)> m_setParameterSetUsable;
    QGroupBox* m_group = nullptr;
    QComboBox* cmbDir = nullptr;
    QLineEdit* txta_Ad_Ajust_H = nullptr;
    QLineEdit* txta_Ad_Ajust_L = nullptr;
    QLineEdit* txtTk = nullptr;
    QPushButton* cmdAutoOn = nullptr;
    QPushButton* cmdAutoOff = nullptr;
    Shape* Shape1 = nullptr;
    QComboBox* cmbFraN = nullptr;
    QComboBox* cmbFraN1 = nullptr;
    QPushButton* cmdRdMaxTk = nullptr;
    QLineEdit* txtMaxTk = nullptr;
    QPushButton* cmdClrEr0 = nullptr;
};

} // namespace zelcor
