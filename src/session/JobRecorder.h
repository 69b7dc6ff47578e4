// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/WrenchLink.h"
#include "session/JobResult.h"
#include "session/ParameterMemory.h"
#include "wrench/ServiceRecord.h"
#include "wrench/TorqueCalc.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace zelcor {

class Clock;

// Service records: what each job did to the wrench, kept as the job runs and handed out
// when it ends. The session tells it when a job begins and ends and every exchange that
// went on the wire; it also keeps what is known of the wrench's memory from those exchanges.
//
// A job made of other jobs (Reading On, a command of zelcor-cli) is one record: only the
// outermost job begins and ends one; the inner ones add their bytes and details to it.
class JobRecorder {
public:
    explicit JobRecorder(const Clock& clock) : m_clock(clock) {}

    // A job begins on `port`; true when it is the outermost one. A job that is not
    // `recorded` (Read All, a console read) makes no record, nor do the jobs inside it.
    bool begin(std::string job, bool recorded, std::string port);
    // A job ends: the record of the outermost one, finished with its result.
    std::optional<ServiceRecord> end(const JobResult& result);
    // The record being kept, when a recorded job runs.
    ServiceRecord* record() { return m_depth > 0 && m_recording ? &m_record : nullptr; }
    // The direction and digits the job runs with.
    void setting(bool ccw, int digits);
    // A torque computed during the job: the run's cycles and range.
    void torque(const TorqueResult& result);

    void exchange(const WrenchLink::Exchange& exchange);
    // The port has been closed or lost: another wrench may be plugged in meanwhile, so what
    // was learnt of the memory is forgotten.
    void forgetWrench();
    // What is known of the wrench's memory, 00 07H to 00 2DH, from the exchanges since the
    // port was opened.
    std::optional<std::uint8_t> knownByte(int address) const;
    // The bytes of `cells` as read on this connection, as hexadecimal text; empty when one of
    // them is not known so. A record names a wrench only by what was read of it: a code
    // that was only written (Write All FF) says nothing of which wrench it is.
    std::string readCode(std::span<const int> cells) const;

private:
    const Clock& m_clock;
    std::array<std::optional<std::uint8_t>, cells::kCount> m_known{};
    // The part of m_known that was read from the wrench (a write of the same byte keeps it).
    std::array<std::optional<std::uint8_t>, cells::kCount> m_read{};
    ServiceRecord m_record;
    int m_depth = 0;
    bool m_recording = false; // the outermost job is one that is recorded
    std::int64_t m_startMs = 0;
};

} // namespace zelcor
