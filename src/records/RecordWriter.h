// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/RecordStore.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace zelcor::records {

struct RecordWriterOptions {
    // Where records wait; DefaultSpoolPath() when empty.
    std::string spoolPath;
    std::chrono::milliseconds retryInterval{10'000};
    // The first time in this writer's life that a record cannot be written to the
    // database, one message for the technician. Called on the writer's thread: a window
    // hands it to its own (a queued QMetaObject::invokeMethod).
    std::function<void(const std::string& message)> onFailure;
    // After each change, how many records of this target wait in the spool. On the
    // writer's thread.
    std::function<void(std::size_t waiting)> onSpoolChanged;
};

// Writes completed records to their database on a thread of its own, so neither the windows
// nor the serial line ever wait for a database. Each record is written in one transaction.
// When the database cannot be written (the server is down, the disk full, the file locked
// longer than the busy time-out) the record goes to the spool and is written from there,
// once, when the database answers again: at the next submit, at every retry interval, and
// at the next program's start. A record in the database and still in the spool (the program
// ended between the two) is kept once, by its id.
//
// With target off nothing is written and submit() forgets the record.
class RecordWriter {
public:
    using Options = RecordWriterOptions;

    explicit RecordWriter(RecordsTarget target, Options options = {});
    // Writes what is still queued, to the database or the spool, then ends the thread.
    ~RecordWriter();
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    const RecordsTarget& target() const;

    // Queues a record and returns at once.
    void submit(ServiceRecord record);
    // Waits up to `timeout` until every record submitted so far is written to the database
    // or kept in the spool, and the spool has been tried once more. Records still queued
    // then are put into the spool on the calling thread. True when all was done in time.
    bool flush(std::chrono::milliseconds timeout);

private:
    struct Worker;
    std::unique_ptr<Worker> m;
};

} // namespace zelcor::records
