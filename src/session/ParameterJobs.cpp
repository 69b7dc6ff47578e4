// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter set: Get, the verified Write, Read Max Torque and Clear Er0.
#include "common/TextConv.h"
#include "platform/Clock.h"
#include "platform/MessageBoxes.h"
#include "session/WrenchSession.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>

namespace zelcor {

JobResult WrenchSession::readSelected(std::span<const int> list) {
    m_memory.clear();
    for (const int cell : list) {
        m_memory.setSelected(cell, true);
    }
    return readCells();
}

JobResult WrenchSession::getParameterSet() {
    auto recording = this->job("Get");
    if (!recording) {
        return refusedAsBusy();
    }
    recordSetting();
    emit parameterStage(ParameterJob::Get, ParameterStage::Reading);
    m_memory.clear();
    m_link.resetReceive();
    m_link.MyDelay(20);
    // A failed or stopped reading leaves the bytes it did not get unread; Get goes on and
    // hands them out as "XX".
    const JobResult result = readSelected(cells::kGet);
    emit parameterStage(ParameterJob::Get, ParameterStage::ReadDone);
    // The closing pause counts from the end of the reading: the request code's number is
    // kept on disk meanwhile, which takes a moment of its own.
    const std::int64_t readEnd = m_clock.nowMs();

    const std::string reqCode = m_nextRequestCode();
    m_currentSet = CurrentSetFromCells([this](int address) { return m_memory.text(address); },
                                       m_setting, reqCode);
    if (ServiceRecord* r = record()) {
        r->requestCode = reqCode;
        r->requestMessage = parameterRequest();
    }
    emit currentSetChanged();

    m_link.MyDelay(
        static_cast<std::int16_t>(std::max<std::int64_t>(0, 100 - (m_clock.nowMs() - readEnd))));
    emit parameterStage(ParameterJob::Get, ParameterStage::Finished);
    return recording.end(result);
}

std::string WrenchSession::parameterRequest() const {
    return ParameterRequestText(m_currentSet);
}

JobResult WrenchSession::writeParameterSet(std::string_view newParaText,
                                           const OtherWrenchAnswer& otherWrench) {
    auto recording = this->job("Parameter Write");
    if (!recording) {
        return refusedAsBusy();
    }
    recordSetting();
    if (ServiceRecord* r = record()) {
        r->newSet = std::string(newParaText);
    }
    emit parameterStage(ParameterJob::Write, ParameterStage::Reading);
    readSelected(cells::kWriteCheck);
    const ParaRecord identity =
        IdentityFromCells([this](int address) { return m_memory.text(address); }, m_setting);

    // Every check that can refuse runs before the first byte is written, so Write never
    // leaves a wrench half-written by a decision of its own.
    std::string unread;
    for (const int cell : cells::kIdentity) {
        if (!m_memory.byte(cell)) {
            unread +=
                (unread.empty() ? "" : ", ") + ByteToHexStr(static_cast<std::uint8_t>(cell)) + "H";
        }
    }
    // The record keeps the refusal in the system's words; the box shows it translated.
    std::string refusal;
    QString shown;
    ParaRecord newSet;
    if (!unread.empty()) {
        const char* pattern = QT_TR_NOOP("The wrench's identity could not be read at "
                                         "%1.\r\nNothing has been written.");
        refusal = recordText(pattern, {unread});
        shown = tr(pattern).arg(QString::fromStdString(unread));
    } else if (const NewParaFault fault = VerifyNewPara(newParaText, identity, newSet);
               fault != NewParaFault::None) {
        refusal = std::string(NewParaFaultMessage(fault));
        shown = QCoreApplication::translate("zelcor::NewParaCheck", refusal.c_str());
    }
    if (!refusal.empty()) {
        reportError(shown);
        emit parameterStage(ParameterJob::Write, ParameterStage::Finished);
        return recording.end({JobEnd::Refused, CommResult::Success, -1, refusal});
    }
    // The checks above leave the wrench code alone, yet another wrench's constants make a
    // wrench that reads wrong with nothing to show why: that takes a decision of its own.
    if (IssuedForOtherWrench(newSet, identity)) {
        const std::string setCode = newSet.WrCode;
        const std::string wrenchCode = identity.WrCode;
        const bool write =
            otherWrench
                ? otherWrench(setCode, wrenchCode)
                : m_boxes.show(
                      tr("This parameter set was issued for the wrench %1; the wrench "
                         "connected is %2.\r\nWrite it into this wrench all the same?")
                          .arg(QString::fromStdString(setCode), QString::fromStdString(wrenchCode)),
                      tr("Warning!!!"), BoxIcon::Exclamation,
                      BoxButtons::YesNoDefaultNo) == BoxAnswer::Yes;
        if (!write) {
            emit parameterStage(ParameterJob::Write, ParameterStage::Finished);
            return recording.end(
                {JobEnd::Refused, CommResult::Success, -1,
                 recordText("The parameter set was issued for the wrench %1, not for this one "
                            "(%2): nothing has been written.",
                            {setCode, wrenchCode})});
        }
        if (ServiceRecord* r = record()) {
            r->detail = "issued for the wrench " + setCode + ", written all the same";
        }
    }

    emit parameterStage(ParameterJob::Write, ParameterStage::Writing);
    for (const NewCellValue& cell : NewCellValues(newSet, m_setting.DirCCW)) {
        m_memory.setTyped(cell.address, cell.text);
        m_memory.setSelected(cell.address, true);
    }
    emit newSetAccepted(newSet);
    // A write that fails is reported where it fails, and ends there.
    const JobResult result = writeCells();
    emit parameterStage(ParameterJob::Write, ParameterStage::Finished);
    return recording.end(result);
}

JobResult WrenchSession::readMaxTorqueCells() {
    for (int i = 0; i < cells::kCount; ++i) {
        m_memory.setSelected(i, false);
    }
    m_memory.clear();
    m_link.resetReceive();
    m_link.MyDelay(20);
    return readSelected(cells::kMaxTorque);
}

JobResult WrenchSession::readMaxTorque() {
    auto recording = this->job("Read Max Torque");
    if (!recording) {
        return refusedAsBusy();
    }
    recordSetting();
    emit parameterStage(ParameterJob::MaxTorque, ParameterStage::Reading);
    const JobResult result = readMaxTorqueCells();
    // A byte that could not be read counts as 0 (its box has said why).
    const auto value = [this](int address) { return m_memory.byte(address).value_or(0); };
    m_maxTorqueRaw = 256 * value(cells::kMaxTorqueHigh) + value(cells::kMaxTorqueLow);
    emit maxTorqueChanged();
    if (ServiceRecord* r = record(); r != nullptr && result.ok()) {
        r->detail = "maximum torque " + maxTorqueText();
    }
    emit parameterStage(ParameterJob::MaxTorque, ParameterStage::Finished);
    return recording.end(result);
}

JobResult WrenchSession::clearEr0() {
    auto recording = this->job("Clear Er0");
    if (!recording) {
        return refusedAsBusy();
    }
    emit parameterStage(ParameterJob::ClearEr0, ParameterStage::Reading);
    readMaxTorqueCells();
    JobResult result;
    if (const auto status = m_memory.byte(cells::kStatus); !status) {
        // Written blind, the status would lose every other flag it holds.
        const char* refusal = QT_TR_NOOP("The status byte (10H) could not be read.\r\nNothing "
                                         "has been written: the error flag is not cleared.");
        result = {JobEnd::Refused, CommResult::Success, cells::kStatus, refusal};
        reportError(tr(refusal));
    } else {
        emit parameterStage(ParameterJob::ClearEr0, ParameterStage::Writing);
        m_memory.setByte(cells::kMaxTorqueLow, 0x00);
        m_memory.setByte(cells::kMaxTorqueHigh, 0x00);
        m_memory.setByte(cells::kStatus, static_cast<std::uint8_t>(*status & 0x7F));
        result = writeCells();
    }
    for (const int cell : cells::kMaxTorque) {
        m_memory.setSelected(cell, false);
    }
    emit parameterStage(ParameterJob::ClearEr0, ParameterStage::Finished);
    return recording.end(result);
}

} // namespace zelcor
