// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcess>
#include <QTemporaryDir>

#include <cstdint>
#include <string>

namespace zelcor::sim {

// ser2net in front of a device, on a free port of the loopback interface: the serial device
// server a production line puts between the program and the wrench, for the tests and the
// benchmark to go through. It runs until it is killed or this object goes.
class DeviceServer {
public:
    enum class Mode { Raw, ComPortControl };

    DeviceServer() = default;
    ~DeviceServer();
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    // Starts it for `device` (a raw server holds the line at 1200,8,N,2) and returns once it
    // listens, or false with the reason after five seconds at most.
    bool start(const std::string& device, Mode mode, std::string& error);
    // What Com No and --port take to reach the device through it.
    std::string url() const;
    std::int64_t processId() const { return m_process.processId(); }
    // Ends it at once, as a server that crashes or loses power would: its connections close.
    void kill();

private:
    bool listening() const;

    QTemporaryDir m_dir;
    QProcess m_process;
    Mode m_mode = Mode::Raw;
    std::uint16_t m_port = 0;
};

} // namespace zelcor::sim
