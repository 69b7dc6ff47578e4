// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/ScriptParser.h"

#include "common/TextConv.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cstdio>

namespace zelcor {

namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QStringView skipBlanks(QStringView s) {
    qsizetype i = 0;
    while (i < s.size() && isBlank(s[i])) {
        ++i;
    }
    return s.mid(i);
}

// Splits off the word at the start of `s` (up to the next blank); `s` keeps the rest,
// starting with that blank.
QStringView takeWord(QStringView& s) {
    qsizetype end = 0;
    while (end < s.size() && !isBlank(s[end])) {
        ++end;
    }
    const QStringView word = s.left(end);
    s = s.mid(end);
    return word;
}

// A word from the script, quoted for an error message.
QString quoted(QStringView word) {
    return QLatin1Char('"') + ShortenScriptText(word) + QLatin1Char('"');
}

struct Command {
    const char* word;
    ScriptOp op;
};

constexpr Command kCommands[] = {
    {"set", ScriptOp::Set},
    {"choose", ScriptOp::Choose},
    {"click", ScriptOp::Click},
    {"start", ScriptOp::Start},
    {"wait", ScriptOp::Wait},
    {"idle", ScriptOp::Idle},
    {"answer", ScriptOp::Answer},
    {"expect", ScriptOp::Expect},
    {"expect-enabled", ScriptOp::ExpectEnabled},
    {"expect-visible", ScriptOp::ExpectVisible},
    {"expect-box", ScriptOp::ExpectBox},
    {"print", ScriptOp::Print},
};

// What the name after each command stands for, for the messages.
QString nameKind(ScriptOp op) {
    switch (op) {
    case ScriptOp::Choose:
        return QStringLiteral("a combo box name");
    case ScriptOp::Click:
    case ScriptOp::Start:
        return QStringLiteral("a button name");
    default:
        return QStringLiteral("a control name");
    }
}

class LineParser {
public:
    LineParser(int number, const QString& source) : m_source(source) {
        m_line.number = number;
        m_line.source = source;
    }

    // Fills the line from its text (already known not to be blank or a comment).
    std::optional<QString> parse() {
        QStringView rest = skipBlanks(m_source);
        const QStringView word = takeWord(rest);
        const Command* command = nullptr;
        for (const Command& c : kCommands) {
            if (word == QLatin1String(c.word)) {
                command = &c;
            }
        }
        if (command == nullptr) {
            return QStringLiteral("unknown command %1").arg(quoted(word));
        }
        m_word = word.toString();
        m_line.op = command->op;
        switch (m_line.op) {
        case ScriptOp::Set:
        case ScriptOp::Choose:
        case ScriptOp::Expect:
            return nameAndText(rest);
        case ScriptOp::Click:
        case ScriptOp::Start:
        case ScriptOp::Print:
            if (auto error = name(rest)) {
                return error;
            }
            return nothingMore(rest);
        case ScriptOp::ExpectEnabled:
        case ScriptOp::ExpectVisible:
            if (auto error = name(rest)) {
                return error;
            }
            return trueOrFalse(rest);
        case ScriptOp::Wait:
            return milliseconds(rest);
        case ScriptOp::Idle:
            return nothingMore(rest);
        case ScriptOp::Answer:
            return answer(rest);
        case ScriptOp::ExpectBox:
            return titleAndText(rest);
        }
        return QStringLiteral("unknown command %1").arg(quoted(word));
    }

    const ScriptLine& line() const { return m_line; }

private:
    std::optional<QString> name(QStringView& rest) {
        rest = skipBlanks(rest);
        const QStringView name = takeWord(rest);
        if (name.isEmpty()) {
            return QStringLiteral("%1 needs %2").arg(m_word, nameKind(m_line.op));
        }
        m_line.control = name.toString();
        return std::nullopt;
    }

    // TEXT is everything after the one blank that follows the name, kept exactly.
    std::optional<QString> nameAndText(QStringView rest) {
        if (auto error = name(rest)) {
            return error;
        }
        if (rest.size() < 2) {
            return QStringLiteral("%1 %2 needs a text after the name (\"\" is the empty text)")
                .arg(m_word, ShortenScriptText(m_line.control));
        }
        m_line.text = DecodeScriptText(rest.mid(1).toString());
        return std::nullopt;
    }

