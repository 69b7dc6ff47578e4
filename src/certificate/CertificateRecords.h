// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "certificate/Certificate.h"

#include <QString>

class QSqlDatabase;

namespace zelcor {

// What the certificate of `record` is written from, as the records hold it: the record, and for
// an "as left" run the "as found" run of the same day before it, with the writes in between.
// False with `error` set when the records cannot be read.
bool ReadCertificateInput(QSqlDatabase& db, const ServiceRecord& record, CertificateInput& input,
                          QString& error);

} // namespace zelcor
