// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zelcor {

class ExchangeControls;
class WrenchLink;

// The parameter memory editor: the instrument's first 46 bytes (00 00H to 00 2DH) as a grid
// of cells. The cells are also the transfer buffer of the main window's parameter
// operations, which select cells, call Clear, Read All and Write, and read or set the cell
// texts whether or not this window is on the screen.
class frmRs232WRPara : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCellCount = 46;
    // Read All, Write and Write All FF cover the cells from here to the last one; the cells
    // below it are never read or written.
    static constexpr int kFirstTransferCell = 7;
    static constexpr int kLastCell = kCellCount - 1;
    // Cells below this one cannot be typed into or ticked by the user.
    static constexpr int kFirstEditableCell = 0x10;

    // `mainWindow` is the window Return brings to the front.
    frmRs232WRPara(WrenchLink& link, QWidget& mainWindow);
    ~frmRs232WRPara() override;

    // Cell i: the byte at address 00 i as two hexadecimal digits ("XX" when not read), its
    // selection (checked: takes part in Read All and Write) and its legend.
    QLineEdit* Text1(int i) const { return m_text1.at(static_cast<std::size_t>(i)); }
    QCheckBox* Check1(int i) const { return m_check1.at(static_cast<std::size_t>(i)); }
    QLabel* Label26(int i) const { return m_label26.at(static_cast<std::size_t>(i)); }

    // Every cell to "XX" and unselected.
    void cmdClear_Click();
    // Cells 07H to 2DH to "FF" and selected; nothing is sent.
    void cmdFillAllFF_Click();
    // Asks a running Read All, Write or Write All FF to stop after its current cell.
    void cmdStop_Click();
    // Brings the main window to the front; this window stays as it is.
    void cmdReturn_Click();
    // Reads every selected cell from 07H to 2DH, in ascending order.
    void cmdReadAll_Click();
    // Writes every selected cell from 07H to 2DH, in ascending order. A cell whose text is
    // not a byte ends Write with a message naming it, before anything of it is sent.
    void cmdWr_Click();
    // Writes FF to every address 07H to 2DH; the cells are not used or changed.
    void cmdWriteAllFF_Click();
    // Writes one byte at 00 InAddr0 with one retry. False when both attempts failed or a
    // stop was requested (each reported by its box).
    bool WriteParameter(std::uint8_t InAddr0, std::uint8_t InData);
    // Loads the preset of the model named in Combo1 into cells 10H to 2AH and selects
    // exactly those cells.
    void cmdLdPara_Click();

    bool StopFlag = false;

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
    // Step markers "4-1" to "4-4".
    QLabel* Label2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;

private:
    void buildControls();
    void buildCells(QWidget* parent);
    void connectHandlers();

    // One read of 00 InAddr0, tried a second time when the first fails.
    bool readWithRetry(std::uint8_t InAddr0, std::uint8_t& OutData);
    // One write of 00 InAddr0, tried a second time when the first fails.
    bool writeWithRetry(std::uint8_t InAddr0, std::uint8_t InData);
    // The box for an address whose two attempts failed.
    void showReceiveError();
    // When a stop has been asked for, says so in its box and returns true.
    bool stopRequested();
    // The byte of cell i's text; when the text is no byte, a box naming the cell says why
    // and the result is false.
    bool cellByte(int i, std::uint8_t& OutData);

    WrenchLink& m_link;
    QWidget& m_main;
    std::unique_ptr<ExchangeControls> m_exchangeControls;
    std::array<QLineEdit*, kCellCount> m_text1{};
    std::array<QCheckBox*, kCellCount> m_check1{};
    std::array<QLabel*, kCellCount> m_label26{};
};

} // namespace zelcor
