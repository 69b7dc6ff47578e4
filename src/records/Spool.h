// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/RecordStore.h"

#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace zelcor::records {

// Records that could not be written to their database, kept until they can be: a SQLite file
// of the records' own schema, and a table `spooled(record_id, target)` that tells for which
// database each one waits. A record and its place in the queue are written in one
// transaction. Every program of the user shares the one file (DefaultSpoolPath()); a Spool
// sees only the records of its own target.
//
// Used on one thread: it opens the Qt SQL connection `connectionName` there.
class Spool {
public:
    Spool(std::string path, const RecordsTarget& target, QString connectionName);
    ~Spool();
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    const std::string& path() const { return m_path; }
    // Whether the file exists: no spool file, nothing waits.
    bool exists() const;

    bool add(const ServiceRecord& record, QString& error);
    // The ids of the records waiting for this target, oldest first.
    std::optional<std::vector<std::string>> ids(QString& error);
    std::optional<ServiceRecord> read(const std::string& id, QString& error);
    bool remove(const std::string& id, QString& error);
    // How many records wait for this target; none on failure.
    std::optional<long long> count(QString& error);

private:
    bool open(QString& error);

    std::string m_path;
    QString m_target;
    QString m_connection;
    bool m_open = false;
};

} // namespace zelcor::records
