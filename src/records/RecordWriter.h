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
    // What became of records the database did not take, for the technician, each in one
    // message: kept in the spool (the first time in this writer's life), or lost (each
    // time). Called on the writer's thread, or on finish()'s: a window hands it to its own
    // (a queued QMetaObject::invokeMethod).
    std::function<void(const std::string& message)> onFailure;
    // A record that neither the database nor the spool takes now: it stays in memory and
    // is tried again, and is lost if the writer ends first. For a program that runs on (the
    // windows); on the writer's thread.
    std::function<void(const std::string& message)> onHeld;
    // After each change, how many records of this target wait in the spool. On the
    // writer's thread.
    std::function<void(std::size_t waiting)> onSpoolChanged;
};

// How long a program waits at its end for the database: what it has not taken by then goes
// to the spool.
inline constexpr std::chrono::seconds kRecordsEndWait{5};

// Writes completed records to their database on a thread of its own, so neither the windows
// nor the serial line ever wait for a database. Each record is written in one transaction.
// When the database cannot be written (the server is down or does not answer within its time
// limits, the disk full, the file locked longer than the busy time-out) the record goes to
// the spool and is written from there,
// once, when the database answers again: at the next submit, at every retry interval, and
// at the next program's start (a database that could not be reached is not tried again
// before the retry interval without a new record: a flush or the end does not wait for it
// twice). A record in the database and still in the spool (the program
// ended between the two) is kept once, by its id.
//
// With target off nothing is written and submit() forgets the record.
class RecordWriter {
public:
    using Options = RecordWriterOptions;

    explicit RecordWriter(RecordsTarget target, Options options = {});
    // Ends the writer as finish() does, waiting as long as the writer's own time limits take.
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

    enum class End { Done, TimedOut, Interrupted };
    // Ends the writer: what is queued is written to the database, or else kept in the spool.
    // Waits up to `timeout`, and no longer once `interruptFd` (when not -1: a signal's
    // self-pipe, which is not read) has something to read. What the database has not taken
    // by then is put into the spool on the calling thread, and the writer's thread, which
    // may be waiting for a server that does not answer, is left to end by itself: the
    // program should end soon, without destructors that wait for it (std::_Exit). The
    // writer takes no more records after this.
    End finish(std::chrono::milliseconds timeout, int interruptFd = -1);
    // How many records were lost: neither written nor kept in the spool when the writer
    // ended (or gave up waiting, in finish()).
    std::size_t lost() const;

private:
    struct Worker;
    std::unique_ptr<Worker> m;
};

} // namespace zelcor::records
