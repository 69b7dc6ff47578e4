// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "wrench/WrenchMap.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace zelcor {

class ExchangeControls;
class WrenchSession;
struct CellProgress;
struct JobResult;
enum class CellJob;

// The parameter memory editor: the session's parameter memory (00 00H to 00 2DH) as a grid
// of cells. Whatever changes the memory (this window's transfers, or the main window's Get,
// Write, Read Max Torque and Clear Er0) shows here, and what the technician types into a
// cell or ticks goes into the memory.
class frmRs232WRPara : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCellCount = cells::kCount;

    // `mainWindow` is the window Return brings to the front.
    frmRs232WRPara(WrenchSession& session, QWidget& mainWindow);
    ~frmRs232WRPara() override;

    // Cell i: the byte at address 00 i as two hexadecimal digits ("XX" when not read), its
    // selection (checked: takes part in Read All and Write) and its legend.
    QLineEdit* Text1(int i) const { return m_text1.at(static_cast<std::size_t>(i)); }
    QCheckBox* Check1(int i) const { return m_check1.at(static_cast<std::size_t>(i)); }
    QLabel* Label26(int i) const { return m_label26.at(static_cast<std::size_t>(i)); }

    void cmdClear_Click();
    void cmdFillAllFF_Click();
    void cmdStop_Click();
    void cmdReturn_Click();
    void cmdReadAll_Click();
    void cmdWr_Click();
    void cmdWriteAllFF_Click();
    void cmdLdPara_Click();

    QPushButton* cmdReadAll = nullptr;
    QPushButton* cmdWR = nullptr;
    QPushButton* cmdWriteAllFF = nullptr;
    QPushButton* cmdFillAllFF = nullptr;
    QPushButton* cmdClear = nullptr;
    QComboBox* Combo1 = nullptr;
    QPushButton* cmdLdPara = nullptr;
    QPushButton* cmdStop = nullptr;
    QPushButton* cmdReturn = nullptr;
    QLabel* labMsg = nullptr;
    // The cells of the running transfer done, "n of m"; empty when none runs.
    QProgressBar* prgCells = nullptr;
    // Step markers "4-1" to "4-4".
    QLabel* Label2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;

private:
    void buildControls();
    void buildCells(QWidget* parent);
    void connectHandlers();
    // Shows cell i as the memory holds it; the cell being typed into keeps its text.
    void showCell(int i);
    void showProgress(const CellProgress& progress);
    void showEnd(CellJob job, const JobResult& result);

    WrenchSession& m_session;
    QWidget& m_main;
    std::unique_ptr<ExchangeControls> m_exchangeControls;
    std::array<QLineEdit*, kCellCount> m_text1{};
    std::array<QCheckBox*, kCellCount> m_check1{};
    std::array<QLabel*, kCellCount> m_label26{};
    // The cell whose text is going into the memory, or -1; a cell being shown, or -1.
    int m_typingCell = -1;
    int m_showingCell = -1;
};

} // namespace zelcor
