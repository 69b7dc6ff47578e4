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

void CommandProtocol::MyDelay(std::int16_t Period) {
    m_clock.delay(Period);
}

bool CommandProtocol::sendPaced(std::uint8_t byte, const std::string& echo, int pauseMs) {
    if (!m_port.writeByte(byte)) {
        return false;
    }
    m_appendLocalHex(echo);
    // A port that goes away during the pause ends the request at once.
    m_clock.delay(pauseMs + m_port.pauseMarginMs(), [this] { return !m_port.isOpen(); });
    return m_port.isOpen();
}

bool CommandProtocol::SendReadCmd(std::uint8_t InAddr1, std::uint8_t InAddr0) {
    // The echo shows "&H10" for the command byte, not the 0xC8 on the wire.
    return sendPaced(ReadCommand, "&H10 ", ReadPauseMs) &&
           sendPaced(InAddr1, "&H" + ByteToHexStr(InAddr1) + " ", ReadPauseMs) &&
           sendPaced(InAddr0, "&H" + ByteToHexStr(InAddr0) + " \r\n", ReadPauseMs);
}

bool CommandProtocol::SendWriteCmd(std::uint8_t InAddr1, std::uint8_t InAddr0,
                                   std::uint8_t InData) {
    // Likewise "&H01" stands for the 0xE8 on the wire.
    return sendPaced(WriteCommand, "&H01 ", WritePauseMs) &&
           sendPaced(InAddr1, "&H" + ByteToHexStr(InAddr1) + " ", WritePauseMs) &&
           sendPaced(InAddr0, "&H" + ByteToHexStr(InAddr0) + " ", WritePauseMs) &&
           sendPaced(InData, "&H" + ByteToHexStr(InData) + "\r\n", WritePauseMs);
}

CommResult CommandProtocol::waitForReply() {
    m_engine.waitDone();
    if (m_engine.timedOut()) {
        return CommResult::TimeOut;
    }
    if (!m_engine.complete()) {
        return CommResult::Incomplete;
    }
    return CommResult::Success;
}

std::uint8_t CommandProtocol::at(std::int16_t position) const {
    return m_engine.byteAt(position);
}

ReadReply CommandProtocol::read(std::uint8_t InAddr1, std::uint8_t InAddr0) {
    ReadReply reply;
    if (!m_port.isOpen()) {
        reply.result = CommResult::TimeOut;
        return reply;
    }
    const std::int16_t length = GetReplyLength(InAddr1, InAddr0);
    m_engine.startCycle(length);
    m_appendLocalHex("Read-------------\r\n");
    if (!SendReadCmd(InAddr1, InAddr0)) {
        m_engine.lineLost();
    }

    reply.result = waitForReply();
    if (reply.result != CommResult::Success) {
        return reply;
    }
    // Every check runs, in ascending positions; any mismatch makes it a syntax error.
    bool matches = at(0) == InAddr1 && at(1) == InAddr0;
    if (length == 2) {
        // The command replies carry no data: their outcome is the result only.
        reply.result = matches ? CommResult::Success : CommResult::SyntaxError;
        return reply;
    }
    matches = matches && at(2) == Marker && at(4) == at(3);
    if (length == 11) {
        matches =
            matches && at(5) == Marker && at(7) == at(6) && at(8) == Marker && at(10) == at(9);
    }
    if (!matches) {
        reply.result = CommResult::SyntaxError;
        return reply;
    }
    reply.hasData = true;
    reply.data[0] = at(3);
    if (length == 11) {
        reply.data[1] = at(6);
        reply.data[2] = at(9);
    }
    return reply;
}

CommResult CommandProtocol::write(std::uint8_t InAddr1, std::uint8_t InAddr0, std::uint8_t InData) {
    if (!m_port.isOpen()) {
        return CommResult::TimeOut;
    }
    m_engine.startCycle(3);
    m_appendLocalHex("Write-----------\r\n");
    if (!SendWriteCmd(InAddr1, InAddr0, InData)) {
        m_engine.lineLost();
    }

    if (const CommResult failure = waitForReply(); failure != CommResult::Success) {
        return failure;
    }
    const bool matches = at(0) == InAddr1 && at(1) == InAddr0 && at(2) == InData;
    return matches ? CommResult::Success : CommResult::SyntaxError;
}

} // namespace zelcor
