// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessageBoxes.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <ostream>
#include <vector>

namespace zelcor {

// Automation scripts (zelcor --script FILE): one command per line, played against the
// windows as a technician's hands would. This part only reads the text; the names in it
// are checked against the windows and played by ScriptRunner.

enum class ScriptOp {
    Set,           // set CONTROL TEXT
    Choose,        // choose COMBO ITEM
    Click,         // click BUTTON
    Start,         // start BUTTON
    Wait,          // wait MS
    Idle,          // idle
    Answer,        // answer yes|no|ok
    Expect,        // expect CONTROL TEXT
    ExpectEnabled, // expect-enabled CONTROL true|false
    ExpectVisible, // expect-visible CONTROL true|false
    ExpectBox,     // expect-box TITLE | TEXT
    Print,         // print CONTROL
};

struct ScriptLine {
    int number = 0; // 1-based line in the file
    ScriptOp op = ScriptOp::Idle;
    QString source;     // the line as written, for the trace
    QString control;    // the name as written, window-qualified or not
    QString text;       // TEXT or ITEM with its escapes resolved; a box's title for expect-box
    QString boxText;    // expect-box: the box's text
    int ms = 0;         // wait
    bool state = false; // expect-enabled, expect-visible
    BoxAnswer answer = BoxAnswer::Ok; // answer
};

struct ScriptError {
    int line = 0; // 0 when the script could not be read at all
    QString reason;
};

struct ParsedScript {
    std::vector<ScriptLine> lines;
    std::optional<ScriptError> error; // the first line that cannot be understood
};

// The longest wait a script may ask for: one day.
inline constexpr int kMaxScriptWaitMs = 24 * 60 * 60 * 1000;

// The most a script may hold: no technician's session comes near, and whatever is fed
// by mistake (a device, a binary) is refused before it fills the memory.
inline constexpr qsizetype kMaxScriptBytes = 16 * 1024 * 1024;
inline constexpr qsizetype kMaxScriptLineBytes = 64 * 1024;

// What one line of a script holds: a command, nothing (a blank line or a comment), or the
// reason it cannot be understood.
struct ParsedLine {
    std::optional<ScriptLine> line;
    std::optional<ScriptError> error;
};

// Reads line `number` (1-based) of a script, without its line feed: what ParseScript does
// with each line, for a reader that gets the lines one by one. Longer than
// kMaxScriptLineBytes is an error; the first line may start with a byte order mark.
ParsedLine ParseScriptLine(QByteArrayView bytes, int number);

// Reads a whole script. Any byte sequence is accepted as input: what is not a script gives
// an error naming its line, never a crash. A line longer than kMaxScriptLineBytes is an
// error.
ParsedScript ParseScript(const QByteArray& bytes);

// The messages for input that cannot be read as a script at all; `name` is the input as the
// messages name it ("standard input" or its path).
QString ScriptReadError(const QString& name, const QString& why);
QString ScriptTooLarge(const QString& name);

// Reads the script in `path` ("-" for standard input) and parses it. Reading stops at the
// first line too long or when more than kMaxScriptBytes have come, so no input can take
// more memory than that.
ParsedScript LoadScript(const QString& path);

// A text from the script as an error message shows it: its first 255 characters (QuotedInput),
// followed by "..." when there were more, line breaks written as \n and \r. Every message
// that quotes the script goes through this, so that no input makes a message of any length.
QString ShortenScriptText(QStringView text);

// TEXT as written in a script: `""` is the empty text; \n, \r and \\ stand for a line feed,
// a carriage return and a backslash. Any other backslash is kept as it is.
QString DecodeScriptText(const QString& raw);

// A text for one output line: line feeds and carriage returns written as \n and \r.
QString ShowLineBreaks(const QString& text);

// Writes one line of the script's output and flushes it, so that nothing is lost when the
// program ends from inside a wait.
void WriteScriptLine(std::ostream& out, const QString& line);

} // namespace zelcor
