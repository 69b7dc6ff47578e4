// SPDX-License-Identifier: GPL-3.0-or-later
// The jobs over the cells of the parameter memory: Read All, Write, Write All FF, and the
// fills that send nothing.
#include "platform/MessageBoxes.h"
#include "session/WrenchSession.h"
#include "wrench/Presets.h"

#include <QCoreApplication>

namespace zelcor {

namespace {

constexpr int kFirst = cells::kFirstTransfer;
constexpr int kLast = cells::kLast;

} // namespace

ReadReply WrenchSession::readWithRetry(std::uint8_t address) {
    ReadReply reply = m_link.read(0x00, address);
    // Refused is not failed: trying again at once would be refused too.
    if (!reply.hasData && reply.result != CommResult::Busy && !m_noRetries) {
        reply = m_link.read(0x00, address);
    }
    return reply;
}

CommResult WrenchSession::writeWithRetry(std::uint8_t address, std::uint8_t data) {
    CommResult result = m_link.write(0x00, address, data);
    if (result != CommResult::Success && result != CommResult::Busy && !m_noRetries) {
        result = m_link.write(0x00, address, data);
    }
    return result;
}

void WrenchSession::showReceiveError() {
    m_boxes.show(tr("Data Receving Err"), tr("Exit for Communication Error"), BoxIcon::Critical,
                 BoxButtons::Ok);
}

JobResult WrenchSession::cellFailed(int address, CommResult result) {
    if (m_noRetries) {
        m_boxes.show(tr("Communication exit"), tr("Stop"), BoxIcon::Critical, BoxButtons::Ok);
        return {JobEnd::Stopped, result, address, {}};
    }
    showReceiveError();
    return {JobEnd::Failed, result, address, {}};
}

bool WrenchSession::stopRequested() {
    if (!m_stopCells) {
        return false;
    }
    m_boxes.show(tr("Communication exit"), tr("Stop"), BoxIcon::Critical, BoxButtons::Ok);
    return true;
}

JobResult WrenchSession::readCells() {
    const auto job = this->job("Read All", false);
    if (!job) {
        return refusedAsBusy();
    }
    m_link.clearEchoes();
    m_stopCells = false;
    const int count = m_memory.selectedTransferCells();
    int index = 0;
    for (int i = kFirst; i <= kLast; ++i) {
        const bool selected = m_memory.selected(i);
        emit cellProgress({CellJob::Read, i, selected, selected ? ++index : 0, count});
        if (selected) {
            const ReadReply reply = readWithRetry(static_cast<std::uint8_t>(i));
            if (!reply.hasData) {
                const JobResult failed = cellFailed(i, reply.result);
                emit cellJobEnded(CellJob::Read, failed);
                if (failed.end == JobEnd::Failed) {
                    m_link.HelpMsg();
                }
                return failed;
            }
            m_memory.setByte(i, reply.data[0]);
        }
        // Looked at only between cells, so the cell being read when Stop came is filled.
        if (stopRequested()) {
            const JobResult stopped{JobEnd::Stopped, CommResult::Success, i, {}};
            emit cellJobEnded(CellJob::Read, stopped);
            return stopped;
        }
    }
    emit cellJobEnded(CellJob::Read, {});
    return {};
}

JobResult WrenchSession::writeParameter(std::uint8_t address, std::uint8_t data) {
    JobResult result;
    result.address = address;
    if (const CommResult written = writeWithRetry(address, data); written != CommResult::Success) {
        result = cellFailed(address, written);
        if (result.end == JobEnd::Failed) {
            m_link.HelpMsg();
        }
    }
    // A stop asked for during this byte is reported after its failure, if it failed too.
    if (stopRequested() && result.ok()) {
        result.end = JobEnd::Stopped;
    }
    return result;
}

JobResult WrenchSession::writeCells() {
    auto recording = this->job(m_presetModel.empty() ? "Write" : "Preset Write");
    if (!recording) {
        return refusedAsBusy();
    }
    if (ServiceRecord* r = record(); r != nullptr && !m_presetModel.empty()) {
        r->detail = "model " + m_presetModel;
    }
    m_stopCells = false;
    const int count = m_memory.selectedTransferCells();
    int index = 0;
    for (int i = kFirst; i <= kLast; ++i) {
        const bool selected = m_memory.selected(i);
        emit cellProgress({CellJob::Write, i, selected, selected ? ++index : 0, count});
        if (!selected) {
            continue;
        }
        JobResult result;
        if (const auto value = m_memory.byte(i)) {
            result = writeParameter(static_cast<std::uint8_t>(i), *value);
        } else {
            // Never guess a byte for the wrench's memory: an unread, empty or malformed cell
            // stops the write here.
            // The record keeps the system's words; the box shows them translated.
            const char* pattern =
                QT_TR_NOOP("Cell %1 %2.\r\nNothing from this cell on has been written.");
            const std::string legend(CellLegend(i));
            const std::string reasonWords =
                QCoreApplication::translate("zelcor::CellText",
                                            std::string(m_memory.refusalPattern(i)).c_str())
                    .toStdString();
            result = {JobEnd::Refused, CommResult::Success, i,
                      recordText(pattern, {legend, m_memory.refusal(i)})};
            m_boxes.show(
                tr(pattern).arg(
                    QCoreApplication::translate("zelcor::ParameterMemory", legend.c_str()),
                    QString::fromStdString(CellTextFaultReason(reasonWords, m_memory.text(i)))),
                tr("Invalid Cell"), BoxIcon::Exclamation, BoxButtons::Ok);
        }
        if (!result.ok()) {
            emit cellJobEnded(CellJob::Write, result);
            return recording.end(result);
        }
    }
    emit cellJobEnded(CellJob::Write, {});
    return recording.end({});
}

JobResult WrenchSession::writeAllFF() {
    auto recording = this->job("Write All FF");
    if (!recording) {
        return refusedAsBusy();
    }
    const auto end = [&](const JobResult& result) {
        emit cellJobEnded(CellJob::WriteAllFF, result);
        return recording.end(result);
    };
    m_link.clearEchoes();
    m_stopCells = false;
    const int count = kLast - kFirst + 1;
    for (int i = kFirst; i <= kLast; ++i) {
        emit cellProgress({CellJob::WriteAllFF, i, true, i - kFirst + 1, count});
        if (const CommResult result = writeWithRetry(static_cast<std::uint8_t>(i), 0xFF);
            result != CommResult::Success) {
            const JobResult failed = cellFailed(i, result);
            if (failed.end == JobEnd::Failed) {
                m_link.HelpMsg();
            }
            return end(failed);
        }
        if (stopRequested()) {
            return end({JobEnd::Stopped, CommResult::Success, i, {}});
        }
    }
    return end({});
}

void WrenchSession::loadPreset(std::string_view model) {
    const ModelPreset& preset = PresetForModel(model);
    m_loadingPreset = true;
    for (std::size_t k = 0; k < kPresetLength; ++k) {
        m_memory.setTyped(cells::kPresetFirst + static_cast<int>(k), preset.cells[k]);
    }
    for (int i = 0; i < cells::kCount; ++i) {
        m_memory.setSelected(i, i >= cells::kPresetFirst && i <= cells::kPresetLast);
    }
    m_loadingPreset = false;
    // Until a cell is changed otherwise, the next Write is this preset's.
    m_presetModel = preset.model;
}

void WrenchSession::fillAllFF() {
    for (int i = kFirst; i <= kLast; ++i) {
        m_memory.setByte(i, 0xFF);
        m_memory.setSelected(i, true);
    }
}

} // namespace zelcor
