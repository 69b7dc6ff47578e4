// SPDX-License-Identifier: GPL-3.0-or-later
// live: the torque, cycle after cycle, as CSV or JSON.
#include "cli/CliFormat.h"
#include "cli/CliRunner.h"

#include "platform/Clock.h"
#include "wrench/TorqueLog.h"

#include <QJsonArray>
#include <QJsonObject>

#include <ostream>

namespace zelcor::cli {

int CliRunner::live() {
    if (m_options.pause) {
        m_session->setTestPause(*m_options.pause);
    }
    if (m_options.digits) {
        m_session->setDivisor(*DivisorForDigits(*m_options.digits));
    }
    const std::int64_t start = m_context.clock.nowMs();
    QJsonArray readings;
    // Without --json, the one torque CSV (--csv says so too).
    if (!m_options.json) {
        m_context.out << TorqueCsvHeader() << std::flush;
    }
    // A torque is printed only from a live value read in its own cycle, with every constant
    // read: a cycle whose exchange failed would give the last value again, or a torque
    // computed with constants of 0.
    const auto computed = QObject::connect(
        m_session.get(), &WrenchSession::torqueComputed,
        [&](const TorqueResult& result, std::int64_t timeMs) {
            if (!result.constantsRead || !result.liveReadThisCycle) {
                m_commFailed = true;
                if (!result.constantsRead) {
                    m_session->stopTest();
                }
                return;
            }
            if (m_options.json) {
                readings.append(
                    QJsonObject{{QStringLiteral("timeMs"), qint64(timeMs - start)},
                                {QStringLiteral("raw"), LiveRaw(m_session->calibration())},
                                {QStringLiteral("torque"), qs(result.text)}});
            } else {
                m_context.out << TorqueCsvLine(timeMs - start, LiveRaw(m_session->calibration()),
                                               result.text)
                              << std::flush;
            }
        });
    const auto timer = m_context.clock.createTimer([this] { m_session->stopTest(); });
    if (m_options.seconds) {
        timer->start(static_cast<int>(*m_options.seconds * 1000));
    }
    // The port lost during the run ends it after its cycle.
    const auto lost = QObject::connect(m_session.get(), &WrenchSession::portLost,
                                       [this](const std::string&) { m_session->stopTest(); });
    JobResult result;
    if (!interrupted()) {
        result = m_session->runLiveReading(false);
    }
    QObject::disconnect(computed);
    QObject::disconnect(lost);
    if (m_options.json) {
        printJson({{QStringLiteral("readings"), readings}});
    }
    if (m_portLost || m_commFailed) {
        return kExitCommFailure;
    }
    if (interrupted()) {
        return interruptedCode();
    }
    return result.end == JobEnd::Refused ? kExitRefused : kExitDone;
}

} // namespace zelcor::cli
