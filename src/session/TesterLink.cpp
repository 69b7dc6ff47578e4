// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/TesterLink.h"

namespace zelcor {

void TesterLines::take(const std::vector<std::uint8_t>& bytes,
                       const std::function<void(const std::string&)>& line) {
    for (const std::uint8_t byte : bytes) {
        const bool cr = byte == '\r';
        if (cr || byte == '\n') {
            // The LF of a CR LF ends nothing more.
            const bool endsLine = cr || !m_afterCr;
            m_afterCr = cr;
            if (endsLine) {
                const bool whole = !m_overlong && !m_line.empty();
                m_overlong = false;
                std::string text;
                text.swap(m_line);
                if (whole && line) {
                    line(text);
                }
            }
            continue;
        }
        m_afterCr = false;
        if (m_overlong) {
            continue;
        }
        if (m_line.size() >= kMaxLine) {
            m_overlong = true;
            m_line.clear();
            continue;
        }
        m_line.push_back(static_cast<char>(byte));
    }
}

void TesterLines::clear() {
    m_line.clear();
    m_afterCr = false;
    m_overlong = false;
}

TesterLink::~TesterLink() {
    setPort(nullptr);
}

void TesterLink::setPort(SerialPort* port) {
    if (port == m_port) {
        return;
    }
    if (m_port != nullptr) {
        m_port->close();
        m_port->setReceiveHandler({});
        m_port->setErrorHandler({});
    }
    m_port = port;
    m_lines.clear();
    if (m_port == nullptr) {
        return;
    }
    m_port->setReceiveHandler([this](const std::vector<std::uint8_t>& bytes) {
        m_lines.take(bytes, [this](const std::string& line) {
            if (m_onLine) {
                m_onLine(line);
            }
        });
    });
    m_port->setErrorHandler([this](const std::string& message) {
        // A port that reports an error has no tester behind it any more.
        if (m_port != nullptr && m_port->isOpen()) {
            m_port->close();
        }
        m_lines.clear();
        if (m_onLost) {
            m_onLost(message);
        }
    });
}

bool TesterLink::open(const std::string& portName, const SerialSettings& settings,
                      std::string& error) {
    if (m_port == nullptr) {
        error = "this program has no port for a tester";
        return false;
    }
    close();
    m_lines.clear();
    if (!m_port->open(portName, settings, error)) {
        return false;
    }
    m_portName = portName;
    return true;
}

void TesterLink::close() {
    if (m_port != nullptr) {
        m_port->close();
    }
    m_lines.clear();
}

SerialSettings DefaultTesterSettings() {
    return {9600, 'N', 8, 1};
}

} // namespace zelcor
