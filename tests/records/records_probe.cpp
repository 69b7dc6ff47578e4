// SPDX-License-Identifier: GPL-3.0-or-later
// Writes records to a target as a program of its own, for the test with several processes:
//
//   zelcor_records_probe TARGET COUNT PREFIX
//
// writes PREFIX-0 ... PREFIX-(COUNT-1), each with 5 written bytes, through a RecordWriter,
// then flushes. Exit code 0 when all were written (handled, and no failure reported).
#include "records/RecordStore.h"
#include "records/RecordWriter.h"

#include <QCoreApplication>

#include <atomic>
#include <cstdio>
#include <string>

namespace {

zelcor::ServiceRecord ProbeRecord(const std::string& prefix, int i) {
    zelcor::ServiceRecord r;
    r.id = prefix + '-' + std::to_string(i);
    r.time = "2026-12-06T23:00:00.000Z";
    r.durationMs = i;
    r.station = "probe";
    r.program = "zelcor_records_probe";
    r.wrenchCode = "123456";
    r.job = "Parameter Write";
    r.bytesRead = {{0x0C, 0xA1}, {0x0D, 0xB2}};
    for (int b = 0; b < 5; ++b) {
        r.bytesWritten.push_back({0x10 + b, std::uint8_t(b), std::uint8_t(i & 0xFF)});
    }
    return r;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::string error;
    const auto target =
        argc >= 4 ? zelcor::records::ParseRecordsTarget(argv[1], error) : std::nullopt;
    if (!target) {
        std::fprintf(stderr, "usage: zelcor_records_probe TARGET COUNT PREFIX\n%s\n",
                     error.c_str());
        return 2;
    }
    const int count = std::atoi(argv[2]);
    const std::string prefix = argv[3];
    std::atomic<bool> failed{false};
    zelcor::records::RecordWriter::Options options;
    options.onFailure = [&](const std::string& message) {
        failed = true;
        std::fprintf(stderr, "%s\n", message.c_str());
    };
    zelcor::records::RecordWriter writer(*target, options);
    for (int i = 0; i < count; ++i) {
        writer.submit(ProbeRecord(prefix, i));
    }
    return writer.flush(std::chrono::minutes(2)) && !failed ? 0 : 1;
}
