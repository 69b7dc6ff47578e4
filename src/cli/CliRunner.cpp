// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliRunner.h"

#include "cli/CliFormat.h"

#include "common/TextConv.h"
#include "platform/Clock.h"
#include "platform/ComPortControl.h"
#include "records/RecordStore.h"
#include "serial/PortSettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <ostream>
#include <utility>

namespace zelcor::cli {

namespace {

// The boxes of the session, with the progress line ended first so a box's text starts a line.
class ProgressEndingBoxes final : public MessageBoxes {
public:
    ProgressEndingBoxes(MessageBoxes& boxes, std::function<void()> endProgress)
        : m_boxes(boxes), m_endProgress(std::move(endProgress)) {}
    BoxAnswer show(const QString& text, const QString& title, BoxIcon icon,
                   BoxButtons buttons) override {
        m_endProgress();
        return m_boxes.show(text, title, icon, buttons);
    }

private:
    MessageBoxes& m_boxes;
    std::function<void()> m_endProgress;
};

} // namespace

BoxAnswer StreamMessageBoxes::show(const QString& text, const QString& title, BoxIcon,
                                   BoxButtons buttons) {
    QString body = text;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n  "));
    m_err << "zelcor-cli: " << title.toStdString() << ": " << body.toStdString() << std::endl;
    // A question whose default is No is never answered Yes for a technician who is not there.
    switch (buttons) {
    case BoxButtons::Ok:
        return BoxAnswer::Ok;
    case BoxButtons::YesNo:
        return BoxAnswer::Yes;
    case BoxButtons::YesNoDefaultNo:
        return BoxAnswer::No;
    }
    return BoxAnswer::No;
}

CliRunner::CliRunner(const CliOptions& options, CliContext& context)
    : m_options(options), m_context(context) {
    m_boxes = std::make_unique<ProgressEndingBoxes>(context.boxes, [this] { endProgress(); });
    m_session = std::make_unique<WrenchSession>(context.clock, context.port, *m_boxes,
                                                context.nextRequestCode);
    QObject::connect(m_session.get(), &WrenchSession::cellProgress, [this](const CellProgress& p) {
        if (!m_ownProgress && p.index > 0) {
            showProgress(p.index, p.count, p.address);
        }
        // A job made of others begins each with no stop asked for: a signal that came
        // before is asked for again, so it stops after this cell.
        if (interrupted() && m_stopSessionOnSignal) {
            m_session->stopCells();
        }
    });
    QObject::connect(m_session.get(), &WrenchSession::cellJobEnded,
                     [this](CellJob, const JobResult& result) {
                         m_commFailed |= result.end == JobEnd::Failed;
                         endProgress();
                     });
    QObject::connect(m_session.get(), &WrenchSession::portLost, [this](const std::string& why) {
        m_portLost = true;
        endProgress();
        // A device server's connection is named with what happened to it.
        const bool network = IsNetworkPortName(m_session->portName());
        m_context.err << "zelcor-cli: the wrench's port has gone away ("
                      << (network ? why : "the adapter was unplugged or the device switched off")
                      << "); the job has ended" << std::endl;
    });
}

CliRunner::~CliRunner() = default;

void CliRunner::interrupt(int signal) {
    if (m_signal != 0) {
        return;
    }
    m_signal = signal;
    if (m_stopSessionOnSignal) {
        m_session->stopCells();
        m_session->stopTest();
        m_session->verificationStop();
    }
    if (!m_retryAfterSignal) {
        // The exchange on the wire ends, answered or timed out; nothing more is sent for it.
        m_session->stopBeforeRetries();
    }
}

std::span<const CliRunner::Subcommand> CliRunner::subcommands() {
    // name, words (how many, the options beyond the common ones), their check, job, opens
    // the port, its own reads take in the wrench code
    static const Subcommand kTable[] = {
        {"ports", {0, 0, {}}, nullptr, &CliRunner::ports, false, false},
        {"read", {2, 2, {}}, &CliRunner::checkBytes, &CliRunner::read, true, false},
        {"write", {3, 3, {}}, &CliRunner::checkBytes, &CliRunner::write, true, false},
        {"dump", {0, 0, {"--cells"}}, nullptr, &CliRunner::dump, true, false},
        {"backup", {1, 1, {}}, nullptr, &CliRunner::backup, true, true},
        {"restore",
         {1, 1, {"--force-other-wrench"}},
         &CliRunner::checkRestore,
         &CliRunner::restore,
         true,
         true},
        {"preset", {1, 1, {}}, &CliRunner::checkPreset, &CliRunner::preset, true, false},
        {"get", {0, 0, {"--direction", "--digits"}}, nullptr, &CliRunner::get, true, true},
        {"write-params",
         {1, 1, {"--direction", "--digits", "--force-other-wrench"}},
         &CliRunner::checkParameterText,
         &CliRunner::writeParams,
         true,
         true},
        {"max-torque", {0, 0, {"--digits"}}, nullptr, &CliRunner::maxTorque, true, false},
        {"clear-er0", {0, 0, {}}, nullptr, &CliRunner::clearEr0, true, false},
        {"constants", {0, 0, {}}, nullptr, &CliRunner::constants, true, false},
        {"live",
         {0, 0, {"--seconds", "--pause", "--digits", "--csv"}},
         nullptr,
         &CliRunner::live,
         true,
         false},
        {"write-all-ff", {0, 0, {"--yes"}}, nullptr, &CliRunner::writeAllFF, true, false},
        {"verify",
         {0,
          0,
          {"--tester-port", "--max", "--readings", "--tolerance", "--digits", "--technician",
           "--points", "--direction", "--as-found", "--as-left", "--preloads", "--tester",
           "--tester-due", "--remark", "--interval", "--tester-timeout", "--tester-baud",
           "--tester-format"}},
         &CliRunner::checkVerify,
         &CliRunner::verify,
         true,
         false},
        {"history",
         {0, 0, {"--wrench", "--job", "--since", "--until", "--csv"}},
         nullptr,
         &CliRunner::history,
         false,
         false},
        {"due", {0, 0, {"--within", "--csv"}}, nullptr, &CliRunner::due, false, false},
        {"certificate", {1, 1, {"-o"}}, nullptr, &CliRunner::certificate, false, false},
    };
    return kTable;
}

const SubcommandWords* WordsOfSubcommand(std::string_view command) {
    const auto table = CliRunner::subcommands();
    const auto entry =
        std::find_if(table.begin(), table.end(), [&](const auto& s) { return command == s.name; });
    return entry == table.end() ? nullptr : &entry->words;
}

int CliRunner::run(const std::string& device) {
    const auto table = subcommands();
    const auto entry = std::find_if(table.begin(), table.end(), [this](const Subcommand& s) {
        return m_options.command == s.name;
    });
    if (entry == table.end()) {
        m_context.err << "zelcor-cli: there is no subcommand \"" << QuotedInput(m_options.command)
                      << "\"" << std::endl;
        return kExitUsage;
    }
    m_subcommand = &*entry;
    if (!entry->opensPort) {
        return (this->*entry->job)();
    }
    if (entry->check != nullptr) {
        if (const int checked = (this->*entry->check)(); checked != kExitDone) {
            return checked;
        }
    }
    SerialSettings settings;
    const std::string settingsText = std::to_string(m_options.baud) + ",N,8,2";
    if (!ParseSettingsText(settingsText, settings)) {
        m_context.err << "zelcor-cli: a serial line cannot run at " << m_options.baud << " baud"
                      << std::endl;
        return kExitUsage;
    }
    std::string error;
    if (!m_session->open(device, settings, error)) {
        m_context.err << "zelcor-cli: Com "
                      << QuotedInput(m_options.port.empty() ? device : m_options.port)
                      << " cannot be opened at " << m_options.baud << ",8,N,2"
                      << (error.empty() ? "" : ": " + error) << std::endl;
        return kExitPortFailure;
    }
    if (interrupted()) {
        return interruptedCode();
    }
    if (m_options.command == "verify") {
        // The run is a job of the session's own, recorded under its own name.
        return verify();
    }
    // The whole command is one job of the service records. A new connection knows nothing of
    // the wrench: a job that does not read its code has it read first, so that its record
    // names the wrench; with the records off only the job's own exchanges are sent.
    auto job = m_session->job("zelcor-cli " + m_options.command);
    int code = kExitDone;
    if (m_options.recordsTarget.kind != records::RecordsTarget::Kind::Off &&
        !jobReadsWrenchCode()) {
        code = readWrenchCode();
    }
    if (code == kExitDone) {
        code = (this->*entry->job)();
    }
    endProgress();
    JobResult recorded;
    if (code == kExitCommFailure) {
        recorded = {JobEnd::Failed, m_failure, -1, {}};
    } else if (code == kExitRefused || code == kExitUsage) {
        recorded = {JobEnd::Refused, CommResult::Success, -1, m_refusal};
    } else if (code >= kExitSignalBase) {
        recorded = {JobEnd::Stopped, CommResult::Success, -1, {}};
    }
    job.end(recorded);
    return code;
}

bool CliRunner::jobReadsWrenchCode() const {
    if (m_options.command == "dump") {
        const std::vector<int>& cells = m_options.cells;
        return std::all_of(cells::kWrenchCode.begin(), cells::kWrenchCode.end(), [&](int cell) {
            return std::find(cells.begin(), cells.end(), cell) != cells.end();
        });
    }
    return m_subcommand != nullptr && m_subcommand->readsWrenchCode;
}

int CliRunner::openRecords(const QString& connection, const char* nothing) {
    const records::RecordsTarget& target = m_options.recordsTarget;
    if (target.kind == records::RecordsTarget::Kind::Off) {
        m_context.err << "zelcor-cli: the records are off: " << nothing << std::endl;
        return kExitUsage;
    }
    QString error;
    if (!records::OpenRecordsDatabase(target, connection, error)) {
        m_context.err << "zelcor-cli: the records of " << records::TargetText(target)
                      << " cannot be opened: " << error.toStdString() << std::endl;
        return kExitCommFailure;
    }
    if (m_context.settleSpool) {
        m_context.settleSpool();
    }
    return kExitDone;
}

int CliRunner::readWrenchCode() {
    const JobResult result = readCells({cells::kWrenchCode.begin(), cells::kWrenchCode.end()});
    // The job begins with the memory as it found it.
    m_session->memory().clear();
    if (result.end == JobEnd::Failed) {
        m_context.err << "zelcor-cli: the wrench code (2BH-2DH), which its service record "
                         "names it by, could not be read: nothing else has been done"
                      << std::endl;
    }
    return result.ok() ? kExitDone : endOf(result);
}

int CliRunner::endOf(const JobResult& result) {
    if (result.end == JobEnd::Failed) {
        m_failure = result.failure;
    } else if (result.end == JobEnd::Refused) {
        m_refusal = result.message;
    }
    if (result.end == JobEnd::Failed || m_commFailed || m_portLost) {
        return kExitCommFailure;
    }
    if (result.end == JobEnd::Done) {
        return kExitDone;
    }
    if (interrupted()) {
        return interruptedCode();
    }
    return result.end == JobEnd::Refused ? kExitRefused : kExitCommFailure;
}

void CliRunner::showProgress(int index, int count, int address) {
    if (!m_context.progress) {
        return;
    }
    m_context.err << "\rcell " << index << " of " << count << " (" << Hex(address) << "H)"
                  << std::flush;
    m_progressShown = true;
}

void CliRunner::endProgress() {
    if (m_progressShown) {
        m_context.err << "\n" << std::flush;
        m_progressShown = false;
    }
}

void CliRunner::printJson(const QJsonObject& object) {
    m_context.out << QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString()
                  << std::flush;
}

QJsonValue CliRunner::reportStop(const WriteStop& stop, std::size_t count, const char* done) {
    if (stop.cell < 0) {
        return QJsonValue(QJsonValue::Null);
    }
    const std::string legend(CellLegend(stop.cell));
    endProgress();
    m_context.err << "zelcor-cli: " << stop.what << ": " << stop.writtenBefore << " of the "
                  << count << " cells " << (stop.writtenBefore == 1 ? "was " : "were ") << done
                  << " before it" << std::endl;
    return QJsonObject{{QStringLiteral("address"), qs(Hex(stop.cell))},
                       {QStringLiteral("legend"), qs(legend)},
                       {QStringLiteral("reason"), qs(stop.reason)},
                       {QStringLiteral("writtenBefore"), stop.writtenBefore}};
}

int CliRunner::endOfWrite(const std::vector<int>& cells, const JobResult& result) {
    WriteStop stop;
    int written = static_cast<int>(cells.size());
    if (!result.ok() && !cells.empty()) {
        auto at = std::find(cells.begin(), cells.end(), result.address);
        const bool begun = at != cells.end();
        if (!begun) {
            at = cells.begin(); // ended before its first exchange
        } else if (result.end == JobEnd::Stopped && result.failure == CommResult::Success) {
            ++at; // stopped after a cell that went through: before the next one
        }
        written = static_cast<int>(at - cells.begin());
        if (at != cells.end()) {
            const std::string legend(CellLegend(*at));
            stop.cell = *at;
            stop.writtenBefore = written;
            if (!begun || *at != result.address) {
                stop.reason = result.end == JobEnd::Stopped ? "stopped" : "refused";
                stop.what = stop.reason + " before cell " + legend;
            } else if (result.end == JobEnd::Refused) {
                stop.reason = "refused";
                stop.what = "cell " + legend + " was refused, nothing of it sent";
            } else {
                stop.reason = m_portLost ? "port lost" : FailureWords(result.failure);
                stop.what = "cell " + legend + " got " +
                            (m_portLost ? "no answer, its port gone" : stop.reason) +
                            "; whether it holds its new byte is not known";
            }
        }
    }
    const QJsonValue stoppedAt = reportStop(stop, cells.size(), "written");
    if (m_options.json) {
        printJson({{QStringLiteral("cells"), static_cast<int>(cells.size())},
                   {QStringLiteral("written"), written},
                   {QStringLiteral("stoppedAt"), stoppedAt}});
    }
    return endOf(result);
}

JobResult CliRunner::readCells(const std::vector<int>& cells) {
    ParameterMemory& memory = m_session->memory();
    memory.clear();
    for (const int cell : cells) {
        memory.setSelected(cell, true);
    }
    if (interrupted()) {
        return {JobEnd::Stopped, CommResult::Success, -1, {}};
    }
    return m_session->readCells();
}

int CliRunner::ports() {
    const std::vector<PortInfo> list = m_context.port.availablePorts();
    QJsonArray array;
    for (const PortInfo& port : list) {
        const std::string& byId = port.stableName;
        if (m_options.json) {
            array.append(QJsonObject{{QStringLiteral("device"), qs(port.device)},
                                     {QStringLiteral("description"), qs(port.description)},
                                     {QStringLiteral("manufacturer"), qs(port.manufacturer)},
                                     {QStringLiteral("serialNumber"), qs(port.serialNumber)},
                                     {QStringLiteral("stableName"), qs(byId)}});
            continue;
        }
        const auto field = [](const std::string& text) { return text.empty() ? "-" : text; };
        m_context.out << port.device << '\t' << field(port.description) << '\t'
                      << field(port.manufacturer) << '\t' << field(port.serialNumber) << '\t'
                      << field(byId) << '\n';
    }
    if (m_options.json) {
        printJson({{QStringLiteral("ports"), array}});
    } else if (list.empty()) {
        m_context.err << "zelcor-cli: the system lists no serial port" << std::endl;
    }
    m_context.out << std::flush;
    return kExitDone;
}

} // namespace zelcor::cli
