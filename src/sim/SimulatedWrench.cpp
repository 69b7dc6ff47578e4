// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimulatedWrench.h"

#include "platform/Clock.h"
#include "sim/EventQueue.h"
#include "wrench/Verification.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace zelcor::sim {

namespace {

constexpr std::uint8_t kReadCommand = 0xC8;
constexpr std::uint8_t kWriteCommand = 0xE8;
constexpr std::uint8_t kMarker = 0xAA;

constexpr std::uint8_t kSerialLinkReset = 0x00;
constexpr std::uint8_t kSerialLinkLeave = 0x01;
constexpr std::uint8_t kCalibration = 0x02;

// The maximum the wrench keeps of its last pull, in counts of its last digit.
constexpr std::uint8_t kMaxLow = 0x23;
constexpr std::uint8_t kMaxHigh = 0x24;

// One pull on the wrench while it is in calibration mode: from rest up to the 100 % reading
// and back, clockwise and counter-clockwise in turn.
constexpr std::int64_t kPullPeriodMs = 8000;
constexpr std::uint8_t kStatusCounterClockwise = 0x04;
constexpr std::uint16_t kFallbackFullScale = 2000;

bool isCommandAddress(std::uint8_t addr1, std::uint8_t addr0) {
    return addr1 == 0 && addr0 <= kCalibration;
}

} // namespace

SimulatedWrench::SimulatedWrench(Clock& clock, WrenchOptions options)
    : m_clock(clock), m_options(options), m_memory(0x10000, 0xFF) {
    if (m_options.baudRate <= 0) {
        m_options.baudRate = 1200;
    }
    m_options.turnaroundMs = std::max(m_options.turnaroundMs, 0);
    m_options.frameGapMs = std::max(m_options.frameGapMs, 0);
    const auto params = factoryParameters();
    std::copy(params.begin(), params.end(), m_memory.begin());
    m_events = std::make_unique<EventQueue>(m_clock, m_options.baudRate);
}

SimulatedWrench::~SimulatedWrench() = default;

std::array<std::uint8_t, SimulatedWrench::kParameterBytes> SimulatedWrench::factoryParameters() {
    std::array<std::uint8_t, kParameterBytes> p{};
    // 00..0B: the three command addresses and reserved bytes.
    p[0x0C] = 0x20; // factory code "2017"
    p[0x0D] = 0x17;
    p[0x0E] = 0x05; // software version 01.05
    p[0x0F] = 0x01;
    // 10..2A: the WT-07 factory preset.
    const std::uint8_t wt07[] = {
        0x02,                   // gStatusEp
        0x53, 0x57, 0x53, 0x57, // gK_CWI, gK_CCWI
        0x01, 0x01,             // gPTStatus, gUnitStatus
        0xD0, 0x07,             // a_AdTorq100 = 2000
        0x98, 0x08,             // a_AdTorqABS = 2200
        0x33, 0xF3,             // m_ratio
        0xD0, 0x07,             // ms_TqHLimit = 2000
        0x64, 0x00,             // ms_TqLLimit = 100
        0x00, 0x32,             // mr_RecLen, mr_RecLenMax = 50
        0x00, 0x00,             // a_TkHisMax
        0x00, 0x00, 0x00, 0x00, // gK_CWG, gK_CCWG
        0x00, 0x00,             // reserved
    };
    static_assert(sizeof(wt07) == 0x2B - 0x10);
    std::copy(std::begin(wt07), std::end(wt07), p.begin() + 0x10);
    p[0x2B] = 0x12; // wrench code "123456"
    p[0x2C] = 0x34;
    p[0x2D] = 0x56;
    return p;
}

// --- timing ----------------------------------------------------------------------------

// Times on the line are counted in ticks of 1/baud ms: a byte is exactly 11000 ticks.
std::int64_t SimulatedWrench::byteTicks(std::size_t count) {
    return static_cast<std::int64_t>(count) * kBitsPerByte * 1000;
}

double SimulatedWrench::byteTimeMs() const {
    return static_cast<double>(kBitsPerByte) * 1000.0 / m_options.baudRate;
}

// --- receiving -------------------------------------------------------------------------

void SimulatedWrench::hostSend(std::uint8_t byte) {
    const std::int64_t start = std::max(m_events->nowTicks(), m_rxFree);
    const std::int64_t arrival = start + byteTicks(1);
    m_rxFree = arrival;
    m_events->schedule(arrival, [this, arrival, byte] { receiveByte(arrival, byte); });
}

void SimulatedWrench::hostSendGarbled() {
    const std::int64_t start = std::max(m_events->nowTicks(), m_rxFree);
    m_rxFree = start + byteTicks(1);
    m_events->schedule(m_rxFree, [this] { receiveGarbled(); });
}

