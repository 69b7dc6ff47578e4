// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/ScriptReader.h"

#include <QSocketNotifier>

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace zelcor {

ScriptReader::ScriptReader(int fd, bool owned, QString name, Handlers handlers)
    : m_fd(fd), m_owned(owned), m_name(std::move(name)), m_handlers(std::move(handlers)),
      m_notifier(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read)) {
    m_notifier->setEnabled(false);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { readSome(); });
}

ScriptReader::~ScriptReader() {
    m_notifier->setEnabled(false);
    if (m_owned) {
        ::close(m_fd);
    }
}

void ScriptReader::start() {
    m_notifier->setEnabled(!m_ended);
}

void ScriptReader::readSome() {
    if (m_ended) {
        return;
    }
    // One read each time the descriptor has something, so that it returns at once even where
    // the descriptor blocks (standard input is read as it was handed over). Never more than
    // one byte past the limit, as LoadScript.
    const qsizetype before = m_pending.size();
    const qsizetype room = std::min<qsizetype>(kMaxScriptLineBytes, kMaxScriptBytes + 1 - m_total);
    m_pending.resize(before + room);
    const ssize_t got = ::read(m_fd, m_pending.data() + before, static_cast<size_t>(room));
    const int error = errno;
    m_pending.resize(before + std::max<qsizetype>(got, 0));
    if (got < 0) {
        if (error != EAGAIN && error != EWOULDBLOCK && error != EINTR) {
            end(ScriptError{0, ScriptReadError(m_name, qt_error_string(error))});
        }
        return; // otherwise the notifier comes again while there is something to read
    }
    if (got == 0) {
        // The writer closed the input: what follows the last line feed is the last line.
        if (take(m_pending)) {
            end(std::nullopt);
        }
        return;
    }
    m_total += got;
    if (!takeLines()) {
        return;
    }
    if (m_pending.size() > kMaxScriptLineBytes) {
        take(m_pending); // the parser names the line
    } else if (m_total > kMaxScriptBytes) {
        end(ScriptError{0, ScriptTooLarge(m_name)});
    }
}

bool ScriptReader::takeLines() {
    qsizetype start = 0;
    for (qsizetype feed = m_pending.indexOf('\n'); feed >= 0;
         feed = m_pending.indexOf('\n', start)) {
        if (!take(QByteArrayView(m_pending).sliced(start, feed - start))) {
            return false;
        }
        start = feed + 1;
    }
    m_pending.remove(0, start);
    return true;
}

bool ScriptReader::take(QByteArrayView bytes) {
    const int number = m_lineNumber++;
    ParsedLine parsed = ParseScriptLine(bytes, number);
    if (parsed.line && !parsed.error) {
        if (auto reason = m_handlers.line(std::move(*parsed.line))) {
            parsed.error = ScriptError{number, *reason};
        }
    }
    if (parsed.error) {
        end(std::move(parsed.error));
        return false;
    }
    return true;
}

void ScriptReader::end(std::optional<ScriptError> error) {
    // After the end the descriptor stays readable (a closed pipe always is): not watched.
    m_ended = true;
    m_notifier->setEnabled(false);
    m_pending = {};
    if (m_handlers.end) {
        m_handlers.end(std::move(error));
    }
}

} // namespace zelcor