    std::optional<QString> nothingMore(QStringView rest) {
        rest = skipBlanks(rest);
        if (!rest.isEmpty()) {
            return QStringLiteral("unexpected %1 at the end of the line").arg(quoted(rest));
        }
        return std::nullopt;
    }

    std::optional<QString> trueOrFalse(QStringView rest) {
        const QStringView value = rest.trimmed();
        if (value == QLatin1String("true")) {
            m_line.state = true;
        } else if (value == QLatin1String("false")) {
            m_line.state = false;
        } else if (value.isEmpty()) {
            return QStringLiteral("%1 %2 needs true or false")
                .arg(m_word, ShortenScriptText(m_line.control));
        } else {
            return QStringLiteral("%1 is neither true nor false").arg(quoted(value));
        }
        return std::nullopt;
    }

    std::optional<QString> milliseconds(QStringView rest) {
        const QStringView value = rest.trimmed();
        if (value.isEmpty()) {
            return QStringLiteral("wait needs a number of milliseconds");
        }
        // Digits only: no sign, no unit, no hexadecimal.
        bool digits = value.size() <= 9;
        for (QChar c : value) {
            digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        }
        const int ms = digits ? value.toInt() : -1;
        if (ms < 0 || ms > kMaxScriptWaitMs) {
            return QStringLiteral("%1 is not a number of milliseconds from 0 to %2")
                .arg(quoted(value), QString::number(kMaxScriptWaitMs));
        }
        m_line.ms = ms;
        return std::nullopt;
    }

    std::optional<QString> answer(QStringView rest) {
        const QStringView value = rest.trimmed();
        if (value == QLatin1String("yes")) {
            m_line.answer = BoxAnswer::Yes;
        } else if (value == QLatin1String("no")) {
            m_line.answer = BoxAnswer::No;
        } else if (value == QLatin1String("ok")) {
            m_line.answer = BoxAnswer::Ok;
        } else if (value.isEmpty()) {
            return QStringLiteral("answer needs yes, no or ok");
        } else {
            return QStringLiteral("%1 is not an answer: yes, no or ok").arg(quoted(value));
        }
        return std::nullopt;
    }

    std::optional<QString> titleAndText(QStringView rest) {
        static const QString separator = QStringLiteral(" | ");
        const QStringView both = rest.isEmpty() ? rest : rest.mid(1);
        const qsizetype at = both.indexOf(separator);
        if (at < 0) {
            return QStringLiteral("expect-box needs TITLE | TEXT");
        }
        const QStringView title = both.left(at);
        const QStringView text = both.mid(at + separator.size());
        if (title.isEmpty() || text.isEmpty()) {
            return QStringLiteral("expect-box needs TITLE | TEXT (\"\" is the empty text)");
        }
        m_line.text = DecodeScriptText(title.toString());
        m_line.boxText = DecodeScriptText(text.toString());
        return std::nullopt;
    }

    const QString& m_source;
    QString m_word;
    ScriptLine m_line;
};

// Only tabs among the control characters belong in a script's line.
std::optional<QString> controlCharacter(const QString& line) {
    for (QChar c : line) {
        if ((c.unicode() < 0x20 && c != QLatin1Char('\t')) || c.unicode() == 0x7f) {
            return QStringLiteral("control character 0x%1 in the line")
                .arg(static_cast<int>(c.unicode()), 2, 16, QLatin1Char('0'));
        }
    }
    return std::nullopt;
}

} // namespace

