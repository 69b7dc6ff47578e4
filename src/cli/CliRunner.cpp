// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliRunner.h"

#include "common/TextConv.h"
#include "platform/Clock.h"
#include "platform/ComPortControl.h"
#include "records/RecordQuery.h"
#include "records/RecordStore.h"
#include "serial/PortSettings.h"
#include "wrench/HexInput.h"
#include "wrench/Presets.h"
#include "wrench/TorqueLog.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSqlDatabase>

#include <algorithm>
#include <array>
#include <ostream>
#include <utility>

namespace zelcor::cli {

namespace {

constexpr int kFirst = cells::kFirstTransfer;
constexpr int kLast = cells::kLast;
// A parameter text is about 60 characters; the windows' box takes no more than this either.
constexpr std::size_t kParameterTextLimit = 4096;
// A cell's legend in the text output takes this many terminal columns, so its byte lines up.
constexpr std::size_t kLegendColumns = 20;

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

std::string Hex(int value) {
    return ByteToHexStr(static_cast<std::uint8_t>(value));
}

// A value the wrench gave as two hexadecimal digits, "XX" when there is none.
std::string HexOrXX(const TorqueValue& value) {
    return value ? Hex(*value & 0xFF) : "XX";
}

// The live value as the wrench sent it, 0 to 65535: also when the torque computation
// overflows on it.
std::int32_t LiveRaw(const TorqueInputs& in) {
    return Word32(in.adL, in.adH).value_or(0);
}

QJsonValue JsonByte(std::optional<std::uint8_t> value) {
    return value ? QJsonValue(qs(Hex(*value))) : QJsonValue(QJsonValue::Null);
}

// How a cell's exchange failed, as a report names it.
std::string FailureWords(CommResult result) {
    switch (result) {
    case CommResult::TimeOut:
        return "no answer";
    case CommResult::Incomplete:
        return "a short answer";
    case CommResult::SyntaxError:
        return "a wrong answer";
    case CommResult::Success:
    case CommResult::Busy:
        break;
    }
    return "no exchange";
}

std::vector<int> TransferCells() {
    std::vector<int> cells;
    for (int cell = kFirst; cell <= kLast; ++cell) {
        cells.push_back(cell);
    }
    return cells;
}

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

// Every byte typed on the command line passes the console's own check.
std::optional<std::uint8_t> HexWord(const std::string& word, const char* what, std::string& error) {
    bool bad = false;
    std::string why;
    Cleckhex(word, bad, why);
    if (bad) {
        error = std::string(what) + " \"" + QuotedInput(word) + "\": " + why;
        return std::nullopt;
    }
    return HexToByte(word);
}

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
        const bool network = IsNetworkPortName(m_session->link().portName());
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
    }
    if (!m_retryAfterSignal) {
        // The exchange on the wire ends, answered or timed out; nothing more is sent for it.
        m_session->stopBeforeRetries();
    }
}

