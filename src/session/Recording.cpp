// SPDX-License-Identifier: GPL-3.0-or-later
// Service records: what each job did to the wrench, kept as the job runs and told when it ends.
#include "common/TextConv.h"
#include "platform/Clock.h"
#include "session/WrenchSession.h"

#include <algorithm>

namespace zelcor {

namespace {

// Reads and writes of 00 00H to 00 02H are the wrench's commands (link mode, calibration
// mode), not bytes of its memory.
bool IsCommand(const WrenchLink::Exchange& e) {
    return e.addr1 == 0 && e.addr0 <= 2;
}

} // namespace

std::optional<std::uint8_t> WrenchSession::knownByte(int address) const {
    if (address < cells::kFirstTransfer || address > cells::kLast) {
        return std::nullopt;
    }
    return m_known[static_cast<std::size_t>(address)];
}

void WrenchSession::onExchange(const WrenchLink::Exchange& e) {
    if (IsCommand(e)) {
        return;
    }
    const int address = e.addr1 * 256 + e.addr0;
    const bool memoryCell =
        e.addr1 == 0 && e.addr0 >= cells::kFirstTransfer && e.addr0 <= cells::kLast;
    if (e.reply.result != CommResult::Success) {
        // A write whose reply went wrong may have taken effect or not.
        if (e.write && memoryCell) {
            m_known[e.addr0].reset();
            m_read[e.addr0].reset();
        }
        return;
    }
    if (!e.write && !e.reply.hasData) {
        return;
    }
    const std::uint8_t value = e.write ? e.data : e.reply.data[0];
    if (ServiceRecord* r = record()) {
        if (e.write) {
            r->bytesWritten.push_back({address, knownByte(address), value});
        } else {
            r->bytesRead.push_back({address, value});
        }
    }
    if (memoryCell) {
        m_known[e.addr0] = value;
        if (!e.write) {
            m_read[e.addr0] = value;
        } else if (m_read[e.addr0] != value) {
            m_read[e.addr0].reset();
        }
    }
}

void WrenchSession::forgetWrench() {
    m_known.fill(std::nullopt);
    m_read.fill(std::nullopt);
}

std::string WrenchSession::readCode(std::span<const int> list) const {
    return CellsText(list, [this](int cell) { return m_read[static_cast<std::size_t>(cell)]; });
}

std::string WrenchSession::wrenchCode() const {
    return readCode(cells::kWrenchCode);
}

void WrenchSession::beginRecord(std::string job, bool recorded) {
    if (m_recordDepth++ > 0) {
        return;
    }
    m_link.beginJob(job);
    m_recording = recorded;
    m_record = ServiceRecord{};
    m_record.job = std::move(job);
    // The wrench the job is done to is the one known when it begins (Write All FF overwrites
    // its identity); what the job itself reads fills in what was not known.
    m_record.factoryCode = readCode(cells::kFactoryCode);
    m_record.softwareVersion = readCode(cells::kSoftwareVersion);
    m_record.wrenchCode = wrenchCode();
    m_record.port = m_link.portName();
    m_recordStartMs = m_clock.nowMs();
}

void WrenchSession::recordSetting() {
    if (ServiceRecord* r = record()) {
        r->direction = m_setting.DirCCW ? "CCW" : "CW";
        r->digits = m_setting.FraDigits;
    }
}

void WrenchSession::recordTorque(const TorqueResult& result) {
    ServiceRecord* r = record();
    if (r == nullptr || result.overflow) {
        return;
    }
    const std::int64_t at = m_clock.nowMs() - m_recordStartMs;
    if (!r->run) {
        r->run = RecordedRun{0, at, at, result.torque, result.torque};
    }
    RecordedRun& run = *r->run;
    ++run.cycles;
    run.lastMs = at;
    run.lowest = std::min(run.lowest, result.torque);
    run.highest = std::max(run.highest, result.torque);
}

void WrenchSession::endRecord(const JobResult& result) {
    if (m_recordDepth == 0 || --m_recordDepth > 0 || !m_recording) {
        return;
    }
    ServiceRecord& r = m_record;
    r.durationMs = m_clock.nowMs() - m_recordStartMs;
    // A code still unknown is taken from what the job read; one it only wrote (Write All FF
    // on a wrench never read) says nothing of which wrench it was, and stays empty.
    const auto lastRead = [&r](int cell) -> std::optional<std::uint8_t> {
        const auto read = std::find_if(r.bytesRead.rbegin(), r.bytesRead.rend(),
                                       [cell](const RecordedRead& b) { return b.address == cell; });
        return read == r.bytesRead.rend() ? std::nullopt : std::optional(read->value);
    };
    const auto fill = [&lastRead](std::string& code, std::span<const int> list) {
        if (code.empty()) {
            code = CellsText(list, lastRead);
        }
    };
    fill(r.factoryCode, cells::kFactoryCode);
    fill(r.softwareVersion, cells::kSoftwareVersion);
    fill(r.wrenchCode, cells::kWrenchCode);
    switch (result.end) {
    case JobEnd::Done:
        r.outcome = RecordOutcome::Done;
        break;
    case JobEnd::Failed:
        r.outcome = RecordOutcome::Failed;
        r.failureCode = CommResultCode(result.failure);
        break;
    case JobEnd::Refused:
        r.outcome = RecordOutcome::Refused;
        r.message = result.message;
        break;
    case JobEnd::Stopped:
        r.outcome = RecordOutcome::Stopped;
        break;
    }
    emit jobRecorded(r);
}

} // namespace zelcor