void SimulatedWrench::receiveGarbled() {
    ++m_lineErrors;
    if (!m_frame.empty()) {
        m_frame.clear();
        ++m_droppedFrames;
    }
}

void SimulatedWrench::receiveByte(std::int64_t at, std::uint8_t byte) {
    if (!m_frame.empty() && at - m_lastByte > m_events->ticks(m_options.frameGapMs)) {
        // The rest of that frame never came: start listening for a new one.
        m_frame.clear();
        ++m_droppedFrames;
    }
    m_lastByte = at;
    if (m_frame.empty()) {
        if (byte != kReadCommand && byte != kWriteCommand) {
            ++m_ignoredBytes;
            return;
        }
    }
    m_frame.push_back(byte);
    const std::size_t length = m_frame[0] == kReadCommand ? 3 : 4;
    if (m_frame.size() == length) {
        handleFrame(at);
    }
}

void SimulatedWrench::handleFrame(std::int64_t end) {
    ReceivedFrame frame;
    frame.write = m_frame[0] == kWriteCommand;
    frame.addr1 = m_frame[1];
    frame.addr0 = m_frame[2];
    frame.data = frame.write ? m_frame[3] : 0;
    frame.atMs = m_events->msAt(end);
    m_frame.clear();
    m_frames.push_back(frame);
    ++m_exchanges;
    transmit(end, replyTo(frame));
    if (frame.write && frame.addr1 == 0 && (frame.addr0 == kMaxLow || frame.addr0 == kMaxHigh) &&
        peek(0, kMaxLow) == 0 && peek(0, kMaxHigh) == 0) {
        startPull(end);
    }
}

std::vector<std::uint8_t> SimulatedWrench::replyTo(const ReceivedFrame& frame) {
    const std::uint8_t a1 = frame.addr1;
    const std::uint8_t a0 = frame.addr0;
    if (frame.write) {
        if (isCommandAddress(a1, a0)) {
            if (a0 == kCalibration && frame.data == 0x00) {
                m_calibrating = false;
            }
        } else {
            poke(a1, a0, frame.data);
        }
        return {a1, a0, frame.data};
    }
    if (a1 == 0 && a0 == kSerialLinkReset) {
        m_linkMode = true;
        return {a1, a0};
    }
    if (a1 == 0 && a0 == kSerialLinkLeave) {
        m_linkMode = false;
        return {a1, a0};
    }
    if (a1 == 0 && a0 == kCalibration) {
        if (!m_calibrating) {
            m_calibrating = true;
            m_calibrationSinceMs = m_clock.nowMs();
        }
        const std::uint16_t value = liveValue();
        const auto lo = static_cast<std::uint8_t>(value & 0xFF);
        const auto hi = static_cast<std::uint8_t>(value >> 8);
        const std::uint8_t status = liveStatus();
        return {a1, a0, kMarker, lo, lo, kMarker, hi, hi, kMarker, status, status};
    }
    const std::uint8_t d = peek(a1, a0);
    return {a1, a0, kMarker, d, d};
}

// --- replying --------------------------------------------------------------------------

void SimulatedWrench::setFaults(const Faults& faults) {
    m_faults = faults;
    m_faultsSetAt = m_exchanges;
}

void SimulatedWrench::transmit(std::int64_t frameEnd, std::vector<std::uint8_t> reply) {
    // This exchange is number `n` since the faults were set (1 = the first).
    const int n = m_exchanges - m_faultsSetAt;
    if (m_faults.stopAfter && n > *m_faults.stopAfter) {
        return;
    }
    Faults f = m_faults;
    if (f.firstAttemptOnly && n > 1) {
        f = Faults{};
    }
    if (f.noReply) {
        return;
    }
    if (f.corruptAt && *f.corruptAt < reply.size()) {
        reply[*f.corruptAt] ^= 0xFF;
    }
    if (f.shortReply && *f.shortReply < reply.size()) {
        reply.resize(*f.shortReply);
    }
    reply.insert(reply.end(), f.extraBytes.begin(), f.extraBytes.end());
    if (reply.empty()) {
        return;
    }

    std::size_t firstBatch = reply.size();
    if (f.splitAfter && *f.splitAfter > 0 && *f.splitAfter < reply.size()) {
        firstBatch = *f.splitAfter;
    }
    std::int64_t start =
        frameEnd + m_events->ticks(std::int64_t{m_options.turnaroundMs} + std::max(f.delayMs, 0));
    start = std::max(start, m_txFree);
    std::int64_t batchStart = start;
    std::size_t inBatch = 0;
    for (std::size_t i = 0; i < reply.size(); ++i) {
        if (i == firstBatch) {
            batchStart += byteTicks(inBatch) + m_events->ticks(std::max(f.splitPauseMs, 0));
            inBatch = 0;
        }
        ++inBatch;
        const std::int64_t arrival = batchStart + byteTicks(inBatch);
        const bool end = i + 1 == firstBatch || i + 1 == reply.size();
        const std::uint8_t byte = reply[i];
        m_events->schedule(arrival, [this, byte, end] {
            if (m_sink) {
                m_sink(byte, end);
            }
        });
        m_txFree = arrival;
    }
}

