// SPDX-License-Identifier: GPL-3.0-or-later
// Backup and restore: the whole memory 07H to 2DH read into a backup, and a backup written
// back cell by cell, each read back.
#include "session/WrenchSession.h"

#include <vector>

namespace zelcor {

namespace {

std::vector<int> TransferCells() {
    std::vector<int> list;
    for (int cell = cells::kFirstTransfer; cell <= cells::kLast; ++cell) {
        list.push_back(cell);
    }
    return list;
}

} // namespace

JobResult WrenchSession::readBackup(Backup& backup) {
    // Reading the memory alone changes nothing on the wrench: no record of its own.
    auto recording = job("Backup", false);
    if (!recording) {
        return refusedAsBusy();
    }
    const std::vector<int> list = TransferCells();
    const JobResult result = readSelected(list);
    if (!result.ok()) {
        return recording.end(result);
    }
    backup.cells.clear();
    for (const int cell : list) {
        backup.cells[cell] = *m_memory.byte(cell);
    }
    return recording.end(result);
}

RestoreResult WrenchSession::restoreBackup(const Backup& backup, bool forceOtherWrench,
                                           const RestoreHooks& hooks) {
    RestoreResult r;
    auto recording = job("Restore");
    if (!recording) {
        r.end = refusedAsBusy();
        return r;
    }
    const std::vector<int> list = TransferCells();
    r.end = readSelected(list);
    if (!r.end.ok()) {
        recording.end(r.end);
        return r;
    }
    r.readDone = true;
    for (const int cell : list) {
        r.before[cell] = *m_memory.byte(cell);
    }
    r.otherWrench = IdentityText(backup.cells) != IdentityText(r.before);
    if (r.otherWrench && !forceOtherWrench) {
        r.end = {JobEnd::Refused, CommResult::Success, -1,
                 "the backup is of another wrench (" + IdentityText(backup.cells) + ")"};
        for (const int cell : list) {
            r.outcomes[cell] = CellRestore::Refused;
        }
        recording.end(r.end);
        return r;
    }
    if (hooks.afterRead) {
        hooks.afterRead(r);
    }
    for (const int cell : list) {
        if (IsIdentityCell(cell)) {
            r.outcomes[cell] = CellRestore::Refused;
        } else if (backup.cells.at(cell) == r.before[cell]) {
            r.outcomes[cell] = CellRestore::Unchanged;
            ++r.unchanged;
        } else {
            RestoredCell change;
            change.address = cell;
            change.before = r.before[cell];
            change.after = backup.cells.at(cell);
            r.changes.push_back(change);
        }
    }
    const int count = static_cast<int>(r.changes.size());
    for (int i = 0; i < count; ++i) {
        RestoredCell& c = r.changes[static_cast<std::size_t>(i)];
        // Looked at between cells only, so a cell whose write went through is read back.
        if (hooks.stop && hooks.stop()) {
            r.end = {JobEnd::Stopped, CommResult::Success, c.address, {}};
            break;
        }
        if (hooks.beforeCell) {
            hooks.beforeCell(i + 1, count, c.address);
        }
        m_memory.clear();
        m_memory.setByte(c.address, c.after);
        m_memory.setSelected(c.address, true);
        c.write = writeCells();
        c.read = c.write;
        if (c.write.ok()) {
            // Only a read that answered says what the cell holds: the memory still has the
            // byte that was to be written.
            m_memory.setUnread(c.address);
            c.read = readCells();
            c.readBack = c.read.ok() ? m_memory.byte(c.address) : std::nullopt;
        }
        c.outcome = c.readBack == c.after ? CellRestore::Written : CellRestore::Failed;
        r.outcomes[c.address] = c.outcome;
        if (hooks.afterCell) {
            hooks.afterCell(c);
        }
        if (c.outcome != CellRestore::Written) {
            r.end = !c.write.ok() ? c.write : c.read;
            if (r.end.ok()) { // answered, with another byte than the one written
                r.end = {JobEnd::Failed, CommResult::Success, c.address, {}};
            }
            break;
        }
    }
    recording.end(r.end);
    return r;
}

} // namespace zelcor
