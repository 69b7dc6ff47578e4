// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/ExchangeLog.h"

#include "common/TextConv.h"
#include "platform/Clock.h"

#include <QDateTime>

#include <cerrno>
#include <cstring>
#include <utility>

namespace zelcor {

namespace {

// A field as CSV wants it: quoted, with its quotes doubled, when it holds a separator.
std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + '"';
}

} // namespace

ExchangeLog::ExchangeLog(const Clock& clock, const std::string& path, bool append,
                         const std::string& startedAt)
    : m_clock(clock), m_path(path),
      m_file(std::fopen(path.c_str(), append ? "a" : "w"), &std::fclose) {
    if (!m_file) {
        fail(std::strerror(errno));
        return;
    }
    const bool fresh = std::ftell(m_file.get()) == 0;
    if (fresh && (std::fputs("ms,direction,byte,marker,result\n", m_file.get()) < 0 ||
                  std::fflush(m_file.get()) != 0)) {
        fail(std::strerror(errno));
        return;
    }
    // The session's line is its time zero, however long opening the file took.
    m_openedAtMs = m_clock.nowMs();
    writeAt(0, {}, {}, "session start " + startedAt, {});
}

std::string ExchangeLog::WallClockNow() {
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs).toStdString();
}

ExchangeLog::~ExchangeLog() = default;

void ExchangeLog::setFailureHandler(std::function<void(const std::string&)> handler) {
    m_onFailure = std::move(handler);
    if (failed() && m_onFailure) {
        m_onFailure(m_failure);
    }
}

void ExchangeLog::fail(const std::string& reason) {
    m_failure = m_path + ": " + reason;
    m_file.reset();
    if (m_onFailure) {
        m_onFailure(m_failure);
    }
}

void ExchangeLog::write(const std::string& direction, const std::string& byte,
                        const std::string& marker, const std::string& result) {
    writeAt(m_clock.nowMs() - m_openedAtMs, direction, byte, marker, result);
}

void ExchangeLog::writeAt(std::int64_t ms, const std::string& direction, const std::string& byte,
                          const std::string& marker, const std::string& result) {
    if (!m_file) {
        return;
    }
    const std::string line = std::to_string(ms) + ',' + direction + ',' + byte + ',' +
                             csvField(marker) + ',' + result + '\n';
    if (std::fputs(line.c_str(), m_file.get()) < 0 || std::fflush(m_file.get()) != 0) {
        fail(std::strerror(errno));
    }
}

void ExchangeLog::portOpened(const std::string& device, const SerialSettings& settings) {
    m_openedAtMs = m_clock.nowMs();
    write({}, {},
          "port open " + device + ' ' + std::to_string(settings.baudRate) + ',' + settings.parity +
              ',' + std::to_string(settings.dataBits) + ',' + std::to_string(settings.stopBits),
          {});
}

void ExchangeLog::portClosed(const std::string& lostBecause) {
    write({}, {}, lostBecause.empty() ? "port closed" : "port lost: " + lostBecause, {});
}

void ExchangeLog::sent(std::uint8_t byte) {
    const bool first = m_frameStarts;
    m_frameStarts = false;
    std::string marker = std::exchange(m_job, {});
    if (first) {
        marker += marker.empty() ? "frame start" : "; frame start";
    }
    write("TX", "0x" + ByteToHexStr(byte), marker, {});
}

void ExchangeLog::received(const std::vector<std::uint8_t>& bytes) {
    for (const std::uint8_t byte : bytes) {
        write("RX", "0x" + ByteToHexStr(byte), {}, {});
    }
}

void ExchangeLog::exchangeEnded(std::uint8_t result) {
    // A frame that never got its first byte out starts nothing.
    m_frameStarts = false;
    write({}, {}, "exchange end", std::to_string(result));
}

bool LoggedPort::writeByte(std::uint8_t byte) {
    const bool written = m_port.writeByte(byte);
    if (written && m_log != nullptr) {
        m_log->sent(byte);
    }
    return written;
}

} // namespace zelcor
