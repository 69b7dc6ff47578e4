// SPDX-License-Identifier: GPL-3.0-or-later
// The verification run: the wrench pulled against a reference tester, pull by pull.
#include "platform/Clock.h"
#include "platform/MessageBoxes.h"
#include "session/WrenchSession.h"

#include <QCoreApplication>

#include <cmath>

namespace zelcor {

namespace {

// A text of the run in the program's language, %1 replaced by `arg` when given.
std::string VerifyText(const char* text, const std::string& arg = {}) {
    QString translated = QCoreApplication::translate("zelcor::Verification", text);
    if (!arg.empty()) {
        translated = translated.arg(QString::fromStdString(arg));
    }
    return translated.toStdString();
}

} // namespace

bool WrenchSession::openTester(const std::string& portName, const SerialSettings& settings,
                               std::string& error) {
    return m_tester.open(portName, settings, error);
}

void WrenchSession::closeTester() {
    m_tester.close();
}

void WrenchSession::takeTesterLine(const std::string& line) {
    emit testerLine(QString::fromStdString(line));
    if (const auto reading = ParseTesterLine(line)) {
        verificationReference(reading->newtonMetres, line);
    }
}

void WrenchSession::verificationNext() {
    if (m_verifying && m_verification.phase == VerifyPhase::Pulling) {
        m_pullOver = true;
    }
}

void WrenchSession::verificationReference(double newtonMetres, std::string text) {
    // A line that comes while the maximum is cleared belongs to a pull before it.
    const VerifyPhase phase = m_verification.phase;
    if (!m_verifying || (phase != VerifyPhase::Pulling && phase != VerifyPhase::Reading) ||
        !std::isfinite(newtonMetres) || newtonMetres <= 0 || m_reference) {
        return;
    }
    m_reference.emplace(newtonMetres, std::move(text));
    m_pullOver = true;
}

bool WrenchSession::verificationRepeatLast(std::string reason) {
    std::vector<VerificationReading>& readings = m_verification.run.readings;
    if (!m_verifying || reason.empty() || readings.empty() || readings.back().discarded) {
        return false;
    }
    readings.back().discarded = true;
    readings.back().discardReason = std::move(reason);
    m_repeatStep = m_readingSteps.back();
    m_verifyRepeat = true;
    emit verificationChanged();
    return true;
}

void WrenchSession::verificationStop() {
    if (m_verifying) {
        m_verifyStop = true;
    }
}

void WrenchSession::setVerifyPhase(VerifyPhase phase, std::string prompt) {
    m_verification.phase = phase;
    m_verification.prompt = std::move(prompt);
    emit verificationChanged();
}

bool WrenchSession::verificationCut() const {
    return m_verifyStop || m_verifyRepeat || m_testerLost || !m_link.isOpen();
}

bool WrenchSession::verificationWait(const std::function<bool()>& done, int timeoutMs) {
    bool timedOut = false;
    std::unique_ptr<Timer> timer;
    if (timeoutMs > 0) {
        timer = m_clock.createTimer([&timedOut] { timedOut = true; });
        timer->start(timeoutMs);
    }
    // A wait of the job like a box's: a job asked for meanwhile is refused as busy.
    m_clock.waitUntil([&] { return done() || timedOut || verificationCut(); });
    return timedOut && !done() && !verificationCut();
}

JobResult WrenchSession::clearMaximum() {
    for (const int cell : {cells::kMaxTorqueLow, cells::kMaxTorqueHigh}) {
        const CommResult result = writeWithRetry(static_cast<std::uint8_t>(cell), 0x00);
        if (result != CommResult::Success) {
            m_link.ShowCommResult(result);
            return {JobEnd::Failed, result, cell, {}};
        }
    }
    return {};
}

JobResult WrenchSession::readMaximum(double& reading) {
    std::uint8_t bytes[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
        const int cell = k == 0 ? cells::kMaxTorqueLow : cells::kMaxTorqueHigh;
        const ReadReply reply = readWithRetry(static_cast<std::uint8_t>(cell));
        if (!reply.hasData) {
            m_link.ShowCommResult(reply.result);
            return {JobEnd::Failed, reply.result, cell, {}};
        }
        bytes[k] = reply.data[0];
    }
    reading = WrenchReading(bytes[0], bytes[1], m_verification.run.settings.digits);
    return {};
}

JobResult WrenchSession::verify(const VerificationSettings& settings) {
    auto job = this->job("Verification");
    if (!job) {
        return refusedAsBusy();
    }
    if (const std::string problem = SettingsProblem(settings); !problem.empty()) {
        reportError(QCoreApplication::translate("zelcor::Verification", problem.c_str()));
        return job.end({JobEnd::Refused, CommResult::Success, -1, problem});
    }
    m_verification = VerificationState{};
    m_readingSteps.clear();
    VerificationRun& run = m_verification.run;
    run.settings = settings;
    if (ServiceRecord* r = record()) {
        r->direction = DirectionWord(settings.direction);
        r->digits = settings.digits;
    }
    // The run's date, which its due date counts from, is the day it began.
    const std::string date = m_today();
    const std::vector<PullStep> steps = ProcedureSteps(settings);
    m_verifying = true;
    m_verifyStop = false;
    m_verifyRepeat = false;
    m_testerLost = false;
    JobResult result;
    // The run's record and its certificate name the wrench by its code (2BH-2DH): read first
    // when this connection has not read it yet. A wrench that cannot be named is not pulled.
    if (wrenchCode().empty()) {
        for (const int cell : cells::kWrenchCode) {
            const ReadReply reply = readWithRetry(static_cast<std::uint8_t>(cell));
            if (!reply.hasData) {
                m_link.ShowCommResult(reply.result);
                result = {JobEnd::Failed, reply.result, cell, {}};
                break;
            }
        }
    }
    std::size_t at = 0;
    while (result.ok() && at < steps.size()) {
        if (m_verifyRepeat) {
            m_verifyRepeat = false;
            at = m_repeatStep;
            m_verification.askedAgain = false;
        }
        if (!m_link.isOpen() || m_testerLost) {
            result = {JobEnd::Failed, CommResult::TimeOut, -1, {}};
            break;
        }
        if (m_verifyStop) {
            result = {JobEnd::Stopped, CommResult::Success, -1, {}};
            break;
        }
        const PullStep& step = steps[at];
        m_verification.step = step;
        m_verification.awaitingReference = false;
        ++m_verification.pull;
        m_pullOver = false;
        m_reference.reset();
        const std::string prompt = PromptText(step, settings);
        setVerifyPhase(VerifyPhase::Clearing, prompt);
        if (result = clearMaximum(); !result.ok()) {
            break;
        }
        // A reading from the tester that does not come in time is asked for again, pull and
        // all: the wrench's maximum may be of another pull by then.
        const int limitMs = m_tester.isOpen() ? settings.referenceTimeoutS * 1000 : 0;
        setVerifyPhase(VerifyPhase::Pulling,
                       m_verification.askedAgain
                           ? VerifyText(QT_TRANSLATE_NOOP("zelcor::Verification",
                                                          "No reading came from the tester: "
                                                          "pull again. %1"),
                                        prompt)
                           : prompt);
        if (verificationWait([this] { return m_pullOver; }, limitMs)) {
            m_verification.askedAgain = true;
            continue;
        }
        if (verificationCut()) {
            continue;
        }
        m_verification.askedAgain = false;
        if (step.kind == PullStep::Kind::Preload) {
            ++at;
            continue;
        }
        setVerifyPhase(VerifyPhase::Reading, prompt);
        double wrench = 0;
        if (result = readMaximum(wrench); !result.ok()) {
            break;
        }
        if (!m_reference && !verificationCut()) {
            m_verification.awaitingReference = true;
            setVerifyPhase(VerifyPhase::Reading,
                           VerifyText(QT_TRANSLATE_NOOP("zelcor::Verification",
                                                        "Waiting for the reference reading of "
                                                        "this pull: %1"),
                                      prompt));
            if (verificationWait([this] { return m_reference.has_value(); }, limitMs)) {
                m_verification.askedAgain = true;
                continue;
            }
            m_verification.awaitingReference = false;
        }
        if (verificationCut() || !m_reference) {
            continue;
        }
        VerificationReading reading;
        reading.direction = step.direction;
        reading.point = step.point;
        reading.index = step.index;
        reading.target = step.target;
        reading.wrench = wrench;
        reading.reference = m_reference->first;
        reading.referenceText = m_reference->second;
        run.readings.push_back(std::move(reading));
        m_readingSteps.push_back(at);
        emit verificationChanged();
        ++at;
    }
    m_verifying = false;
    m_verification.linkFailed = result.end == JobEnd::Failed;
    run.stopped = !result.ok();
    run.verdict = RunVerdict(run);
    run.dueDate = NextDueDate(date, run.verdict, settings.intervalMonths);
    m_verification.step.reset();
    m_verification.awaitingReference = false;
    const std::string detail = m_verification.linkFailed ? "link failed"
                               : run.stopped             ? "stopped"
                                                         : VerdictWord(run.verdict);
    if (ServiceRecord* r = record()) {
        r->verification = run;
        r->detail = detail;
    }
    const char* end =
        m_verification.linkFailed
            ? QT_TRANSLATE_NOOP("zelcor::Verification", "Verification ended: the link failed")
        : run.stopped ? QT_TRANSLATE_NOOP("zelcor::Verification", "Verification stopped")
        : run.verdict == Verdict::Passed
            ? QT_TRANSLATE_NOOP("zelcor::Verification", "Verification passed")
            : QT_TRANSLATE_NOOP("zelcor::Verification", "Verification failed");
    setVerifyPhase(VerifyPhase::Ended, VerifyText(end));
    return job.end(result);
}

} // namespace zelcor
