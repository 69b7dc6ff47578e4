// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/RegisterConsole.h"

#include "common/TextConv.h"
#include "console/HexInput.h"
#include "serial/WrenchLink.h"
#include "widgets/EchoBox.h"

#include <QLabel>
#include <QLineEdit>

namespace zelcor {

bool RegisterConsole::checkField(const QString& text, const QString& prefix) {
    Cleckhex(text.toStdString(), HexError, HexErrorMsg);
    if (HexError) {
        // A later failing field replaces the text of an earlier one.
        m_ui.lblErrorMessage->setText(prefix + QString::fromStdString(HexErrorMsg));
        m_ui.lblErrorMessage->show();
    }
    return !HexError;
}

void RegisterConsole::cmdRead_Click() {
    m_ui.lblErrorMessage->hide();
    const bool addr1Ok = checkField(m_ui.txtAddr1Read->text(), QStringLiteral("read addr1 error"));
    const bool addr0Ok = checkField(m_ui.txtAddr0Read->text(), QStringLiteral("read addr0 error"));
    if (!addr1Ok || !addr0Ok) {
        return;
    }
    const std::uint8_t addr1 = HexToByte(m_ui.txtAddr1Read->text().toStdString());
    const std::uint8_t addr0 = HexToByte(m_ui.txtAddr0Read->text().toStdString());
    std::uint8_t result = 0;
    std::uint8_t data[3] = {0, 0, 0};
    if (m_link.SendReadCmd_Chk(addr1, addr0, result, data[0], data[1], data[2])) {
        for (int i = 0; i < 3; ++i) {
            m_ui.txtReadData[i]->setText(QString::fromStdString(ByteToHexStr(data[i])));
        }
    } else {
        m_link.ShowCommResult(result);
        for (QLineEdit* box : m_ui.txtReadData) {
            box->setText(QStringLiteral("XX"));
        }
    }
}

void RegisterConsole::cmdWrite_Click() {
    m_ui.lblErrorMessage->hide();
    const bool addr1Ok =
        checkField(m_ui.txtAddr1Write->text(), QStringLiteral("write addr1 error"));
    const bool addr0Ok =
        checkField(m_ui.txtAddr0Write->text(), QStringLiteral("write addr0 error"));
    const bool dataOk = checkField(m_ui.txtWriteData->text(), QStringLiteral("write data error"));
    if (!addr1Ok || !addr0Ok || !dataOk) {
        return;
    }
    std::uint8_t result = 0;
    if (!m_link.SendWriteCmd_Chk(HexToByte(m_ui.txtAddr1Write->text().toStdString()),
                                 HexToByte(m_ui.txtAddr0Write->text().toStdString()),
                                 HexToByte(m_ui.txtWriteData->text().toStdString()), result)) {
        m_link.ShowCommResult(result);
    }
}

void RegisterConsole::cmdSendAByte_Click() {
    const QString text = m_ui.txtSendByte->text();
    m_ui.lblErrorMessage->hide();
    if (!checkField(text, QStringLiteral("Enter the hex-value 00~FF.   "))) {
        return;
    }
    if (m_link.SendOneByte(HexToByte(text.toStdString()))) {
        m_ui.txtLocalHex->appendText(text + QLatin1Char(' '));
    }
}

void RegisterConsole::cmdClr_Click() {
    m_link.clearEchoes();
}

} // namespace zelcor
