// SPDX-License-Identifier: GPL-3.0-or-later
// verify: the wrench pulled against a reference tester, unattended with the tester on a port of
// its own, or with the references typed on standard input.
#include "cli/CliFormat.h"
#include "cli/CliRunner.h"

#include "common/TextConv.h"
#include "records/Recorder.h"

#include <QJsonArray>
#include <QJsonObject>

#include <deque>
#include <ostream>

namespace zelcor::cli {

namespace {

std::string Torque(double value, int digits) {
    return TorqueWithDigits(value, digits) + " N·m";
}

QJsonObject RunJson(const VerificationRun& run) {
    const VerificationSettings& s = run.settings;
    QJsonArray points;
    for (const double point : s.pointsPercent) {
        points.append(point);
    }
    const QJsonObject settings{{QStringLiteral("maximum"), s.maximum},
                               {QStringLiteral("pointsPercent"), points},
                               {QStringLiteral("readingsPerPoint"), s.readingsPerPoint},
                               {QStringLiteral("tolerancePercent"), s.tolerancePercent},
                               {QStringLiteral("preloads"), s.preloads},
                               {QStringLiteral("direction"), qs(DirectionWord(s.direction))},
                               {QStringLiteral("state"), qs(StateWord(s.asLeft))},
                               {QStringLiteral("digits"), s.digits},
                               {QStringLiteral("technician"), qs(s.technician)},
                               {QStringLiteral("tester"), qs(s.tester)},
                               {QStringLiteral("testerDue"), qs(s.testerDue)},
                               {QStringLiteral("remark"), qs(s.remark)},
                               {QStringLiteral("intervalMonths"), s.intervalMonths}};
    QJsonArray readings;
    for (const VerificationReading& r : run.readings) {
        QJsonObject reading{{QStringLiteral("direction"), qs(r.direction)},
                            {QStringLiteral("point"), r.point},
                            {QStringLiteral("index"), r.index},
                            {QStringLiteral("target"), r.target},
                            {QStringLiteral("wrench"), r.wrench},
                            {QStringLiteral("reference"), r.reference},
                            {QStringLiteral("referenceText"), qs(r.referenceText)},
                            {QStringLiteral("deviation"), Deviation(r.wrench, r.reference)}};
        if (r.discarded) {
            reading.insert(QStringLiteral("discarded"), qs(r.discardReason));
        }
        readings.append(reading);
    }
    QJsonArray summaries;
    for (const PointSummary& p : Summaries(run)) {
        summaries.append(QJsonObject{{QStringLiteral("direction"), qs(p.direction)},
                                     {QStringLiteral("target"), p.target},
                                     {QStringLiteral("count"), p.count},
                                     {QStringLiteral("meanWrench"), p.meanWrench},
                                     {QStringLiteral("meanReference"), p.meanReference},
                                     {QStringLiteral("largestDeviation"), p.largestDeviation},
                                     {QStringLiteral("spread"), p.spread},
                                     {QStringLiteral("spreadPercent"), p.spreadPercent},
                                     {QStringLiteral("passed"), p.passed}});
    }
    return {{QStringLiteral("settings"), settings},
            {QStringLiteral("readings"), readings},
            {QStringLiteral("points"), summaries},
            {QStringLiteral("stopped"), run.stopped},
            {QStringLiteral("verdict"), qs(VerdictWord(run.verdict))},
            {QStringLiteral("dueDate"),
             run.dueDate.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(qs(run.dueDate))}};
}

} // namespace

int CliRunner::checkVerify() {
    m_verification = m_options.verification;
    if (m_verification.technician.empty()) {
        m_verification.technician = records::Recorder::OperatingSystemUser();
    }
    if (const std::string problem = SettingsProblem(m_verification); !problem.empty()) {
        m_context.err << "zelcor-cli: verify: " << problem << std::endl;
        return kExitUsage;
    }
    if (!m_options.testerPort.empty() && m_context.testerPort == nullptr) {
        m_context.err << "zelcor-cli: verify: this program has no port for a tester" << std::endl;
        return kExitUsage;
    }
    return kExitDone;
}

void CliRunner::reportVerification(const VerificationRun& run) {
    if (m_options.json) {
        printJson(RunJson(run));
        return;
    }
    const int digits = run.settings.digits;
    for (const PointSummary& p : Summaries(run)) {
        m_context.out << p.direction << ' ' << Torque(p.target, digits) << ": " << p.count << " of "
                      << run.settings.readingsPerPoint << " readings, mean "
                      << Torque(p.meanWrench, digits + 1) << " against "
                      << Torque(p.meanReference, 2) << ", largest deviation "
                      << DeviationText(p.largestDeviation) << ", spread "
                      << Torque(p.spread, digits + 1) << " ("
                      << TorqueWithDigits(p.spreadPercent, 2) << " %): "
                      << (p.passed     ? "passed"
                          : p.complete ? "failed"
                                       : "incomplete")
                      << '\n';
    }
    m_context.out << "verdict: " << VerdictWord(run.verdict) << '\n';
    if (!run.dueDate.empty()) {
        m_context.out << "next due: " << run.dueDate << '\n';
    }
    m_context.out << std::flush;
}

int CliRunner::verify() {
    std::string error;
    // --simulator without a tester named: the simulated wrench's own tester.
    const std::string& testerPort =
        m_options.testerPort.empty() ? m_context.simulatedTesterPort : m_options.testerPort;
    if (!testerPort.empty()) {
        m_session->setTesterPort(m_context.testerPort);
        const SerialSettings& line = m_options.testerSettings;
        if (!m_session->openTester(testerPort, line, error)) {
            m_context.err << "zelcor-cli: the tester's port " << QuotedInput(testerPort)
                          << " cannot be opened at " << line.baudRate << ',' << line.dataBits << ','
                          << line.parity << ',' << line.stopBits
                          << (error.empty() ? "" : ": " + error) << std::endl;
            return kExitPortFailure;
        }
    }
    // Typed references: one line of standard input per pull, taken only while a pull (or its
    // reference) is awaited, so lines typed ahead wait for their pull. An empty line ends a
    // pre-load, or a pull whose reference follows on the next line; the end of the input
    // stops the run.
    std::deque<std::string> lines;
    bool inputEnded = false;
    int fed = -1; // the wait last answered: 2 * pull, + 1 for a reference awaited
    const auto feed = [&] {
        const VerificationState& v = m_session->verification();
        const bool awaiting = v.phase == VerifyPhase::Pulling ||
                              (v.phase == VerifyPhase::Reading && v.awaitingReference);
        const int wait = 2 * v.pull + (v.awaitingReference ? 1 : 0);
        if (!v.step || !awaiting || wait == fed || m_session->testerOpen()) {
            return;
        }
        while (!lines.empty()) {
            const std::string line = lines.front();
            lines.pop_front();
            if (v.step->kind == PullStep::Kind::Preload || (line.empty() && !v.awaitingReference)) {
                fed = wait;
                m_session->verificationNext();
                return;
            }
            if (const auto reading = ParseTesterLine(line)) {
                fed = wait;
                m_session->verificationReference(reading->newtonMetres, line);
                return;
            }
            if (!line.empty()) {
                m_context.err << "zelcor-cli: \"" << QuotedInput(line)
                              << "\" is no reference reading: type the tester's value (N·m "
                                 "unless a unit follows it)"
                              << std::endl;
            }
        }
        if (inputEnded) {
            m_session->verificationStop();
        }
    };
    std::string prompt;
    std::size_t told = 0;
    const auto changed =
        QObject::connect(m_session.get(), &WrenchSession::verificationChanged, [&] {
            const VerificationState& v = m_session->verification();
            const std::vector<VerificationReading>& readings = v.run.readings;
            for (; told < readings.size(); ++told) {
                const VerificationReading& r = readings[told];
                m_context.err << "zelcor-cli: " << r.direction << ' '
                              << Torque(r.target, v.run.settings.digits) << " reading " << r.index
                              << ": wrench " << Torque(r.wrench, v.run.settings.digits)
                              << ", reference " << Torque(r.reference, 2) << ", "
                              << DeviationText(Deviation(r.wrench, r.reference)) << std::endl;
            }
            if (v.phase != VerifyPhase::Clearing && v.prompt != prompt) {
                prompt = v.prompt;
                m_context.err << "zelcor-cli: " << prompt << std::endl;
            }
            feed();
        });
    const auto lost = QObject::connect(
        m_session.get(), &WrenchSession::testerLost, [this](const std::string& why) {
            m_context.err << "zelcor-cli: the tester's port has gone away (" << why
                          << "); the run has ended" << std::endl;
        });
    if (!m_session->testerOpen() && m_context.watchInput) {
        m_context.watchInput([&](std::optional<std::string> line) {
            if (line) {
                lines.push_back(std::move(*line));
            } else {
                inputEnded = true;
            }
            feed();
        });
    }
    JobResult result{JobEnd::Stopped, CommResult::Success, -1, {}};
    if (!interrupted()) {
        result = m_session->verify(m_verification);
    }
    QObject::disconnect(changed);
    QObject::disconnect(lost);
    // Nothing is read from standard input after the run.
    if (m_context.watchInput) {
        m_context.watchInput({});
    }
    m_session->closeTester();
    const VerificationRun& run = m_session->verification().run;
    if (result.end != JobEnd::Refused) {
        reportVerification(run);
    }
    if (result.end == JobEnd::Failed || m_portLost) {
        return kExitCommFailure;
    }
    if (result.end == JobEnd::Refused) {
        return kExitRefused;
    }
    if (result.end == JobEnd::Stopped) {
        return interrupted() ? interruptedCode() : kExitStopped;
    }
    return run.verdict == Verdict::Passed ? kExitDone : kExitWrenchFailed;
}

} // namespace zelcor::cli
