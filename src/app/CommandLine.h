// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/RecordStore.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace zelcor {

struct Options {
    bool showHelp = false;
    bool showVersion = false;
    QString port; // shown in "Com No" at start-up when given
    bool simulator = false;
    QString script;         // --script: the script to play, "-" for standard input
    QString log;            // --log: the file every byte exchanged is written to
    bool logAppend = false; // --log-append: after what the file holds, not replacing it
    // --records: where the service records go; ZELCOR_RECORDS when not given.
    std::optional<QString> records;
    records::RecordsTarget recordsTarget; // what Main made of it
    QString language; // --language: the windows' texts in this language, their own when empty
    QString error;    // set when the command line cannot be understood
};

Options ParseCommandLine(const QStringList& arguments);
QString HelpText();
// "zelcor" and the version, as the package carries it.
QString VersionText();
// The version alone: "1.3".
std::string VersionNumber();

} // namespace zelcor
