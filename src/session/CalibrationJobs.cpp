// SPDX-License-Identifier: GPL-3.0-or-later
// Calibration: the constants, the wrench's modes, the torque, the test run and the live
// reading.
#include "common/TextConv.h"
#include "platform/Clock.h"
#include "platform/MessageBoxes.h"
#include "session/WrenchSession.h"

#include <array>
#include <utility>

namespace zelcor {

TorqueValue TorqueInputs::*CalFieldMember(CalField field) {
    static constexpr std::array<TorqueValue TorqueInputs::*, 12> kMembers{
        &TorqueInputs::adL,  &TorqueInputs::adH,   &TorqueInputs::status, &TorqueInputs::cwiL,
        &TorqueInputs::cwiH, &TorqueInputs::ccwiL, &TorqueInputs::ccwiH,  &TorqueInputs::cwgL,
        &TorqueInputs::cwgH, &TorqueInputs::ccwgL, &TorqueInputs::ccwgH,  &TorqueInputs::statusEp,
    };
    return kMembers.at(static_cast<std::size_t>(field));
}

void WrenchSession::setCalibrationValue(CalField field, TorqueValue value) {
    m_calibration.*CalFieldMember(field) = value;
    if (field != CalField::AdL && field != CalField::AdH && field != CalField::Status) {
        m_constantsRead = false; // a typed constant
    }
}

void WrenchSession::storeRead(CalField field, std::uint8_t value) {
    m_calibration.*CalFieldMember(field) = value;
    emit calibrationValueRead(field);
}

JobResult WrenchSession::readConstants() {
    using namespace cells;
    static constexpr std::array<std::pair<int, CalField>, 9> kSteps{{
        {kStatus, CalField::StatusEp},
        {kConstantsCw.VIL, CalField::CwiL},
        {kConstantsCw.VIH, CalField::CwiH},
        {kConstantsCcw.VIL, CalField::CcwiL},
        {kConstantsCcw.VIH, CalField::CcwiH},
        {kConstantsCw.VAL, CalField::CwgL},
        {kConstantsCw.VAH, CalField::CwgH},
        {kConstantsCcw.VAL, CalField::CcwgL},
        {kConstantsCcw.VAH, CalField::CcwgH},
    }};
    const auto job = this->job("Read Constants", false);
    if (!job) {
        return refusedAsBusy();
    }
    m_constantsRead = false;
    for (const auto& [address, field] : kSteps) {
        const ReadReply reply = m_link.read(0x00, static_cast<std::uint8_t>(address));
        if (!reply.hasData) {
            m_link.ShowCommResult(reply.result);
            return {JobEnd::Failed, reply.result, address, {}};
        }
        storeRead(field, reply.data[0]);
    }
    m_constantsRead = true;
    return {};
}

JobResult WrenchSession::lostPortEnd() const {
    return m_link.isOpen() ? JobResult{} : JobResult{JobEnd::Failed, CommResult::TimeOut, -1, {}};
}

JobResult WrenchSession::recordedExchange(const char* name,
                                          const std::function<JobResult()>& body) {
    auto recording = job(name);
    if (!recording) {
        return refusedAsBusy();
    }
    return recording.end(body());
}

JobResult WrenchSession::enterCalibration() {
    return recordedExchange("Calibration Mode On", [this]() -> JobResult {
        const ReadReply reply = m_link.read(0x00, 0x02);
        if (!reply.hasData) {
            m_link.ShowCommResult(reply.result);
            return {JobEnd::Failed, reply.result, 0x02, {}};
        }
        storeRead(CalField::AdL, reply.data[0]);
        storeRead(CalField::AdH, reply.data[1]);
        storeRead(CalField::Status, reply.data[2]);
        return {};
    });
}

JobResult WrenchSession::leaveCalibration() {
    return recordedExchange("Calibration Mode Off", [this]() -> JobResult {
        if (const CommResult result = m_link.write(0x00, 0x02, 0x00);
            result != CommResult::Success) {
            m_link.ShowCommResult(result);
            return {JobEnd::Failed, result, 0x02, {}};
        }
        return {};
    });
}

JobResult WrenchSession::readCommand(std::uint8_t addr0) {
    // The wrench only echoes the address here, which never counts as data: a correct echo
    // is a success and shows nothing.
    const ReadReply reply = m_link.read(0x00, addr0);
    m_link.ShowCommResult(reply.result);
    if (reply.result != CommResult::Success) {
        return {JobEnd::Failed, reply.result, addr0, {}};
    }
    return {};
}

JobResult WrenchSession::resetLinkMode() {
    return recordedExchange("Link Mode Reset", [this] { return readCommand(0x00); });
}

JobResult WrenchSession::leaveLinkMode() {
    return recordedExchange("Link Mode Leave", [this] { return readCommand(0x01); });
}

TorqueResult WrenchSession::computeTorque() {
    TorqueResult result = ComputeTorque(m_calibration, m_divisor);
    result.liveReadThisCycle = std::exchange(m_liveReadThisCycle, false);
    result.constantsRead = m_constantsRead;
    m_recorder.torque(result);
    if (!result.overflow) {
        m_torqueHistory.push_back({m_clock.nowMs(), result.ad, result.torque});
    }
    emit torqueComputed(result, m_clock.nowMs());
    return result;
}

void WrenchSession::yieldToEvents() {
    // A wait like any other: "End" in it ends the program.
    bool passed = false;
    const auto timer = m_clock.createTimer([&passed] { passed = true; });
    timer->start(0);
    m_clock.waitUntil([&passed] { return passed; });
}

JobResult WrenchSession::runTest() {
    if (m_testRunning) {
        // A second run here would sit inside the first one's waits and hold it up until it
        // ended; the one that runs simply goes on.
        m_stopTest = false;
        emit testRunningChanged(true);
        return {};
    }
    m_stopTest = false;
    return runTestCycles();
}

JobResult WrenchSession::runTestCycles() {
    if (!m_pause) {
        // The record keeps the system's words; the box shows them translated.
        const char* pattern = QT_TR_NOOP("The pause \"%1\" cannot be used: it must be a whole "
                                         "number of milliseconds from 1 to 32767.\r\nThe test "
                                         "has not been started.");
        const std::string pause = QuotedInput(m_pauseText);
        JobResult refused{JobEnd::Refused, CommResult::Success, -1, recordText(pattern, {pause})};
        m_boxes.show(tr(pattern).arg(QString::fromStdString(pause)), tr("Pause"),
                     BoxIcon::Exclamation, BoxButtons::Ok);
        return refused;
    }
    {
        auto recording = job("Test Run");
        if (!recording) {
            return refusedAsBusy();
        }
        // The pause is taken once, at the start: what is typed during the run (a text that is
        // no pause, too) counts from the next run.
        const std::int16_t pause = *m_pause;
        m_testRunning = true;
        emit testRunningChanged(true);
        // The stop request is looked at only here, so a cycle that has begun always ends
        // with its computation.
        while (!m_stopTest) {
            m_link.clearEchoes();
            m_liveReadThisCycle = enterCalibration().ok();
            m_link.MyDelay(pause);
            computeTorque();
            yieldToEvents();
        }
        m_testRunning = false;
        // A run ends only when it is stopped: that is its normal end, unless the port went.
        recording.end(lostPortEnd());
    }
    // Told once the link is free again, so the buttons it gives back are usable.
    emit testRunningChanged(false);
    return {JobEnd::Stopped, CommResult::Success, -1, {}};
}

void WrenchSession::stopTest() {
    m_stopTest = true;
    endLiveReading();
    // A run that is going on tells its end itself when it has ended.
    if (!m_testRunning) {
        emit testRunningChanged(false);
    }
}

void WrenchSession::endLiveReading() {
    if (m_liveReading) {
        m_liveReading = false;
        emit liveReadingChanged(false);
    }
}

JobResult WrenchSession::runLiveReading(bool get) {
    auto recording = this->job("Live Reading");
    if (!recording) {
        return refusedAsBusy();
    }
    // A stop asked for while Get and the constants are read ends the reading before its run.
    m_stopTest = false;
    if (get) {
        getParameterSet();
    }
    readConstants();
    m_liveReading = true;
    emit liveReadingChanged(true);
    const std::string& digits = m_currentSet.DecDigits;
    if (digits.size() == 2 && digits[0] == '0' && digits[1] >= '0' && digits[1] <= '3') {
        m_divisor = *DivisorForDigits(digits[1] - '0');
    }
    JobResult result;
    // With the port gone already (lost during Get) there is nothing to read.
    if (m_link.isOpen() && !m_stopTest) {
        result = runTestCycles();
    }
    endLiveReading();
    recording.end(lostPortEnd());
    return result;
}

} // namespace zelcor
