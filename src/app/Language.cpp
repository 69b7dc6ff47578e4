// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Language.h"

#include <QDir>
#include <QTranslator>

namespace zelcor {

namespace {

const QString kFolder = QStringLiteral(":/i18n");
const QString kPrefix = QStringLiteral("zelcor_");
const QString kSuffix = QStringLiteral(".qm");

} // namespace

QStringList Languages() {
    QStringList languages;
    for (const QString& file : QDir(kFolder).entryList({kPrefix + '*' + kSuffix}, QDir::Files)) {
        languages << file.mid(kPrefix.size(), file.size() - kPrefix.size() - kSuffix.size());
    }
    return languages;
}

bool LoadLanguage(QTranslator& translator, const QString& language) {
    return Languages().contains(language) && translator.load(kPrefix + language + kSuffix, kFolder);
}

} // namespace zelcor
