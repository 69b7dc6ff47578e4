// SPDX-License-Identifier: GPL-3.0-or-later
#include "certificate/CertificateRecords.h"

#include "records/DueList.h"

#include <QSqlDatabase>

namespace zelcor {

bool ReadCertificateInput(QSqlDatabase& db, const ServiceRecord& record, CertificateInput& input,
                          QString& error) {
    input.record = record;
    const std::optional<records::AsFound> found = records::AsFoundContext(db, record, error);
    if (!error.isEmpty()) {
        return false;
    }
    // Only a run that ended with a verdict has a table to show.
    if (found && found->run && found->run->verification &&
        found->run->verification->verdict != Verdict::None) {
        input.asFound = found->run;
        input.writesBetween = found->writes;
    }
    return true;
}

} // namespace zelcor
