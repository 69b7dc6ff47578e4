// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "serial/c5000ByteBuffer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zelcor {

class Clock;
class Timer;

// The receive side of the serial link: stores arriving bytes while a command waits, decides
// when its reply is complete (a byte count the command sets), runs the reply time-out and
// tells the waiting command that the wait is over and why. It parses nothing.
class ReceiveEngine {
public:
    static constexpr std::int16_t ReplyTimeOutMs = 3000;

    // `showState` puts the state's name where the user sees it ("IDLE0", "RECV", "RECV_EXIT").
    ReceiveEngine(Clock& clock, std::function<void(const std::string&)> showState);
    ~ReceiveEngine();

    // Bytes of one receive event, in arrival order: stored only while a cycle stores them.
    void receive(const std::vector<std::uint8_t>& bytes);

    // "Reset 232": back to idle, buffer emptied (a reply it held no longer counts as
    // complete), storing off. Nothing is sent, and a running time-out is left to fire into
    // the idle engine.
    void reset();

    // Starts a receive cycle expecting `replyLength` bytes: empties the buffer, goes through
    // idle to receiving and starts the time-out, before the command sends its first byte.
    void startCycle(std::int16_t replyLength);

    // The line is gone (port lost or closed): a running cycle ends at once as timed out, its
    // time-out stopped, since nothing more can arrive. An engine not receiving is left as it is.
    void lineLost();

    // Waits, keeping the program alive, until the cycle is over (complete, timed out, line
    // lost, or reset).
    void waitDone();

    // How the last cycle ended, and what it stored.
    bool timedOut() const { return RecvTimeOut; }
    bool complete() const { return RecvComplete; }
    bool storing() const { return RecvEnable; }
    std::int16_t storedBytes() const { return RecvBuf.GetDepth(); }
    // The stored byte at `position`; 0 outside what was stored.
    std::uint8_t byteAt(std::int16_t position) const;

    // The reply length the next arriving bytes are counted against. The console sets it by
    // hand; a cycle sets it at its start.
    std::int16_t replyLength() const { return RecvLen; }
    void setReplyLength(std::int16_t length) { RecvLen = length; }

    bool timeOutRunning() const;

private:
    static constexpr std::int16_t Idle = 0;
    static constexpr std::int16_t Receiving = 1;
    static constexpr std::int16_t ReceiveExit = 4;
    static constexpr std::int16_t NoneEntered = 255;

    // Runs the state machine until it rests.
    void RecvStep();
    void StartRecvTimer(std::int16_t Period);
    void StopRecvTimer();
    void timRecvTimeOut_Timer();

    c5000ByteBuffer RecvBuf;
    std::int16_t RecvState = Idle;
    std::int16_t RecvStateEntered = NoneEntered;
    bool RecvStart = false;
    bool RecvEnable = false;
    std::int16_t RecvLen = 0;
    bool RecvComplete = false;
    bool RecvTimeOut = false;
    bool RecvDone = false;

    Clock& m_clock;
    std::function<void(const std::string&)> m_showState;
    std::unique_ptr<Timer> m_timRecvTimeOut;
};

} // namespace zelcor
