// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SerialPort.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zelcor {

// The bytes of a reference tester gathered into lines. A line ends at CR, LF or CR LF; an empty
// line is no line. A line longer than kMaxLine characters is no reading of any tester: it is
// cut off, and what follows of it up to its end is dropped with it, so a talkative device never
// makes the buffer grow.
class TesterLines {
public:
    static constexpr std::size_t kMaxLine = 200;
    // Takes the bytes that arrived; calls `line` for every line they end.
    void take(const std::vector<std::uint8_t>& bytes,
              const std::function<void(const std::string&)>& line);
    void clear();

private:
    std::string m_line;
    bool m_afterCr = false;
    bool m_overlong = false;
};

// The reference tester on a serial port of its own: it only talks, each peak as a line of
// text at the end of a pull. The program hands in the port object; the link opens it with the
// tester's own settings (9600 8N1 for most testers) and tells every line it sends.
class TesterLink {
public:
    TesterLink() = default;
    TesterLink(const TesterLink&) = delete;
    TesterLink& operator=(const TesterLink&) = delete;
    ~TesterLink();

    // The port the tester is on; none takes the tester away (closing the port it was on).
    void setPort(SerialPort* port);
    bool hasPort() const { return m_port != nullptr; }
    // Opens `portName`; false with the reason in `error` (no port handed in, or the system's).
    bool open(const std::string& portName, const SerialSettings& settings, std::string& error);
    void close();
    bool isOpen() const { return m_port != nullptr && m_port->isOpen(); }
    const std::string& portName() const { return m_portName; }

    // Every line the tester sends, a reading or not.
    void setLineHandler(std::function<void(const std::string&)> handler) {
        m_onLine = std::move(handler);
    }
    // The port went away (unplugged, the far end gone); it is closed already.
    void setLostHandler(std::function<void(const std::string&)> handler) {
        m_onLost = std::move(handler);
    }

private:
    SerialPort* m_port = nullptr;
    std::string m_portName;
    TesterLines m_lines;
    std::function<void(const std::string&)> m_onLine;
    std::function<void(const std::string&)> m_onLost;
};

// The tester's usual line: 9600 baud, 8 data bits, no parity, 1 stop bit.
SerialSettings DefaultTesterSettings();

} // namespace zelcor
