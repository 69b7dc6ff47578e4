// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "wrench/Verification.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zelcor {

// A byte of the wrench's memory (00 07H to 00 2DH) as a job read or wrote it.
struct RecordedRead {
    int address;
    std::uint8_t value;
};
struct RecordedWrite {
    int address;
    std::optional<std::uint8_t> before; // what the wrench held, when it was known
    std::uint8_t after;
};

enum class RecordOutcome { Done, Failed, Refused, Stopped };

// A test run or a live reading: how many cycles, when the first and the last torque came
// (ms from the job's start), and the lowest and highest torque.
struct RecordedRun {
    int cycles = 0;
    std::int64_t firstMs = 0;
    std::int64_t lastMs = 0;
    double lowest = 0;
    double highest = 0;
};

// What was done to which wrench: one job, as a service record keeps it. The session fills
// what it knows (the job, the wrench, the bytes, the result); the recorder adds where and by
// whom, and when by the wall clock.
struct ServiceRecord {
    std::string id;   // unique, made by the recorder
    std::string time; // when the job began: UTC, ISO 8601
    std::int64_t durationMs = 0;
    std::string station;      // host name
    std::string operatorName; // the operating-system user
    std::string program;      // "zelcor 1.3.0", "zelcor-cli 1.3.0"
    std::string port;

    // The wrench as last read; empty where a byte of it is unknown.
    std::string factoryCode;     // 0CH 0DH: "A1B2"
    std::string softwareVersion; // 0FH 0EH: "1005"
    std::string wrenchCode;      // 2BH 2CH 2DH: "123456"

    std::string job;           // "Get", "Parameter Write", "zelcor-cli dump" ...
    std::string direction;     // "CW" or "CCW" where it applies
    std::optional<int> digits; // digits after the point where they apply
    std::vector<RecordedRead> bytesRead;
    std::vector<RecordedWrite> bytesWritten;
    std::string requestCode; // Get: the request handed out
    std::string requestMessage;
    std::string newSet; // Parameter Write: the new set's text as given
    std::string detail; // what else the job is about: the byte sent, the torque read
    std::optional<RecordedRun> run;
    std::optional<VerificationRun> verification; // a verification run: its settings and readings

    RecordOutcome outcome = RecordOutcome::Done;
    int failureCode = 0; // the failed exchange's code (1 time-out, 2, 4, 8)
    std::string message; // a refusal: the box's text
};

} // namespace zelcor
