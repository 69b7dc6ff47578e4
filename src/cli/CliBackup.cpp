// SPDX-License-Identifier: GPL-3.0-or-later
// backup and restore: the wrench's memory to a file and back.
#include "cli/CliFormat.h"
#include "cli/CliRunner.h"

#include "common/TextConv.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>
#include <ostream>

namespace zelcor::cli {

int CliRunner::checkRestore() {
    const std::string& name = m_options.args[0];
    QFile file(QFile::decodeName(name.c_str()));
    // A backup is about 1 KiB; anything far larger is not one.
    if (!file.open(QIODevice::ReadOnly)) {
        m_context.err << "zelcor-cli: the backup " << QuotedInput(name)
                      << " cannot be read: " << file.errorString().toStdString() << std::endl;
        return kExitUsage;
    }
    const QByteArray text = file.read(1 << 20);
    std::string error;
    m_backup = BackupFromJson(text.toStdString(), error);
    if (!m_backup) {
        m_context.err << "zelcor-cli: " << QuotedInput(name)
                      << " is no backup that can be restored: " << error
                      << ". Nothing has been written." << std::endl;
        return kExitRefused;
    }
    return kExitDone;
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

} // namespace zelcor::cli
