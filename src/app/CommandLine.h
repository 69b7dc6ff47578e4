// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace zelcor {

struct Options {
    bool showHelp = false;
    bool showVersion = false;
    QString port; // shown in "Com No" at start-up when given
    bool simulator = false;
    QString script; // --script: the script to play, "-" for standard input
    QString log;    // --log: the file every byte exchanged is written to
    QString error;  // set when the command line cannot be understood
};

Options ParseCommandLine(const QStringList& arguments);
QString HelpText();
// "zelcor" and the version, as the package carries it.
QString VersionText();

} // namespace zelcor