int CliRunner::run(const std::string& device) {
    if (m_options.command == "ports") {
        return ports();
    }
    if (m_options.command == "history") {
        return history();
    }
    if (const int checked = check(); checked != kExitDone) {
        return checked;
    }
    SerialSettings settings;
    const std::string settingsText = std::to_string(m_options.baud) + ",N,8,2";
    if (!ParseSettingsText(settingsText, settings)) {
        m_context.err << "zelcor-cli: a serial line cannot run at " << m_options.baud << " baud"
                      << std::endl;
        return kExitUsage;
    }
    std::string error;
    if (!m_session->link().open(device, settings, error)) {
        m_context.err << "zelcor-cli: Com "
                      << QuotedInput(m_options.port.empty() ? device : m_options.port)
                      << " cannot be opened at " << m_options.baud << ",8,N,2"
                      << (error.empty() ? "" : ": " + error) << std::endl;
        return kExitPortFailure;
    }
    if (interrupted()) {
        return interruptedCode();
    }
    // The whole command is one job of the service records. A new connection knows nothing of
    // the wrench: a job that does not read its code has it read first, so that its record
    // names the wrench; with the records off only the job's own exchanges are sent.
    m_session->beginRecord("zelcor-cli " + m_options.command);
    int code = kExitDone;
    if (m_options.recordsTarget.kind != records::RecordsTarget::Kind::Off &&
        !jobReadsWrenchCode()) {
        code = readWrenchCode();
    }
    if (code == kExitDone) {
        code = runJob();
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
    m_session->endRecord(recorded);
    return code;
}

int CliRunner::check() {
    const auto& args = m_options.args;
    std::string error;
    if (m_options.command == "read" || m_options.command == "write") {
        static const char* const kWhat[] = {"ADDR1", "ADDR0", "BYTE"};
        for (std::size_t i = 0; i < args.size(); ++i) {
            const auto byte = HexWord(args[i], kWhat[i], error);
            if (!byte) {
                m_context.err << "zelcor-cli: " << error << std::endl;
                return kExitUsage;
            }
            m_bytes.push_back(*byte);
        }
    } else if (m_options.command == "preset") {
        const auto& presets = ModelPresets();
        const bool known = std::any_of(presets.begin(), presets.end(),
                                       [&](const ModelPreset& p) { return p.model == args[0]; });
        if (!known) {
            std::string list;
            for (const ModelPreset& p : presets) {
                list += (list.empty() ? "" : ", ") + std::string(p.model);
            }
            m_context.err << "zelcor-cli: there is no preset for the model \""
                          << QuotedInput(args[0]) << "\"; the models are: " << list
                          << ". Nothing has been written." << std::endl;
            return kExitRefused;
        }
    } else if (m_options.command == "restore") {
        QFile file(QFile::decodeName(args[0].c_str()));
        // A backup is about 1 KiB; anything far larger is not one.
        if (!file.open(QIODevice::ReadOnly)) {
            m_context.err << "zelcor-cli: the backup " << QuotedInput(args[0])
                          << " cannot be read: " << file.errorString().toStdString() << std::endl;
            return kExitUsage;
        }
        const QByteArray text = file.read(1 << 20);
        m_backup = BackupFromJson(text.toStdString(), error);
        if (!m_backup) {
            m_context.err << "zelcor-cli: " << QuotedInput(args[0])
                          << " is no backup that can be restored: " << error
                          << ". Nothing has been written." << std::endl;
            return kExitRefused;
        }
    } else if (m_options.command == "write-params") {
        if (args[0] == "-") {
            const auto text = m_context.readStandardInput(kParameterTextLimit);
            if (!text) {
                m_context.err << "zelcor-cli: the parameter text on standard input is longer "
                                 "than "
                              << kParameterTextLimit
                              << " characters: it is no parameter set. Nothing has been written."
                              << std::endl;
                return kExitRefused;
            }
            m_text = *text;
        } else {
            m_text = args[0];
        }
    }
    return kExitDone;
}

int CliRunner::runJob() {
    const std::string& c = m_options.command;
    if (c == "read") {
        return read();
    }
    if (c == "write") {
        return write();
    }
    if (c == "dump") {
        return dump();
    }
    if (c == "backup") {
        return backup();
    }
    if (c == "restore") {
        return restore();
    }
    if (c == "preset") {
        return preset();
    }
    if (c == "get") {
        return get();
    }
    if (c == "write-params") {
        return writeParams();
    }
    if (c == "max-torque") {
        return maxTorque();
    }
    if (c == "clear-er0") {
        return clearEr0();
    }
    if (c == "constants") {
        return constants();
    }
    if (c == "live") {
        return live();
    }
    return writeAllFF();
}

bool CliRunner::jobReadsWrenchCode() const {
    const std::string& c = m_options.command;
    if (c == "dump") {
        const std::vector<int>& cells = m_options.cells;
        return std::all_of(cells::kWrenchCode.begin(), cells::kWrenchCode.end(), [&](int cell) {
            return std::find(cells.begin(), cells.end(), cell) != cells.end();
        });
    }
    return c == "backup" || c == "restore" || c == "get" || c == "write-params";
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

namespace {

// The record's columns as RecordColumns names them, and the bytes written with each cell's
// legend.
QJsonObject RecordJson(const ServiceRecord& r) {
    QJsonArray written;
    for (const RecordedWrite& w : r.bytesWritten) {
        const bool cell = w.address >= 0 && w.address <= kLast;
        written.append(QJsonObject{
            {QStringLiteral("address"), qs(records::AddressText(w.address))},
            {QStringLiteral("legend"), cell ? QJsonValue(qs(std::string(CellLegend(w.address))))
                                            : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("before"), JsonByte(w.before)},
            {QStringLiteral("after"), qs(Hex(w.after))}});
    }
    QJsonObject object = records::RecordJson(r);
    object.insert(QStringLiteral("bytesWritten"), written);
    return object;
}

// A field of a record's line: "-" when empty, on one line, and nothing in it that a terminal
// would act on (tabs, line ends and other control characters escaped).
std::string LineField(const std::string& text) {
    return text.empty() ? "-" : EscapedText(text);
}

} // namespace

int CliRunner::history() {
    const records::RecordsTarget& target = m_options.recordsTarget;
    if (target.kind == records::RecordsTarget::Kind::Off) {
        m_context.err << "zelcor-cli: the records are off: there is no history to show"
                      << std::endl;
        return kExitUsage;
    }
    const QString connection = QStringLiteral("zelcor-cli-history");
    QString error;
    if (!records::OpenRecordsDatabase(target, connection, error)) {
        m_context.err << "zelcor-cli: the records of " << records::TargetText(target)
                      << " cannot be opened: " << error.toStdString() << std::endl;
        return kExitCommFailure;
    }
    if (m_context.settleSpool) {
        m_context.settleSpool();
    }
    long long count = 0;
    long long unreadable = 0;
    bool read = false;
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        std::ostream& out = m_context.out;
        // A row that is not a record is marked where it stands (in the lines) or told on
        // standard error (JSON and CSV stay what they are), and the others are listed.
        const auto markUnreadable = [&](const std::string& id, const QString& reason) {
            ++unreadable;
            (m_options.json || m_options.csv ? m_context.err << "zelcor-cli: " : out)
                << "record " << EscapedText(id) << ": " << reason.toStdString() << '\n';
            return bool(out);
        };
        if (m_options.csv) {
            read = records::WriteRecordsCsv(
                db, m_options.filter, [&out](const std::string& line) { return bool(out << line); },
                error, &count, markUnreadable);
        } else {
            // One record at a time, however many there are; the JSON document is still one.
            if (m_options.json) {
                out << "{\n    \"records\": [";
            }
            read = records::ForEachRecord(
                db, m_options.filter,
                [&](const ServiceRecord& r) {
                    if (m_options.json) {
                        out << (count == 0 ? "\n        " : ",\n        ")
                            << QJsonDocument(RecordJson(r))
                                   .toJson(QJsonDocument::Compact)
                                   .toStdString();
                    } else {
                        const auto field = [&r](records::RecordColumn column) {
                            return LineField(records::StoredText(r, column));
                        };
                        const std::string failure =
                            records::StoredText(r, records::kColFailureCode);
                        // A record that names no wrench says so, as the History window does.
                        out << field(records::kColTime) << '\t'
                            << (r.wrenchCode.empty() ? "unknown" : field(records::kColWrenchCode))
                            << '\t' << field(records::kColJob) << '\t'
                            << records::StoredText(r, records::kColOutcome)
                            << (failure.empty() ? "" : " " + failure) << '\t'
                            << field(records::kColOperator) << '\t' << field(records::kColStation)
                            << '\t' << LineField(records::WrittenBytesText(r.bytesWritten)) << '\t'
                            << field(records::kColMessage) << '\n';
                    }
                    ++count;
                    return bool(out);
                },
                error, markUnreadable);
            if (m_options.json) {
                out << (count == 0 ? "]\n}\n" : "\n    ]\n}\n");
            }
        }
        out << std::flush;
    }
    records::CloseRecordsDatabase(connection);
    if (!read && error.isEmpty()) {
        m_context.err << "zelcor-cli: standard output cannot be written" << std::endl;
        return kExitCommFailure;
    }
    if (!read) {
        m_context.err << "zelcor-cli: the records of " << records::TargetText(target)
                      << " cannot be read: " << error.toStdString() << std::endl;
        return kExitCommFailure;
    }
    if (unreadable > 0) {
        m_context.err << "zelcor-cli: " << unreadable << (unreadable == 1 ? " record" : " records")
                      << " of " << records::TargetText(target)
                      << " cannot be read; the others are listed" << std::endl;
        return kExitCommFailure;
    }
    if (count == 0 && !m_options.json && !m_options.csv) {
        m_context.err << "zelcor-cli: no service record matches" << std::endl;
    }
    return kExitDone;
}

int CliRunner::read() {
    const ReadReply reply = m_session->readRegister(m_bytes[0], m_bytes[1]);
    if (reply.result != CommResult::Success) {
        m_session->link().ShowCommResult(reply.result);
        m_failure = reply.result;
        return kExitCommFailure;
    }
    if (!reply.hasData) {
        // The commands 00 00 and 00 01 answer with their address only: done, nothing to show.
        if (m_options.json) {
            printJson({{QStringLiteral("address"), qs(Hex(m_bytes[0]) + Hex(m_bytes[1]))},
                       {QStringLiteral("data"), QJsonValue(QJsonValue::Null)}});
        }
        return kExitDone;
    }
    if (m_options.json) {
        printJson(
            {{QStringLiteral("address"), qs(Hex(m_bytes[0]) + Hex(m_bytes[1]))},
             {QStringLiteral("data"),
              QJsonArray{qs(Hex(reply.data[0])), qs(Hex(reply.data[1])), qs(Hex(reply.data[2]))}}});
    } else {
        m_context.out << Hex(reply.data[0]) << ' ' << Hex(reply.data[1]) << ' '
                      << Hex(reply.data[2]) << std::endl;
    }
    return kExitDone;
}

int CliRunner::write() {
    const CommResult result = m_session->writeRegister(m_bytes[0], m_bytes[1], m_bytes[2]);
    m_session->link().ShowCommResult(result);
    m_failure = result;
    return result == CommResult::Success ? kExitDone : kExitCommFailure;
}

int CliRunner::dump() {
    const JobResult result = readCells(m_options.cells);
    const ParameterMemory& memory = m_session->memory();
    QJsonArray array;
    for (const int cell : m_options.cells) {
        if (m_options.json) {
            array.append(QJsonObject{{QStringLiteral("address"), qs(Hex(cell))},
                                     {QStringLiteral("legend"), qs(std::string(CellLegend(cell)))},
                                     {QStringLiteral("byte"), JsonByte(memory.byte(cell))}});
        } else {
            m_context.out << PadToColumns(CellLegend(cell), kLegendColumns) << ' '
                          << memory.text(cell) << '\n';
        }
    }
    if (m_options.json) {
        printJson({{QStringLiteral("cells"), array}});
    }
    m_context.out << std::flush;
    return endOf(result);
}

int CliRunner::backup() {
    // The file is opened first: a name that cannot be written costs no exchange. It takes the
    // place of an old one only once it is whole.
    QSaveFile file(QFile::decodeName(m_options.args[0].c_str()));
    if (!file.open(QIODevice::WriteOnly)) {
        m_context.err << "zelcor-cli: the backup " << QuotedInput(m_options.args[0])
                      << " cannot be written: " << file.errorString().toStdString() << std::endl;
        return kExitUsage;
    }
    Backup backup;
    const JobResult result = interrupted() ? JobResult{JobEnd::Stopped, CommResult::Success, -1, {}}
                                           : m_session->readBackup(backup);
    if (!result.ok()) {
        file.cancelWriting();
        m_context.err << "zelcor-cli: not every cell was read: no backup has been written"
                      << std::endl;
        return endOf(result);
    }
    backup.time = m_context.utcNow();
    backup.program = "zelcor-cli " + CliVersionNumber();
    const std::string json = BackupToJson(backup);
    file.write(json.data(), static_cast<qint64>(json.size()));
    if (!file.commit()) {
        m_refusal = "the backup file cannot be written: " + file.errorString().toStdString();
        m_context.err << "zelcor-cli: the backup " << QuotedInput(m_options.args[0])
                      << " cannot be written: " << file.errorString().toStdString() << std::endl;
        return kExitUsage;
    }
    m_context.err << "zelcor-cli: " << backup.cells.size() << " cells of the wrench with "
                  << IdentityText(backup.cells) << " saved" << std::endl;
    return kExitDone;
}

int CliRunner::restore() {
    // A signal is looked at between cells, so a cell whose write went through is read back;
    // one whose write then fails is not retried, nor read back.
    m_stopSessionOnSignal = false;
    if (interrupted()) {
        m_context.err << "zelcor-cli: the wrench could not be read: nothing has been written"
                      << std::endl;
        return endOf({JobEnd::Stopped, CommResult::Success, -1, {}});
    }
    QJsonArray written;
    WriteStop stop;
    int code = kExitDone;
    RestoreHooks hooks;
    hooks.afterRead = [this](const RestoreResult& read) {
        if (read.otherWrench && m_options.forceOtherWrench) {
            m_context.err << "zelcor-cli: the backup is of another wrench ("
                          << IdentityText(m_backup->cells) << "); writing it to the connected one ("
                          << IdentityText(read.before) << ") as asked, its identity cells left "
                          << "as they are" << std::endl;
        }
    };
    hooks.stop = [this] { return interrupted(); };
    hooks.beforeCell = [&](int index, int count, int cell) {
        m_ownProgress = true;
        showProgress(index, count, cell);
    };
    hooks.afterCell = [&](const RestoredCell& c) {
        const std::string legend(CellLegend(c.address));
        stop.cell = c.address;
        const std::string lost = m_portLost ? "no answer, its port gone" : "";
        std::string outcome;
        if (!c.write.ok()) {
            stop.reason = m_portLost ? "port lost" : FailureWords(c.write.failure);
            stop.what = "cell " + legend + " got " + (lost.empty() ? stop.reason : lost) +
                        " to its write; whether it holds the backup's byte is not known";
            outcome = " not read back";
            code = endOf(c.write);
        } else if (!c.readBack) {
            stop.reason = "not read back";
            stop.what = "cell " + legend + " was written, but its read-back got " +
                        (lost.empty() ? FailureWords(c.read.failure) : lost);
            outcome = " not read back";
            code = endOf(c.read);
        } else if (*c.readBack != c.after) {
            stop.reason = "read back " + Hex(*c.readBack);
            stop.what = "cell " + legend + " reads back " + Hex(*c.readBack) + " after " +
                        Hex(c.after) + " was written";
            outcome = " read back " + Hex(*c.readBack);
            code = kExitCommFailure;
        }
        // Every cell it began to write is listed, with what it read back, if anything.
        written.append(QJsonObject{{QStringLiteral("address"), qs(Hex(c.address))},
                                   {QStringLiteral("legend"), qs(legend)},
                                   {QStringLiteral("before"), qs(Hex(c.before))},
                                   {QStringLiteral("after"), qs(Hex(c.after))},
                                   {QStringLiteral("readBack"), JsonByte(c.readBack)}});
        if (!m_options.json) {
            endProgress();
            m_context.out << PadToColumns(legend, kLegendColumns) << ' ' << Hex(c.before) << " -> "
                          << Hex(c.after) << outcome << std::endl;
        }
    };
    const RestoreResult r = m_session->restoreBackup(*m_backup, m_options.forceOtherWrench, hooks);
    if (!r.readDone) {
        m_context.err << "zelcor-cli: the wrench could not be read: nothing has been written"
                      << std::endl;
        return endOf(r.end);
    }
    const std::string fileIdentity = IdentityText(m_backup->cells);
    const std::string wrenchIdentity = IdentityText(r.before);
    if (r.otherWrench && r.end.end == JobEnd::Refused) {
        m_refusal = r.end.message;
        m_context.err << "zelcor-cli: the backup is of another wrench (" << fileIdentity
                      << ") than the one connected (" << wrenchIdentity
                      << "): nothing has been written. --force-other-wrench writes it all "
                         "the same, never the identity cells."
                      << std::endl;
        return kExitRefused;
    }
    if (r.end.end == JobEnd::Stopped && r.end.failure == CommResult::Success && code == kExitDone) {
        // Stopped before the cell r.end.address, nothing of it sent.
        const auto at =
            std::find_if(r.changes.begin(), r.changes.end(),
                         [&](const RestoredCell& c) { return c.address == r.end.address; });
        const std::string legend(CellLegend(r.end.address));
        stop = {r.end.address, static_cast<int>(at - r.changes.begin()), "stopped",
                "stopped before cell " + legend};
        code = interruptedCode();
    } else if (code != kExitDone) {
        const auto at = std::find_if(r.changes.begin(), r.changes.end(),
                                     [&](const RestoredCell& c) { return c.address == stop.cell; });
        stop.writtenBefore = static_cast<int>(at - r.changes.begin());
    }
    endProgress();
    const QJsonValue stoppedAt = reportStop(code == kExitDone ? WriteStop{} : stop,
                                            r.changes.size(), "written and read back");
    if (m_options.json) {
        printJson({{QStringLiteral("identity"), qs(wrenchIdentity)},
                   {QStringLiteral("written"), written},
                   {QStringLiteral("unchanged"), static_cast<int>(r.unchanged)},
                   {QStringLiteral("stoppedAt"), stoppedAt}});
    }
    if (code == kExitDone) {
        m_context.err << "zelcor-cli: " << r.changes.size()
                      << (r.changes.size() == 1 ? " cell" : " cells") << " written and read back, "
                      << r.unchanged << " already held the backup's bytes" << std::endl;
    }
    return code;
}

int CliRunner::preset() {
    m_session->loadPreset(m_options.args[0]);
    std::vector<int> cells;
    for (int cell = kFirst; cell <= kLast; ++cell) {
        if (m_session->memory().selected(cell)) {
            cells.push_back(cell);
        }
    }
    if (interrupted()) {
        return endOfWrite(cells, {JobEnd::Stopped, CommResult::Success, -1, {}});
    }
    return endOfWrite(cells, m_session->writeCells());
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

int CliRunner::live() {
    if (m_options.pause) {
        m_session->setTestPause(*m_options.pause);
    }
    if (m_options.digits) {
        m_session->setDivisor(*DivisorForDigits(*m_options.digits));
    }
    const std::int64_t start = m_context.clock.nowMs();
    QJsonArray readings;
    if (m_options.csv) {
        m_context.out << TorqueCsvHeader() << std::flush;
    } else if (!m_options.json) {
        m_context.out << "time_ms,raw,torque_Nm" << std::endl;
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
            } else if (m_options.csv) {
                m_context.out << TorqueCsvLine(timeMs - start, LiveRaw(m_session->calibration()),
                                               result.text)
                              << std::flush;
            } else {
                m_context.out << timeMs - start << ',' << LiveRaw(m_session->calibration()) << ','
                              << result.text << std::endl;
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

int CliRunner::writeAllFF() {
    if (interrupted()) {
        return endOfWrite(TransferCells(), {JobEnd::Stopped, CommResult::Success, -1, {}});
    }
    return endOfWrite(TransferCells(), m_session->writeAllFF());
}

} // namespace zelcor::cli
