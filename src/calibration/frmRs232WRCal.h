// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class QComboBox;
class QLayout;
class QLineEdit;
class QPushButton;

namespace zelcor {

class ExchangeControls;
class Shape;
class TorquePlot;
class WrenchSession;
struct TorqueResult;
enum class CalField;

// The calibration window: the session's calibration constants and live value, the wrench's
// serial-link and calibration modes, the torque computed from them, and the test run that
// repeats reading and computing until it is stopped. What the session's live reading reads
// and computes shows here whether or not this window is on the screen.
class frmRs232WRCal : public QWidget {
    Q_OBJECT
public:
    // `showMainWindow` is what "返回" does besides hiding this window.
    frmRs232WRCal(WrenchSession& session, std::function<void()> showMainWindow = {});
    ~frmRs232WRCal() override;

    void cmdReakAllKandA_Click();
    void CmdCal_Click();
    void cmdRst232_Click();
    void cmdTestStart_Click();
    void cmdTestStop_Click();

    TorquePlot& plot() const;

private:
    void Form_Load();
    void cmbPt_Click();
    void CmdESCCal_Click();
    void cmdESC232_Click();
    void cmdReturn_Click();
    void cmdCalTk_Click();

    void buildControls();
    QPushButton* button(const char* name, const QString& caption, const QString& meaning = {});
    QLineEdit* valueBox(const char* name);
    // An indicator with its caption beside it.
    QLayout* indicator(Shape*& shape, const char* name, const char* labelName,
                       const QString& caption);
    void connectHandlers();
    QLineEdit* boxOf(CalField field) const;
    void showRead(CalField field);
    void showTorque(const TorqueResult& result, std::int64_t timeMs);
    // The run's state on the Start and Stop buttons.
    void showTestButtons(bool running);
    void setIndicator(Shape* shape, bool set);

    WrenchSession& m_session;
    std::function<void()> m_showMainWindow;
    std::unique_ptr<ExchangeControls> m_exchangeControls;
    QComboBox* cmbPt = nullptr;
    // The constants' bytes and the stored status.
    QLineEdit* txtgk_cwi_h = nullptr;
    QLineEdit* txtgk_cwi_l = nullptr;
    QLineEdit* txtgk_cwg_h = nullptr;
    QLineEdit* txtgk_cwg_l = nullptr;
    QLineEdit* txtgStatusEp = nullptr;
    QLineEdit* txtgk_ccwi_h = nullptr;
    QLineEdit* txtgk_ccwi_l = nullptr;
    QLineEdit* txtgk_ccwg_h = nullptr;
    QLineEdit* txtgk_ccwg_l = nullptr;
    Shape* shpCWMinus = nullptr;
    Shape* shpCCWMinus = nullptr;
    QPushButton* cmdReakAllKandA = nullptr;
    QPushButton* cmdRst232 = nullptr;
    QPushButton* cmdESC232 = nullptr;
    QPushButton* CmdCal = nullptr;
    QPushButton* CmdESCCal = nullptr;
    QPushButton* cmdCalTk = nullptr;
    // The live raw value and status, the INV indicator and the torque.
    QLineEdit* txta_Ad_Ajust_H = nullptr;
    QLineEdit* txta_Ad_Ajust_L = nullptr;
    QLineEdit* txtgStatus = nullptr;
    Shape* shpInv = nullptr;
    QLineEdit* txtTk = nullptr;
    QLineEdit* txtDelayTime = nullptr;
    QPushButton* cmdTestStart = nullptr;
    QPushButton* cmdTestStop = nullptr;
    TorquePlot* chtTorque = nullptr;
    QPushButton* cmdReturn = nullptr;
    bool m_showing = false;
};

} // namespace zelcor
