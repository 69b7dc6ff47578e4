// SPDX-License-Identifier: GPL-3.0-or-later
#include "paramset/ParameterTransfer.h"

#include "common/TextConv.h"
#include "editor/CellText.h"
#include "editor/frmRs232WRPara.h"
#include "paramset/NewParaCheck.h"
#include "paramset/ParaRecord.h"
#include "platform/MessageBoxes.h"
#include "serial/WrenchLink.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <array>

namespace zelcor {

namespace {

// What Get reads: the identity, the status byte and both directions' constants.
constexpr std::initializer_list<int> kGetCells{0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13,
                                               0x14, 0x25, 0x26, 0x27, 0x28, 0x2B, 0x2C, 0x2D};
// What Write reads back before writing: the identity and the status byte.
constexpr std::initializer_list<int> kIdentityCells{0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x2B, 0x2C, 0x2D};
// Identity bytes that Write writes back as it read them: one it could not read would reach
// the wrench as a byte it never held.
constexpr std::array<int, 7> kKeptIdentityCells{0x0C, 0x0D, 0x0E, 0x0F, 0x2B, 0x2C, 0x2D};
// The maximum torque the wrench keeps, low and high byte.
constexpr int kMaxTorqueLowCell = 0x23;
constexpr int kMaxTorqueHighCell = 0x24;

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

ParameterTransfer::ParameterTransfer(WrenchLink& link, frmRs232WRPara& editor, Controls controls,
                                     std::function<DigitsAndDirection()> setting,
                                     std::function<std::string()> nextRequestCode,
                                     std::function<void(std::int32_t)> showMaxTorque)
    : m_link(link), m_editor(editor), m_ui(controls), m_setting(std::move(setting)),
      m_nextRequestCode(std::move(nextRequestCode)), m_showMaxTorque(std::move(showMaxTorque)) {
    m_ui.txtParaReq->setReadOnly(true);
    m_ui.cmdCopyReq->setEnabled(false); // nothing to copy before the first Get
}

bool ParameterTransfer::confirm(const QString& text, const QString& title) {
    return m_link.boxes().show(text, title, BoxIcon::Exclamation, BoxButtons::YesNo) ==
           BoxAnswer::Yes;
}

void ParameterTransfer::reportError(const QString& text) {
    m_link.boxes().show(text, QStringLiteral("Error!!!"), BoxIcon::Exclamation, BoxButtons::Ok);
}

std::string ParameterTransfer::cellText(int address) const {
    return m_editor.Text1(address)->text().toStdString();
}

void ParameterTransfer::readCells(std::initializer_list<int> cells) {
    m_editor.cmdClear_Click();
    for (const int cell : cells) {
        m_editor.Check1(cell)->setChecked(true);
    }
    m_editor.cmdReadAll_Click();
}

void ParameterTransfer::cmdGetPara_Click() {
    if (!m_link.mayStartOperation() ||
        !confirm(QStringLiteral("Make sure the dircetion(CW/CCW) and the digits after decimal pt."),
                 QStringLiteral("Warning"))) {
        return;
    }
    // Held to the end: Get's buttons, and every other exchange, wait until it is done.
    const WrenchLink::Hold hold(m_link);
    m_ui.lblMsg->setText(QStringLiteral("Reading....."));
    m_ui.lblMsg->show();
    for (QLineEdit* box : {m_ui.txtVIH, m_ui.txtVIL, m_ui.txtVAH, m_ui.txtVAL, m_ui.txtSta}) {
        box->setText(QStringLiteral("00"));
    }
    m_editor.cmdClear_Click();
    m_link.resetReceive();
    m_link.MyDelay(20);
    // A failed or stopped reading leaves the bytes it did not get at "XX"; Get goes on and
    // hands them out as such.
    readCells(kGetCells);
    m_ui.lblMsg->setText(QStringLiteral("OK"));

    const std::string reqCode = m_nextRequestCode();
    gCurPara = CurrentSetFromCells([this](int address) { return cellText(address); }, m_setting(),
                                   reqCode);
    m_ui.txtVIH->setText(qs(gCurPara.VIH));
    m_ui.txtVIL->setText(qs(gCurPara.VIL));
    m_ui.txtVAH->setText(qs(gCurPara.VAH));
    m_ui.txtVAL->setText(qs(gCurPara.VAL));
    m_ui.txtSta->setText(qs(gCurPara.StatusEp));
    m_ui.txtParaReq->setText(qs(ParameterRequestText(gCurPara)));
    m_ui.txtParaReq->setCursorPosition(0);
    m_ui.cmdCopyReq->setEnabled(true);

    m_link.MyDelay(100);
    m_ui.lblMsg->clear();
    m_ui.lblMsg->hide();
}

void ParameterTransfer::readMaxTorqueCells() {
    for (int i = 0; i < frmRs232WRPara::kCellCount; ++i) {
        m_editor.Check1(i)->setChecked(false);
    }
    m_ui.lblMsg->setText(QStringLiteral("Reading....."));
    m_ui.lblMsg->show();
    m_editor.cmdClear_Click();
    m_link.resetReceive();
    m_link.MyDelay(20);
    readCells({kStatusEpCell, kMaxTorqueLowCell, kMaxTorqueHighCell});
}

void ParameterTransfer::cmdRdMaxTk_Click() {
    if (!m_link.mayStartOperation()) {
        return;
    }
    const WrenchLink::Hold hold(m_link);
    readMaxTorqueCells();
    // A byte that could not be read counts as 0 (the editor has said why).
    const auto value = [this](int address) {
        const CellByte cell = CellTextToByte(cellText(address));
        return cell.fault == CellTextFault::None ? cell.value : 0;
    };
    m_showMaxTorque(256 * value(kMaxTorqueHighCell) + value(kMaxTorqueLowCell));
    m_ui.lblMsg->clear();
    m_ui.lblMsg->hide();
}

void ParameterTransfer::cmdClrEr0_Click() {
    if (!m_link.mayStartOperation()) {
        return;
    }
    const WrenchLink::Hold hold(m_link);
    readMaxTorqueCells();
    const CellByte status = CellTextToByte(cellText(kStatusEpCell));
    if (status.fault != CellTextFault::None) {
        // Written blind, the status would lose every other flag it holds.
        reportError(QStringLiteral("The status byte (10H) could not be read.\r\nNothing has "
                                   "been written: the error flag is not cleared."));
    } else {
        m_ui.lblMsg->setText(QStringLiteral("Writing....."));
        m_editor.Text1(kMaxTorqueLowCell)->setText(QStringLiteral("00"));
        m_editor.Text1(kMaxTorqueHighCell)->setText(QStringLiteral("00"));
        m_editor.Text1(kStatusEpCell)
            ->setText(QString::fromStdString(
                ByteToHexStr(static_cast<std::uint8_t>(status.value & 0x7F))));
        m_editor.cmdWr_Click();
    }
    for (const int cell : {kStatusEpCell, kMaxTorqueLowCell, kMaxTorqueHighCell}) {
        m_editor.Check1(cell)->setChecked(false);
    }
    m_ui.lblMsg->clear();
    m_ui.lblMsg->hide();
}

void ParameterTransfer::cmdCopyReq_Click() {
    QApplication::clipboard()->setText(m_ui.txtParaReq->text());
}

void ParameterTransfer::cmdWrPara_Click() {
    if (!m_link.mayStartOperation() ||
        !confirm(QStringLiteral("Are you sure?\r\nNote:Make sure the dircetion(CW/CCW) and the "
                                "digits after decimal point."),
                 QStringLiteral("Warning!!!"))) {
        return;
    }
    const WrenchLink::Hold hold(m_link);
    m_ui.lblMsg1->setText(QStringLiteral("Reading....."));
    m_ui.lblMsg1->show();
    for (QLineEdit* box : {m_ui.txtVIH1, m_ui.txtVIL1, m_ui.txtVAH1, m_ui.txtVAL1, m_ui.txtSta1}) {
        box->setText(QStringLiteral("00"));
    }
    readCells(kIdentityCells);
    const DigitsAndDirection setting = m_setting();
    gChkPara = IdentityFromCells([this](int address) { return cellText(address); }, setting);

    // Every check that can refuse runs before the first byte is written, so Write never
    // leaves a wrench half-written by a decision of its own.
    QStringList unread;
    for (const int cell : kKeptIdentityCells) {
        if (CellTextToByte(cellText(cell)).fault != CellTextFault::None) {
            unread << QString::fromStdString(ByteToHexStr(static_cast<std::uint8_t>(cell))) +
                          QLatin1Char('H');
        }
    }
    if (!unread.isEmpty()) {
        reportError(QStringLiteral("The wrench's identity could not be read at %1.\r\nNothing "
                                   "has been written.")
                        .arg(unread.join(QStringLiteral(", "))));
        m_ui.lblMsg1->hide();
        return;
    }
    const NewParaFault fault =
        VerifyNewPara(m_ui.txtNewPara->toPlainText().toStdString(), gChkPara, gNewPara);
    if (fault != NewParaFault::None) {
        reportError(qs(NewParaFaultMessage(fault)));
        m_ui.lblMsg1->hide();
        return;
    }

    m_ui.lblMsg1->setText(QStringLiteral("Writing....."));
    for (const NewCellValue& cell : NewCellValues(gNewPara, setting.DirCCW)) {
        m_editor.Text1(cell.address)->setText(qs(cell.text));
        m_editor.Check1(cell.address)->setChecked(true);
    }
    m_ui.txtVIH1->setText(qs(gNewPara.VIH));
    m_ui.txtVIL1->setText(qs(gNewPara.VIL));
    m_ui.txtVAH1->setText(qs(gNewPara.VAH));
    m_ui.txtVAL1->setText(qs(gNewPara.VAL));
    m_ui.txtSta1->setText(qs(gNewPara.StatusEp));
    // A write that fails is reported by the editor, which stops at that cell.
    m_editor.cmdWr_Click();
    m_ui.lblMsg1->hide();
}

} // namespace zelcor
