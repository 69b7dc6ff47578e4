// SPDX-License-Identifier: GPL-3.0-or-later
// The script parser, fed arbitrary bytes: every input is either a list of lines or an error
// naming a line of it, and every line read holds what its command needs.

#include "script/ScriptParser.h"
#include "support/Check.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace {

using namespace zelcor;

bool needsName(ScriptOp op) {
    switch (op) {
    case ScriptOp::Wait:
    case ScriptOp::Idle:
    case ScriptOp::Answer:
    case ScriptOp::ExpectBox:
        return false;
    default:
        return true;
    }
}

// A text as a script writes it: the escapes DecodeScriptText resolves.
QString encoded(const QString& text) {
    QString out;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\')) {
            out += QStringLiteral("\\\\");
        } else if (c == QLatin1Char('\n')) {
            out += QStringLiteral("\\n");
        } else if (c == QLatin1Char('\r')) {
            out += QStringLiteral("\\r");
        } else {
            out += c;
        }
    }
    return out.isEmpty() ? QStringLiteral("\"\"") : out;
}

void checkLine(const ScriptLine& line) {
    for (const QChar c : line.source) {
        FUZZ_CHECK(c.unicode() >= 0x20 || c == QLatin1Char('\t'));
        FUZZ_CHECK(c.unicode() != 0x7f);
    }
    if (needsName(line.op)) {
        FUZZ_CHECK(!line.control.isEmpty());
        FUZZ_CHECK(!line.control.contains(QLatin1Char(' ')) &&
                   !line.control.contains(QLatin1Char('\t')));
        FUZZ_CHECK(line.source.contains(line.control));
    }
    switch (line.op) {
    case ScriptOp::Wait:
        FUZZ_CHECK(line.ms >= 0 && line.ms <= kMaxScriptWaitMs);
        break;
    case ScriptOp::Set:
    case ScriptOp::Choose:
    case ScriptOp::Expect:
    case ScriptOp::ExpectBox: {
        // The text read back from its escaped form is the same text, unless it is literally
        // "" (which a script cannot write: "" is the empty text).
        if (line.text != QLatin1String("\"\"")) {
            FUZZ_CHECK(DecodeScriptText(encoded(line.text)) == line.text);
        }
        const ParsedScript again = ParseScript(
            (QStringLiteral("set x ") + encoded(line.text) + QLatin1Char('\n')).toUtf8());
        FUZZ_CHECK(!again.error && again.lines.size() == 1);
        if (line.text != QLatin1String("\"\"")) {
            FUZZ_CHECK(again.lines[0].text == line.text);
        }
        break;
    }
    default:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const ParsedScript script = ParseScript(bytes);
    const int lineCount = static_cast<int>(bytes.count('\n')) + 1;

    int previous = 0;
    for (const ScriptLine& line : script.lines) {
        FUZZ_CHECK(line.number > previous && line.number <= lineCount);
        previous = line.number;
        checkLine(line);
    }
    if (script.error) {
        FUZZ_CHECK(script.error->line > previous && script.error->line <= lineCount);
        FUZZ_CHECK(!script.error->reason.isEmpty());
    }

    // What the trace shows of a text keeps it on one line.
    const QString shown = ShowLineBreaks(QString::fromUtf8(bytes));
    FUZZ_CHECK(!shown.contains(QLatin1Char('\n')) && !shown.contains(QLatin1Char('\r')));
    return 0;
}
