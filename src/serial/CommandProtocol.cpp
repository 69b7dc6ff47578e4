// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/CommandProtocol.h"

#include "common/TextConv.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"
#include "serial/ReceiveEngine.h"

namespace zelcor {

CommandProtocol::CommandProtocol(Clock& clock, SerialPort& port, ReceiveEngine& engine,
                                 std::function<void(const std::string&)> appendLocalHex)
    : m_clock(clock), m_port(port), m_engine(engine), m_appendLocalHex(std::move(appendLocalHex)) {}

std::int16_t CommandProtocol::GetReplyLength(std::uint8_t InAddr1, std::uint8_t InAddr0) {
    if (InAddr1 != 0) {
        return 5;
    }
    if (InAddr0 == 0 || InAddr0 == 1) {
        return 2;
    }
    return InAddr0 == 2 ? 11 : 5;
}

void CommandProtocol::SendOneByte(std::uint8_t InpB) {
    // A closed port drops the byte; the waiting exchange then ends with its time-out.
    m_port.writeByte(InpB);
}

void CommandProtocol::MyDelay(std::int16_t Period) {
    m_clock.delay(Period);
}

void CommandProtocol::sendPaced(std::uint8_t byte, const std::string& echo, int pauseMs) {
    SendOneByte(byte);
    m_appendLocalHex(echo);
    MyDelay(static_cast<std::int16_t>(pauseMs));
}

void CommandProtocol::SendReadCmd(std::uint8_t InAddr1, std::uint8_t InAddr0) {
    // The echo shows "&H10" for the command byte, not the 0xC8 on the wire.
    sendPaced(ReadCommand, "&H10 ", ReadPauseMs);
    sendPaced(InAddr1, "&H" + ByteToHexStr(InAddr1) + " ", ReadPauseMs);
    sendPaced(InAddr0, "&H" + ByteToHexStr(InAddr0) + " \r\n", ReadPauseMs);
}

void CommandProtocol::SendWriteCmd(std::uint8_t InAddr1, std::uint8_t InAddr0,
                                   std::uint8_t InData) {
    // Likewise "&H01" stands for the 0xE8 on the wire.
    sendPaced(WriteCommand, "&H01 ", WritePauseMs);
    sendPaced(InAddr1, "&H" + ByteToHexStr(InAddr1) + " ", WritePauseMs);
    sendPaced(InAddr0, "&H" + ByteToHexStr(InAddr0) + " ", WritePauseMs);
    sendPaced(InData, "&H" + ByteToHexStr(InData) + "\r\n", WritePauseMs);
}

std::uint8_t CommandProtocol::waitForReply() {
    m_engine.waitDone();
    if (m_engine.RecvTimeOut) {
        return CommResult::TimeOut;
    }
    if (!m_engine.RecvComplete) {
        return CommResult::Incomplete;
    }
    return CommResult::Success;
}

std::uint8_t CommandProtocol::at(std::int16_t position) const {
    std::uint8_t value = 0;
    m_engine.RecvBuf.ReadData(position, value);
    return value;
}

void CommandProtocol::expect(std::int16_t position, std::uint8_t expected,
                             std::uint8_t& OutResult) const {
    if (at(position) != expected) {
        OutResult = CommResult::SyntaxError;
    }
}

bool CommandProtocol::SendReadCmd_Chk(std::uint8_t InAddr1, std::uint8_t InAddr0,
                                      std::uint8_t& OutResult, std::uint8_t& OutData0,
                                      std::uint8_t& OutData1, std::uint8_t& OutData2) {
    const std::int16_t length = GetReplyLength(InAddr1, InAddr0);
    m_engine.startCycle(length);
    m_appendLocalHex("Read-------------\r\n");
    SendReadCmd(InAddr1, InAddr0);

    if (const std::uint8_t failure = waitForReply(); failure != CommResult::Success) {
        OutResult = failure;
        return false;
    }

    // Every check runs, in ascending positions; any mismatch makes it a syntax error.
    expect(0, InAddr1, OutResult);
    expect(1, InAddr0, OutResult);
    if (length == 2) {
        return false; // the command replies carry no data: their outcome is OutResult only
    }
    expect(2, Marker, OutResult);
    expect(4, at(3), OutResult);
    if (length == 11) {
        expect(5, Marker, OutResult);
        expect(7, at(6), OutResult);
        expect(8, Marker, OutResult);
        expect(10, at(9), OutResult);
    }
    if (OutResult != CommResult::Success) {
        return false;
    }
    if (length == 11) {
        OutData0 = at(3);
        OutData1 = at(6);
        OutData2 = at(9);
    } else {
        OutData0 = at(3);
        OutData1 = 0;
    }
    return true;
}

bool CommandProtocol::SendWriteCmd_Chk(std::uint8_t InAddr1, std::uint8_t InAddr0,
                                       std::uint8_t InData, std::uint8_t& OutResult) {
    m_engine.startCycle(3);
    m_appendLocalHex("Write-----------\r\n");
    SendWriteCmd(InAddr1, InAddr0, InData);

    if (const std::uint8_t failure = waitForReply(); failure != CommResult::Success) {
        OutResult = failure;
        return false;
    }
    expect(0, InAddr1, OutResult);
    expect(1, InAddr0, OutResult);
    expect(2, InData, OutResult);
    return OutResult == CommResult::Success;
}

} // namespace zelcor
