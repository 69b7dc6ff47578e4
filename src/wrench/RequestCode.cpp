// SPDX-License-Identifier: GPL-3.0-or-later
#include "wrench/RequestCode.h"

#include <QSettings>

#include <cstdio>

namespace zelcor {

std::string NextRequestCode() {
    QSettings settings(QStringLiteral("Zelcor"), QStringLiteral("Zelcor"));
    const QString key = QStringLiteral("parameterRequest/lastCode");
    bool ok = false;
    const int last = settings.value(key).toInt(&ok);
    // Anything unreadable or out of range starts the count again.
    const int next = ok && last >= 1 && last < 9999 ? last + 1 : 1;
    settings.setValue(key, next);
    settings.sync();
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04d", next);
    return digits;
}

} // namespace zelcor
