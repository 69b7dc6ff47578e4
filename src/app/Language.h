// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

class QTranslator;

namespace zelcor {

// The languages the windows can be shown in besides their own texts, as --language names
// them ("en"): one for each translation the program carries (:/i18n/zelcor_LANGUAGE.qm).
QStringList Languages();

// Loads the program's translation into `language`; false when it carries none.
bool LoadLanguage(QTranslator& translator, const QString& language);

} // namespace zelcor
