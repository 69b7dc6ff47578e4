// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace zelcor {

class Clock;
class ReceiveEngine;
class SerialPort;

// How one exchange ended. The numbers are the codes the exchange log writes and the
// technician has always been shown.
enum class CommResult : std::uint8_t {
    Success = 0,
    TimeOut = 1,
    Incomplete = 2,
    SyntaxError = 4,
    // Not sent: another exchange was still on the wire. The link reports it in a box of its own.
    Busy = 8,
};

constexpr int CommResultCode(CommResult result) {
    return static_cast<int>(result);
}

// The outcome of one read exchange.
struct ReadReply {
    CommResult result = CommResult::Success;
    // A data reply passed every check: its bytes are in `data` (data[1] and data[2] only for
    // the 11-byte reply of 00 02). The two-byte command replies of 00 00 and 00 01 carry no
    // data: they succeed with a Success result and no data.
    bool hasData = false;
    std::array<std::uint8_t, 3> data{};
};

// The two requests the instrument understands, read and write one byte at a two-byte
// address, with their pacing, their transmit echo and the checks of their replies. Every
// exchange blocks its caller (the program stays alive meanwhile) until the reply is complete
// or the time-out has passed.
//
// Without a port there is no reply to wait for: an exchange asked for on a closed port, one
// whose request byte the driver does not take and one whose port closes under it (lost) end
// at once with TimeOut, as a silent line would; nothing more is sent and no pause waited.
class CommandProtocol {
public:
    static constexpr std::uint8_t ReadCommand = 0xC8;
    static constexpr std::uint8_t WriteCommand = 0xE8;
    static constexpr std::uint8_t Marker = 0xAA;
    static constexpr int ReadPauseMs = 20;
    static constexpr int WritePauseMs = 50;

    // `appendLocalHex` adds text to the transmit echo.
    CommandProtocol(Clock& clock, SerialPort& port, ReceiveEngine& engine,
                    std::function<void(const std::string&)> appendLocalHex);

    // Expected reply length of a read: 2 for 00 00 and 00 01, 11 for 00 02, else 5.
    static std::int16_t GetReplyLength(std::uint8_t InAddr1, std::uint8_t InAddr0);

    // One read exchange.
    ReadReply read(std::uint8_t InAddr1, std::uint8_t InAddr0);
    // One write exchange; Success when the echo matched.
    CommResult write(std::uint8_t InAddr1, std::uint8_t InAddr0, std::uint8_t InData);

    // Waits at least Period ms, keeping the program alive.
    void MyDelay(std::int16_t Period);

private:
    // False as soon as a byte could not be sent; the rest of the request is not.
    bool SendReadCmd(std::uint8_t InAddr1, std::uint8_t InAddr0);
    bool SendWriteCmd(std::uint8_t InAddr1, std::uint8_t InAddr0, std::uint8_t InData);
    // One request byte: onto the wire, into the transmit echo, then its pause, which ends
    // early if the port closes. False when the byte was not taken or the port has gone.
    bool sendPaced(std::uint8_t byte, const std::string& echo, int pauseMs);
    // The code for a wait that ended without a complete reply, or Success.
    CommResult waitForReply();
    std::uint8_t at(std::int16_t position) const;

    Clock& m_clock;
    SerialPort& m_port;
    ReceiveEngine& m_engine;
    std::function<void(const std::string&)> m_appendLocalHex;
};

} // namespace zelcor
