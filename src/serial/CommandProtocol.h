// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zelcor {

class Clock;
class ReceiveEngine;
class SerialPort;

// Result codes of one exchange.
namespace CommResult {
constexpr std::uint8_t Success = 0;
constexpr std::uint8_t TimeOut = 1;
constexpr std::uint8_t Incomplete = 2;
constexpr std::uint8_t SyntaxError = 4;
// Not sent: another exchange was still on the wire. The link reports it in a box of its own.
constexpr std::uint8_t Busy = 8;
} // namespace CommResult

// The two requests the instrument understands, read and write one byte at a two-byte
// address, with their pacing, their transmit echo and the checks of their replies. Every
// exchange blocks its caller (the program stays alive meanwhile) until the reply is complete
// or the time-out has passed.
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

    void SendOneByte(std::uint8_t InpB);
    void SendReadCmd(std::uint8_t InAddr1, std::uint8_t InAddr0);
    void SendWriteCmd(std::uint8_t InAddr1, std::uint8_t InAddr0, std::uint8_t InData);

    // One read exchange. OutResult must be 0 on entry; only a failure code is ever written to
    // it. True when a data reply passed every check (its bytes are then in OutData0..2); the
    // two-byte command replies always give False, a matching echo leaving OutResult at 0.
    bool SendReadCmd_Chk(std::uint8_t InAddr1, std::uint8_t InAddr0, std::uint8_t& OutResult,
                         std::uint8_t& OutData0, std::uint8_t& OutData1, std::uint8_t& OutData2);
    // One write exchange; True when the echo matched.
    bool SendWriteCmd_Chk(std::uint8_t InAddr1, std::uint8_t InAddr0, std::uint8_t InData,
                          std::uint8_t& OutResult);

    // Waits at least Period ms, keeping the program alive.
    void MyDelay(std::int16_t Period);

private:
    // One request byte: onto the wire, into the transmit echo, then its pause.
    void sendPaced(std::uint8_t byte, const std::string& echo, int pauseMs);
    // The code for a wait that ended without a complete reply, or Success.
    std::uint8_t waitForReply();
    void expect(std::int16_t position, std::uint8_t expected, std::uint8_t& OutResult) const;
    std::uint8_t at(std::int16_t position) const;

    Clock& m_clock;
    SerialPort& m_port;
    ReceiveEngine& m_engine;
    std::function<void(const std::string&)> m_appendLocalHex;
};

} // namespace zelcor
