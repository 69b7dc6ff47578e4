// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/Recorder.h"

#include <QSysInfo>
#include <QTimeZone>
#include <QUuid>

#include <pwd.h>
#include <unistd.h>

namespace zelcor::records {

std::string RecordTimeText(const QDateTime& time) {
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'")).toStdString();
}

std::string Recorder::OperatingSystemUser() {
    if (const passwd* pw = getpwuid(geteuid());
        pw != nullptr && pw->pw_name != nullptr && pw->pw_name[0] != '\0') {
        return pw->pw_name;
    }
    return qEnvironmentVariable("USER").toStdString();
}

Recorder::Environment Recorder::SystemEnvironment() {
    return {[] { return QDateTime::currentDateTimeUtc(); },
            [] { return QSysInfo::machineHostName().toStdString(); },
            [] { return OperatingSystemUser(); },
            [] { return QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString(); }};
}

Recorder::Recorder(const std::string& programName, const std::string& programVersion, Sink sink,
                   Environment environment, QObject* parent)
    : QObject(parent), m_program(programName + ' ' + programVersion), m_sink(std::move(sink)),
      m_env(std::move(environment)) {}

ServiceRecord Recorder::complete(ServiceRecord r) const {
    if (r.id.empty()) {
        r.id = m_env.newId();
    }
    if (r.time.empty()) {
        r.time = RecordTimeText(m_env.now().addMSecs(-std::max<std::int64_t>(r.durationMs, 0)));
    }
    if (r.station.empty()) {
        r.station = m_env.hostName();
    }
    if (r.operatorName.empty()) {
        r.operatorName = m_env.userName();
    }
    if (r.program.empty()) {
        r.program = m_program;
    }
    if (r.port.empty()) {
        r.port = m_port;
    }
    return r;
}

void Recorder::record(const zelcor::ServiceRecord& record) {
    if (m_sink) {
        m_sink(complete(record));
    }
}

} // namespace zelcor::records