// --- pulls ------------------------------------------------------------------------------

void SimulatedWrench::setPulls(std::optional<PullOptions> pulls) {
    m_pulls = std::move(pulls);
    m_targets.clear();
    m_nextTarget = 0;
    m_pullPending = false;
    ++m_pullGeneration;
    if (!m_pulls) {
        return;
    }
    m_targets = m_pulls->targets;
    if (m_targets.empty()) {
        VerificationSettings procedure;
        procedure.maximum = m_pulls->maximum;
        for (const PullStep& step : ProcedureSteps(procedure)) {
            m_targets.push_back(step.target);
        }
    }
    m_scatter.seed(m_pulls->seed);
}

int SimulatedWrench::addPullListener(std::function<void(double truePeakNm)> listener) {
    m_pullListeners.emplace_back(m_nextListener, std::move(listener));
    return m_nextListener++;
}

void SimulatedWrench::removePullListener(int id) {
    std::erase_if(m_pullListeners, [id](const auto& entry) { return entry.first == id; });
}

void SimulatedWrench::startPull(std::int64_t frameEnd) {
    if (!m_pulls || m_targets.empty()) {
        return;
    }
    m_pullPending = true;
    const std::uint64_t generation = ++m_pullGeneration;
    m_events->schedule(frameEnd + m_events->ticks(std::max(m_pulls->delayMs, 0)),
                       [this, generation] {
                           if (generation == m_pullGeneration && m_pullPending) {
                               endPull();
                           }
                       });
}

void SimulatedWrench::endPull() {
    m_pullPending = false;
    ++m_pullCount;
    const double peak = m_targets[m_nextTarget];
    m_nextTarget = (m_nextTarget + 1) % m_targets.size();
    // The scatter from the generator's raw 32-bit output, which the standard fixes exactly
    // (a library's distributions may differ between platforms): uniform in [-1, 1).
    const double unit = static_cast<double>(m_scatter()) / 4294967296.0 * 2.0 - 1.0;
    const double reading =
        peak * (1.0 + m_pulls->biasPercent / 100.0 + unit * m_pulls->scatterPercent / 100.0);
    const double counts = std::round(reading * std::pow(10.0, m_pulls->digits));
    const auto kept = static_cast<std::uint16_t>(std::clamp(counts, 0.0, 65535.0));
    poke(0, kMaxLow, static_cast<std::uint8_t>(kept & 0xFF));
    poke(0, kMaxHigh, static_cast<std::uint8_t>(kept >> 8));
    // A listener may take itself off the list.
    const auto listeners = m_pullListeners;
    for (const auto& [id, listener] : listeners) {
        listener(peak);
    }
}

// --- memory and live value ---------------------------------------------------------------

std::uint8_t SimulatedWrench::peek(std::uint8_t addr1, std::uint8_t addr0) const {
    return m_memory[addr1 * 256u + addr0];
}

void SimulatedWrench::poke(std::uint8_t addr1, std::uint8_t addr0, std::uint8_t value) {
    m_memory[addr1 * 256u + addr0] = value;
}

void SimulatedWrench::holdLive(std::uint16_t value, std::uint8_t status) {
    m_heldLive = std::make_pair(value, status);
}

std::uint16_t SimulatedWrench::liveValue() const {
    if (m_heldLive) {
        return m_heldLive->first;
    }
    if (!m_calibrating) {
        return 0;
    }
    // The pull reaches the wrench's own 100 % reading; a value that cannot be one (erased
    // or above the signed 16-bit range the host computes with) falls back to a typical one.
    std::uint16_t fullScale = static_cast<std::uint16_t>(peek(0, 0x18) * 256 + peek(0, 0x17));
    if (fullScale == 0 || fullScale > 0x7FFF) {
        fullScale = kFallbackFullScale;
    }
    const std::int64_t t = (m_clock.nowMs() - m_calibrationSinceMs) % kPullPeriodMs;
    const double phase = 2.0 * std::numbers::pi * static_cast<double>(t) / kPullPeriodMs;
    return static_cast<std::uint16_t>(std::lround(fullScale * (1.0 - std::cos(phase)) / 2.0));
}

std::uint8_t SimulatedWrench::liveStatus() const {
    if (m_heldLive) {
        return m_heldLive->second;
    }
    if (!m_calibrating) {
        return 0;
    }
    const std::int64_t pull = (m_clock.nowMs() - m_calibrationSinceMs) / kPullPeriodMs;
    return pull % 2 == 1 ? kStatusCounterClockwise : 0x00;
}

} // namespace zelcor::sim
