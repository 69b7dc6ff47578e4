// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QList>

#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QWidget;

namespace zelcor {

class ExchangeControls;
class MessageBoxes;
class PasteBox;
class WrenchSession;

// The main window's parameter set: Get and its request for the factory, the set read and
// the set written, and the verified Write of a new set. Its messages also follow Read Max
// Torque and Clear Er0.
class ParameterSetPanel {
    Q_DECLARE_TR_FUNCTIONS(zelcor::ParameterSetPanel)

public:
    ParameterSetPanel(QWidget* parent, WrenchSession& session, ExchangeControls& controls);

    QGroupBox* group() const { return m_group; }
    // Its controls in the order Tab goes through them: row by row as laid out.
    QList<QWidget*> tabOrder() const;
    // Get and Write usable or not (an open port, no live reading).
    void setUsable(bool usable);

    void cmdGetPara_Click();
    void cmdWrPara_Click();
    void cmdCopyReq_Click();

    // The warning Get asks to be answered with Yes before it reads.
    static bool ConfirmGet(MessageBoxes& boxes);

private:
    void build(QWidget* parent);
    void connectSession();

    WrenchSession& m_session;
    ExchangeControls& m_controls;
    QGroupBox* m_group = nullptr;
    QPushButton* cmdGetPara = nullptr;
    // The parameter request of the last Get, to be copied and sent to the factory.
    QLineEdit* txtParaReq = nullptr;
    QPushButton* cmdCopyReq = nullptr;
    // Status, VIH, VIL, VAH, VAL: the set read (txtSta ...) and the set written (txtSta1 ...).
    std::array<QLineEdit*, 5> m_read{};
    std::array<QLineEdit*, 5> m_written{};
    PasteBox* txtNewPara = nullptr;
    QPushButton* cmdWrPara = nullptr;
    QLabel* lblMsg = nullptr;
    QLabel* lblMsg1 = nullptr;
    // Beside lblMsg and lblMsg1: the cells done of the job they report on.
    QProgressBar* prgMsg = nullptr;
    QProgressBar* prgMsg1 = nullptr;
    // The bar of the parameter job running, or none.
    QProgressBar* m_jobBar = nullptr;
};

} // namespace zelcor
