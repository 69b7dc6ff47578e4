// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "script/ScriptParser.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QSocketNotifier;

namespace zelcor {

// Reads a script from input that ends only when its writer closes it (a pipe, a terminal,
// a socket, a device), line by line as the lines arrive. Reading happens from the event
// loop when the descriptor has something to read, never blocking and never spinning while
// it waits. Each complete line is read by ParseScriptLine under the limits LoadScript keeps
// (kMaxScriptLineBytes a line, kMaxScriptBytes in all).
class ScriptReader {
public:
    struct Handlers {
        // A line holding a command, in order. Returns why it cannot be played, if it cannot;
        // that ends the input as an error at its line.
        std::function<std::optional<QString>(ScriptLine line)> line;
        // Called once: the writer closed the input, or reading stopped at an error (a line
        // that cannot be understood, too much input, a failed read). Nothing is read after.
        std::function<void(std::optional<ScriptError> error)> end;
    };

    // Reads `fd`, which is closed with the reader when `owned`, once started. `name` is the
    // input as messages name it.
    ScriptReader(int fd, bool owned, QString name, Handlers handlers);
    ~ScriptReader();

    ScriptReader(const ScriptReader&) = delete;
    ScriptReader& operator=(const ScriptReader&) = delete;

    // Reading begins when the event loop next turns.
    void start();

    // The number of the line the input is at: the one still to come, or coming.
    int nextLineNumber() const { return m_lineNumber; }

private:
    void readSome();
    // Hands on every complete line in m_pending; false when one ended the input.
    bool takeLines();
    bool take(QByteArrayView bytes);
    void end(std::optional<ScriptError> error);

    int m_fd;
    bool m_owned;
    QString m_name;
    Handlers m_handlers;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QByteArray m_pending; // the line being read, not yet ended by a line feed
    qsizetype m_total = 0;
    int m_lineNumber = 1;
    bool m_ended = false;
};

} // namespace zelcor
