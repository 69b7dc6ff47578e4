// SPDX-License-Identifier: GPL-3.0-or-later
// certificate: the certificate of a verification run as a PDF, from the records alone.
#include "cli/CliFormat.h"
#include "cli/CliRunner.h"

#include "certificate/Certificate.h"
#include "certificate/CertificateRecords.h"
#include "common/TextConv.h"
#include "records/RecordStore.h"

#include <QJsonObject>
#include <QSqlDatabase>

#include <ostream>

namespace zelcor::cli {

int CliRunner::certificate() {
    const records::RecordsTarget& target = m_options.recordsTarget;
    const std::string& id = m_options.args.front();
    const QString connection = QStringLiteral("zelcor-cli-certificate");
    // A run kept a moment ago may still wait in the spool: opening hands it to the database.
    if (const int code = openRecords(connection, "there is no record to write a certificate from");
        code != kExitDone) {
        return code;
    }
    QString error;
    CertificateInput input;
    bool found = false;
    bool read = false;
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        if (const auto record = records::ReadRecord(db, id, error)) {
            found = true;
            read = ReadCertificateInput(db, *record, input, error);
        }
    }
    records::CloseRecordsDatabase(connection);
    if (!found && error.isEmpty()) {
        m_context.err << "zelcor-cli: there is no service record \"" << QuotedInput(id) << "\" in "
                      << records::TargetText(target) << " (history --json shows each record's id)"
                      << std::endl;
        return kExitUsage;
    }
    if (!read) {
        m_context.err << "zelcor-cli: the records of " << records::TargetText(target)
                      << " cannot be read: " << error.toStdString() << std::endl;
        return kExitCommFailure;
    }
    // The print date is the one thing on the certificate that is not from the records.
    input.printed = QDateTime::fromString(qs(m_context.utcNow()), Qt::ISODateWithMs);
    const QString path = QString::fromStdString(m_options.output);
    if (!WriteCertificate(input, path, error)) {
        m_context.err << "zelcor-cli: no certificate: " << error.toStdString() << std::endl;
        return kExitUsage;
    }
    const ServiceRecord& record = input.record;
    const std::string number = RecordCertificateNumber(record);
    const std::string verdict = VerdictWord(record.verification->verdict);
    if (m_options.json) {
        printJson(
            {{QStringLiteral("certificate"), qs(number)},
             {QStringLiteral("record"), qs(record.id)},
             {QStringLiteral("verdict"), qs(verdict)},
             {QStringLiteral("file"), path},
             {QStringLiteral("asFound"),
              input.asFound ? QJsonValue(qs(RecordCertificateNumber(*input.asFound)))
                            : QJsonValue(QJsonValue::Null)},
             {QStringLiteral("writesBetween"), static_cast<int>(input.writesBetween.size())}});
    } else {
        m_context.out << "certificate " << number << " (" << verdict << ") written to "
                      << QuotedInput(m_options.output) << std::endl;
    }
    return kExitDone;
}

} // namespace zelcor::cli
