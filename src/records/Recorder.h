// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "wrench/ServiceRecord.h"

#include <QDateTime>
#include <QObject>

#include <functional>
#include <string>

namespace zelcor::records {

// Completes the records a session tells of and hands them on (to a RecordWriter's
// submit()). The programs connect WrenchSession::jobRecorded to record(); this library
// knows nothing of the session.
//
// What it adds, each only where the record leaves it empty: the id (a UUID without
// braces), the time the job began (now, UTC, less the job's duration: ISO 8601 with
// milliseconds and 'Z'), the station (the host name), the operator (the operating-system
// user), the program ("zelcor 1.3.0") and the port.
class Recorder : public QObject {
    Q_OBJECT
public:
    // Where the recorder learns the time and who it is; the system's by default, a test's
    // own to be deterministic.
    struct Environment {
        std::function<QDateTime()> now;
        std::function<std::string()> hostName;
        std::function<std::string()> userName;
        std::function<std::string()> newId;
    };
    static Environment SystemEnvironment();
    // The effective user's name from the password database, else $USER, else empty.
    static std::string OperatingSystemUser();

    using Sink = std::function<void(ServiceRecord)>;
    Recorder(const std::string& programName, const std::string& programVersion, Sink sink,
             Environment environment = SystemEnvironment(), QObject* parent = nullptr);

    // The port the program has open (its system name), empty when none.
    void setPort(std::string port) { m_port = std::move(port); }
    const std::string& port() const { return m_port; }

    // The record as it is handed on.
    ServiceRecord complete(ServiceRecord record) const;

public slots:
    void record(const zelcor::ServiceRecord& record);

private:
    std::string m_program;
    Sink m_sink;
    Environment m_env;
    std::string m_port;
};

// A time as the records keep it: "2026-12-06T23:00:00.125Z".
std::string RecordTimeText(const QDateTime& time);

} // namespace zelcor::records