ParsedLine ParseScriptLine(QByteArrayView bytes, int number) {
    // Measured as read, so that a reader can stop at the same length.
    if (bytes.size() > kMaxScriptLineBytes) {
        return {std::nullopt, ScriptError{number, QStringLiteral("the line is longer than %1 bytes")
                                                      .arg(kMaxScriptLineBytes)}};
    }
    if (number == 1 && bytes.startsWith("\xEF\xBB\xBF")) {
        bytes = bytes.sliced(3); // a byte order mark some editors write
    }
    if (bytes.endsWith('\r')) {
        bytes.chop(1); // written on Windows
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString line = decoder.decode(bytes);
    if (decoder.hasError()) {
        return {std::nullopt, ScriptError{number, QStringLiteral("the line is not UTF-8 text")}};
    }
    if (auto error = controlCharacter(line)) {
        return {std::nullopt, ScriptError{number, *error}};
    }
    const QStringView content = skipBlanks(line);
    if (content.isEmpty() || content.startsWith(QLatin1Char('#'))) {
        return {};
    }
    LineParser parser(number, line);
    if (auto error = parser.parse()) {
        return {std::nullopt, ScriptError{number, *error}};
    }
    return {parser.line(), std::nullopt};
}

ParsedScript ParseScript(const QByteArray& bytes) {
    ParsedScript result;
    const QList<QByteArray> raw = bytes.split('\n');
    for (qsizetype i = 0; i < raw.size(); ++i) {
        ParsedLine parsed = ParseScriptLine(raw[i], static_cast<int>(i + 1));
        if (parsed.error) {
            result.error = std::move(parsed.error);
            return result;
        }
        if (parsed.line) {
            result.lines.push_back(std::move(*parsed.line));
        }
    }
    return result;
}

ParsedScript LoadScript(const QString& path) {
    const bool standardInput = path == QLatin1String("-");
    const QString name = standardInput ? QStringLiteral("standard input") : path;
    QFile file(standardInput ? QString() : path);
    const bool opened =
        standardInput ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly);
    ParsedScript result;
    if (!opened) {
        result.error = ScriptError{0, ScriptReadError(name, file.errorString())};
        return result;
    }
    // Read piece by piece, and never more than one byte past the limit: a device that never
    // ends (/dev/zero) is refused as soon as it is over, not when the memory runs out.
    QByteArray bytes;
    qsizetype lineStart = 0; // where the line being read began
    while (bytes.size() <= kMaxScriptBytes) {
        const qsizetype before = bytes.size();
        bytes.resize(before +
                     std::min<qsizetype>(kMaxScriptLineBytes, kMaxScriptBytes + 1 - before));
        const qint64 got = file.read(bytes.data() + before, bytes.size() - before);
        bytes.resize(before + std::max<qint64>(got, 0));
        if (got < 0) {
            result.error = ScriptError{0, ScriptReadError(name, file.errorString())};
            return result;
        }
        if (got == 0) {
            return ParseScript(bytes);
        }
        if (const qsizetype end = bytes.lastIndexOf('\n'); end >= before) {
            lineStart = end + 1;
        }
        if (bytes.size() - lineStart > kMaxScriptLineBytes) {
            // The parser names the line, or an error before it.
            return ParseScript(bytes);
        }
    }
    result.error = ScriptError{0, ScriptTooLarge(name)};
    return result;
}

QString ScriptReadError(const QString& name, const QString& why) {
    return QStringLiteral("cannot read %1: %2").arg(name, why);
}

QString ScriptTooLarge(const QString& name) {
    return QStringLiteral("%1 is larger than %2 MiB: not a script")
        .arg(name, QString::number(kMaxScriptBytes / (1024 * 1024)));
}

QString DecodeScriptText(const QString& raw) {
    if (raw == QLatin1String("\"\"")) {
        return {};
    }
    QString text;
    text.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (c == QLatin1Char('\\') && i + 1 < raw.size()) {
            const QChar next = raw[i + 1];
            if (next == QLatin1Char('n')) {
                text += QLatin1Char('\n');
                ++i;
                continue;
            }
            if (next == QLatin1Char('r')) {
                text += QLatin1Char('\r');
                ++i;
                continue;
            }
            if (next == QLatin1Char('\\')) {
                text += QLatin1Char('\\');
                ++i;
                continue;
            }
        }
        text += c;
    }
    return text;
}

QString ShowLineBreaks(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    shown.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    return shown;
}

QString ShortenScriptText(QStringView text) {
    return ShowLineBreaks(QString::fromStdString(QuotedInput(text.toString().toStdString())));
}

void WriteScriptLine(std::ostream& out, const QString& line) {
    out << line.toStdString() << '\n';
    out.flush();
}

} // namespace zelcor
