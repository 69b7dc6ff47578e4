// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter set's subcommands: get, write-params, max-torque, clear-er0, constants.
#include "cli/CliFormat.h"
#include "cli/CliRunner.h"

#include <QJsonObject>

#include <ostream>
#include <utility>

namespace zelcor::cli {

namespace {

// A parameter text is about 60 characters; the windows' box takes no more than this either.
constexpr std::size_t kParameterTextLimit = 4096;

} // namespace

int CliRunner::checkParameterText() {
    if (m_options.args[0] != "-") {
        m_text = m_options.args[0];
        return kExitDone;
    }
    const auto text = m_context.readStandardInput(kParameterTextLimit);
    if (!text) {
        m_context.err << "zelcor-cli: the parameter text on standard input is longer than "
                      << kParameterTextLimit
                      << " characters: it is no parameter set. Nothing has been written."
                      << std::endl;
        return kExitRefused;
    }
    m_text = *text;
    return kExitDone;
}

int CliRunner::get() {
    m_session->setDirection(*m_options.ccw);
    if (m_options.digits) {
        m_session->setDigits(*m_options.digits);
    }
    if (interrupted()) {
        return interruptedCode();
    }
    const JobResult result = m_session->getParameterSet();
    if (!result.ok()) {
        // A request with bytes the wrench did not give would be refused by the factory.
        m_context.err << "zelcor-cli: not every cell of the parameter set was read: no "
                         "request is given"
                      << std::endl;
        return endOf(result);
    }
    const ParaRecord& set = m_session->currentSet();
    const std::string request = m_session->parameterRequest();
    if (m_options.json) {
        printJson({{QStringLiteral("direction"), m_session->setting().DirCCW ? "ccw" : "cw"},
                   {QStringLiteral("statusEp"), qs(set.StatusEp)},
                   {QStringLiteral("VIH"), qs(set.VIH)},
                   {QStringLiteral("VIL"), qs(set.VIL)},
                   {QStringLiteral("VAH"), qs(set.VAH)},
                   {QStringLiteral("VAL"), qs(set.VAL)},
                   {QStringLiteral("requestCode"), qs(set.ReqCode)},
                   {QStringLiteral("request"), qs(request)}});
    } else {
        m_context.out << "StatusEp " << set.StatusEp << "\nVIH " << set.VIH << "\nVIL " << set.VIL
                      << "\nVAH " << set.VAH << "\nVAL " << set.VAL << "\nRequest " << request
                      << std::endl;
    }
    return kExitDone;
}

int CliRunner::writeParams() {
    // A parameter set half written would leave the wrench with constants that belong to no
    // set: a signal waits until the whole set is written.
    m_stopSessionOnSignal = false;
    m_retryAfterSignal = true;
    m_session->setDirection(*m_options.ccw);
    m_session->setDigits(*m_options.digits);
    if (interrupted()) {
        return interruptedCode();
    }
    // No technician is there to be asked about a set issued for another wrench: the command
    // line says beforehand.
    const auto otherWrench = [this](const std::string& setCode, const std::string& wrenchCode) {
        endProgress();
        if (!m_options.forceOtherWrench) {
            m_context.err << "zelcor-cli: the parameter set was issued for the wrench " << setCode
                          << ", not for the one connected (" << wrenchCode
                          << "): nothing has been written. --force-other-wrench writes it all "
                             "the same."
                          << std::endl;
            return false;
        }
        m_context.err << "zelcor-cli: the parameter set was issued for the wrench " << setCode
                      << "; writing it to the connected one (" << wrenchCode << ") as asked"
                      << std::endl;
        return true;
    };
    return endOf(m_session->writeParameterSet(m_text, otherWrench));
}

int CliRunner::maxTorque() {
    if (m_options.digits) {
        m_session->setDigits(*m_options.digits);
    }
    const JobResult result = m_session->readMaxTorque();
    if (!result.ok()) {
        return endOf(result);
    }
    if (m_options.json) {
        printJson({{QStringLiteral("raw"), m_session->maxTorqueRaw()},
                   {QStringLiteral("maxTorque"), qs(m_session->maxTorqueText())}});
    } else {
        m_context.out << m_session->maxTorqueText() << std::endl;
    }
    return kExitDone;
}

int CliRunner::clearEr0() {
    return endOf(m_session->clearEr0());
}

int CliRunner::constants() {
    const JobResult result = m_session->readConstants();
    if (!result.ok()) {
        return endOf(result);
    }
    const TorqueInputs& c = m_session->calibration();
    const std::pair<const char*, const TorqueValue*> fields[] = {
        {"StatusEp", &c.statusEp}, {"CwiL", &c.cwiL},   {"CwiH", &c.cwiH},
        {"CcwiL", &c.ccwiL},       {"CcwiH", &c.ccwiH}, {"CwgL", &c.cwgL},
        {"CwgH", &c.cwgH},         {"CcwgL", &c.ccwgL}, {"CcwgH", &c.ccwgH}};
    QJsonObject object;
    for (const auto& [name, value] : fields) {
        if (m_options.json) {
            object.insert(QLatin1String(name), qs(HexOrXX(*value)));
        } else {
            m_context.out << name << ' ' << HexOrXX(*value) << '\n';
        }
    }
    if (m_options.json) {
        printJson(object);
    }
    m_context.out << std::flush;
    return kExitDone;
}

} // namespace zelcor::cli
