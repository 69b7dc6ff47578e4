// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SerialPort.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zelcor {

class Clock;

// The log of a session's traffic, one CSV line per event as it happens, each flushed before
// the call returns:
//
//   ms,direction,byte,marker,result
//   0,,,session start 2026-12-07T09:30:00.125+01:00,
//   0,,,"port open /dev/ttyUSB0 1200,N,8,2",
//   0,TX,0xC8,Get; frame start,
//   ...
//   93,RX,0xAA,,
//   140,,,exchange end,0
//
// `ms` counts from the moment the port was opened (before that, from the session's start,
// whose wall-clock time and zone the first line gives). A job's name stands at its first
// byte. Bytes carry "0x" so that a spreadsheet
// keeps them as written instead of reading "10" as ten. A log that cannot be written stops
// at its first failure, which is told to the failure handler once; the session goes on.
class ExchangeLog {
public:
    // Writes to `path`, replacing what was there, or after it when `append` (the header only
    // when the file is new or empty). `startedAt` is the session's wall-clock start.
    ExchangeLog(const Clock& clock, const std::string& path, bool append = false,
                const std::string& startedAt = WallClockNow());
    // Now, local time with its zone, ISO 8601: "2026-12-07T09:30:00.125+01:00".
    static std::string WallClockNow();
    ~ExchangeLog();
    ExchangeLog(const ExchangeLog&) = delete;
    ExchangeLog& operator=(const ExchangeLog&) = delete;

    void portOpened(const std::string& device, const SerialSettings& settings);
    // Closed by the program, or lost for the reason given.
    void portClosed(const std::string& lostBecause = {});
    // The next byte sent is the first of a request frame.
    void frameStarts() { m_frameStarts = true; }
    // A job begins: its name goes with the next byte sent.
    void jobStarts(const std::string& name) { m_job = name; }
    void sent(std::uint8_t byte);
    void received(const std::vector<std::uint8_t>& bytes);
    void exchangeEnded(std::uint8_t result);

    // Called once with the reason when the log fails; at once if it has failed already.
    void setFailureHandler(std::function<void(const std::string& reason)> handler);

private:
    bool failed() const { return !m_failure.empty(); }
    void write(const std::string& direction, const std::string& byte, const std::string& marker,
               const std::string& result);
    void writeAt(std::int64_t ms, const std::string& direction, const std::string& byte,
                 const std::string& marker, const std::string& result);
    void fail(const std::string& reason);

    const Clock& m_clock;
    std::string m_path;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> m_file;
    std::int64_t m_openedAtMs = 0;
    bool m_frameStarts = false;
    std::string m_job;
    std::string m_failure;
    std::function<void(const std::string&)> m_onFailure;
};

// The port as the link writes to it: each byte the driver takes is logged as sent. Only the
// writing side passes through here; arriving bytes reach the link from the port itself.
class LoggedPort final : public SerialPort {
public:
    explicit LoggedPort(SerialPort& port) : m_port(port) {}

    void setLog(ExchangeLog* log) { m_log = log; }

    bool open(const std::string& portName, const SerialSettings& settings,
              std::string& error) override {
        return m_port.open(portName, settings, error);
    }
    void close() override { m_port.close(); }
    bool isOpen() const override { return m_port.isOpen(); }
    bool writeByte(std::uint8_t byte) override;
    int pauseMarginMs() const override { return m_port.pauseMarginMs(); }

private:
    SerialPort& m_port;
    ExchangeLog* m_log = nullptr;
};

} // namespace zelcor
