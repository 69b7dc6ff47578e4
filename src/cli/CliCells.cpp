// SPDX-License-Identifier: GPL-3.0-or-later
// The cell subcommands: read, write, dump, preset, write-all-ff.
#include "cli/CliFormat.h"
#include "cli/CliRunner.h"

#include "common/TextConv.h"
#include "wrench/HexInput.h"
#include "wrench/Presets.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <ostream>

namespace zelcor::cli {

namespace {

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

int CliRunner::checkBytes() {
    static const char* const kWhat[] = {"ADDR1", "ADDR0", "BYTE"};
    std::string error;
    for (std::size_t i = 0; i < m_options.args.size(); ++i) {
        const auto byte = HexWord(m_options.args[i], kWhat[i], error);
        if (!byte) {
            m_context.err << "zelcor-cli: " << error << std::endl;
            return kExitUsage;
        }
        m_bytes.push_back(*byte);
    }
    return kExitDone;
}

int CliRunner::checkPreset() {
    const std::string& model = m_options.args[0];
    const auto& presets = ModelPresets();
    const bool known = std::any_of(presets.begin(), presets.end(),
                                   [&](const ModelPreset& p) { return p.model == model; });
    if (!known) {
        std::string list;
        for (const ModelPreset& p : presets) {
            list += (list.empty() ? "" : ", ") + std::string(p.model);
        }
        m_context.err << "zelcor-cli: there is no preset for the model \"" << QuotedInput(model)
                      << "\"; the models are: " << list << ". Nothing has been written."
                      << std::endl;
        return kExitRefused;
    }
    return kExitDone;
}

int CliRunner::read() {
    const ReadReply reply = m_session->readRegister(m_bytes[0], m_bytes[1]);
    if (reply.result != CommResult::Success) {
        m_session->showCommResult(reply.result);
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
    m_session->showCommResult(result);
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

int CliRunner::writeAllFF() {
    if (interrupted()) {
        return endOfWrite(TransferCells(), {JobEnd::Stopped, CommResult::Success, -1, {}});
    }
    return endOfWrite(TransferCells(), m_session->writeAllFF());
}

} // namespace zelcor::cli
