// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/JobRecorder.h"

#include "common/TextConv.h"
#include "platform/Clock.h"

#include <algorithm>

namespace zelcor {

namespace {

// Reads and writes of 00 00H to 00 02H are the wrench's commands (link mode, calibration
// mode), not bytes of its memory.
bool IsCommand(const WrenchLink::Exchange& e) {
    return e.addr1 == 0 && e.addr0 <= 2;
}

} // namespace

std::optional<std::uint8_t> JobRecorder::knownByte(int address) const {
    if (address < cells::kFirstTransfer || address > cells::kLast) {
        return std::nullopt;
    }
    return m_known[static_cast<std::size_t>(address)];
}

void JobRecorder::exchange(const WrenchLink::Exchange& e) {
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

void JobRecorder::forgetWrench() {
    m_known.fill(std::nullopt);
    m_read.fill(std::nullopt);
}

std::string JobRecorder::readCode(std::span<const int> list) const {
    return CellsText(list, [this](int cell) { return m_read[static_cast<std::size_t>(cell)]; });
}

bool JobRecorder::begin(std::string job, bool recorded, std::string port) {
    if (m_depth++ > 0) {
        return false;
    }
    m_recording = recorded;
    m_record = ServiceRecord{};
    m_record.job = std::move(job);
    // The wrench the job is done to is the one known when it begins (Write All FF overwrites
    // its identity); what the job itself reads fills in what was not known.
    m_record.factoryCode = readCode(cells::kFactoryCode);
    m_record.softwareVersion = readCode(cells::kSoftwareVersion);
    m_record.wrenchCode = readCode(cells::kWrenchCode);
    m_record.port = std::move(port);
    m_startMs = m_clock.nowMs();
    return true;
}

void JobRecorder::setting(bool ccw, int digits) {
    if (ServiceRecord* r = record()) {
        r->direction = ccw ? "CCW" : "CW";
        r->digits = digits;
    }
}

void JobRecorder::torque(const TorqueResult& result) {
    ServiceRecord* r = record();
    if (r == nullptr || result.overflow) {
        return;
    }
    const std::int64_t at = m_clock.nowMs() - m_startMs;
    if (!r->run) {
        r->run = RecordedRun{0, at, at, result.torque, result.torque};
    }
    RecordedRun& run = *r->run;
    ++run.cycles;
    run.lastMs = at;
    run.lowest = std::min(run.lowest, result.torque);
    run.highest = std::max(run.highest, result.torque);
}

std::optional<ServiceRecord> JobRecorder::end(const JobResult& result) {
    if (m_depth == 0 || --m_depth > 0 || !m_recording) {
        return std::nullopt;
    }
    ServiceRecord& r = m_record;
    r.durationMs = m_clock.nowMs() - m_startMs;
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
    return r;
}

} // namespace zelcor
