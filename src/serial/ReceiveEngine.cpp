// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/ReceiveEngine.h"

#include "platform/Clock.h"

namespace zelcor {

ReceiveEngine::ReceiveEngine(Clock& clock, std::function<void(const std::string&)> showState)
    : m_clock(clock), m_showState(std::move(showState)),
      m_timRecvTimeOut(clock.createTimer([this] { timRecvTimeOut_Timer(); })) {}

ReceiveEngine::~ReceiveEngine() = default;

void ReceiveEngine::RecvStep() {
    // Each pass handles one state; chained transitions loop instead of recursing.
    for (;;) {
        switch (RecvState) {
        case Idle:
            if (RecvStateEntered != Idle) {
                RecvBuf.clear();
                m_showState("IDLE0");
                RecvStateEntered = Idle;
                RecvDone = true;
            }
            if (!RecvStart) {
                return;
            }
            RecvState = Receiving;
            continue;
        case Receiving:
            if (RecvStateEntered != Receiving) {
                m_showState("RECV");
                RecvDone = false;
                RecvStart = false;
                RecvTimeOut = false;
                RecvComplete = false;
                RecvEnable = true;
                StartRecvTimer(ReplyTimeOutMs);
                RecvStateEntered = Receiving;
            }
            if (!RecvComplete && !RecvTimeOut) {
                return;
            }
            RecvState = ReceiveExit;
            continue;
        case ReceiveExit:
            if (RecvStateEntered != ReceiveExit) {
                m_showState("RECV_EXIT");
                RecvDone = true;
                RecvStateEntered = ReceiveExit;
            }
            return;
        default:
            RecvState = Idle;
            RecvStateEntered = NoneEntered;
            continue;
        }
    }
}

void ReceiveEngine::StartRecvTimer(std::int16_t Period) {
    RecvTimeOut = false;
    m_timRecvTimeOut->start(Period);
}

void ReceiveEngine::StopRecvTimer() {
    m_timRecvTimeOut->stop();
}

bool ReceiveEngine::timeOutRunning() const {
    return m_timRecvTimeOut->isActive();
}

void ReceiveEngine::timRecvTimeOut_Timer() {
    RecvTimeOut = true;
    StopRecvTimer();
    RecvStep();
}

void ReceiveEngine::lineLost() {
    if (RecvState != Receiving) {
        return;
    }
    StopRecvTimer();
    RecvTimeOut = true;
    RecvStep();
}

void ReceiveEngine::receive(const std::vector<std::uint8_t>& bytes) {
    if (!RecvEnable || bytes.empty()) {
        return;
    }
    for (const std::uint8_t b : bytes) {
        RecvBuf.PushData(b); // a full buffer drops the surplus; the checks need only RecvLen
    }
    RecvComplete = false;
    if (RecvBuf.GetDepth() < RecvLen) {
        RecvStep();
    } else {
        StopRecvTimer();
        RecvComplete = true;
        RecvStep();
    }
}

void ReceiveEngine::reset() {
    RecvBuf.clear();
    // A reply completed before the reset went with the buffer: the command still to check
    // it must find it incomplete, not read the emptied buffer as its bytes.
    RecvComplete = false;
    RecvStart = false;
    RecvEnable = false;
    RecvState = NoneEntered;
    RecvStep();
}

void ReceiveEngine::startCycle(std::int16_t replyLength) {
    RecvState = Idle;
    RecvStateEntered = NoneEntered;
    RecvStart = true;
    RecvLen = replyLength;
    RecvStep();
}

std::uint8_t ReceiveEngine::byteAt(std::int16_t position) const {
    std::uint8_t value = 0;
    RecvBuf.ReadData(position, value);
    return value;
}

void ReceiveEngine::waitDone() {
    m_clock.waitUntil([this] { return RecvDone; });
}

} // namespace zelcor
