// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <vector>

namespace zelcor {
class Clock;
} // namespace zelcor

namespace zelcor::sim {

class EventQueue;

// Line and reaction times of the simulated wrench.
struct WrenchOptions {
    int baudRate = 1200;  // one byte on the line is 11 bits: start, 8 data, 2 stop
    int turnaroundMs = 5; // from the end of a request frame to the first reply bit
    int frameGapMs = 500; // a frame whose next byte comes later than this is dropped
};

// Ways to make the wrench misbehave. Faults change only what goes back on the line: the
// wrench still carries out every request it receives (a lost reply does not undo a write).
struct Faults {
    bool noReply = false;
    std::optional<std::size_t> shortReply{}; // send only the first N bytes of the reply
    std::optional<std::size_t> corruptAt{};  // invert every bit of the reply byte at this index
    std::vector<std::uint8_t> extraBytes{};  // sent right after the reply
    std::optional<std::size_t> splitAfter{}; // the reply arrives as two batches: N bytes, the rest
    int splitPauseMs = 0;                    // silence on the line between the two batches
    int delayMs = 0;                         // added to the turnaround
    bool firstAttemptOnly = false;           // only the first exchange after setFaults is hit
    std::optional<int> stopAfter{};          // answer N more exchanges, then stay silent
};

// Pulls on the wrench, one after each clearing of its kept maximum, as a technician makes them
// against a reference tester during a verification run.
struct PullOptions {
    // N·m; the targets are those of the standard verification procedure for this maximum:
    // its pre-loads, then each point's readings.
    double maximum = 100;
    std::vector<double> targets; // when not empty: these targets in order instead
    double biasPercent = 0;      // the wrench reads this much high (negative: low)
    double scatterPercent = 0;   // plus a pseudo-random scatter, uniform within +- this
    int digits = 1;              // the maximum is kept as round(reading * 10^digits) counts
    int delayMs = 1000;          // from the maximum cleared to the pull's end
    unsigned seed = 1;           // the scatter's sequence, the same on every platform
};

// One complete request as the wrench received it.
struct ReceivedFrame {
    bool write = false;
    std::uint8_t addr1 = 0;
    std::uint8_t addr0 = 0;
    std::uint8_t data = 0; // writes only
    std::int64_t atMs = 0; // when its last byte had arrived
};

// A torque wrench on the far end of an RS-232 line, in plain C++ on a zelcor::Clock.
//
// Requests: 0xC8 A1 A0 reads, 0xE8 A1 A0 D writes. Replies: read 00 00 / 00 01 echo the
// address (serial-link mode reset / leave); read 00 02 enters calibration mode and answers
// 00 02 AA L L AA H H AA S S with the live raw value and its status; any other read answers
// A1 A0 AA D D; every write answers A1 A0 D. Writing 00 to 00 02 leaves calibration mode;
// other writes to 00 00..00 02 are echoed but change nothing, so those addresses keep
// meaning commands.
//
// Timing: a host byte reaches the wrench one byte time after it was sent (later if the line
// is still busy with the previous byte); the reply starts the turnaround after the last
// request byte, and its bytes reach the host one byte time apart.
class SimulatedWrench {
public:
    static constexpr std::size_t kParameterBytes = 46; // 00 00 .. 00 2D
    static constexpr int kBitsPerByte = 11;

    // Called for every reply byte at the moment it has fully arrived at the host;
    // `endOfBatch` marks the last byte of what a receiver would see as one batch.
    using HostSink = std::function<void(std::uint8_t byte, bool endOfBatch)>;

    explicit SimulatedWrench(Clock& clock, WrenchOptions options = {});
    ~SimulatedWrench();
    SimulatedWrench(const SimulatedWrench&) = delete;
    SimulatedWrench& operator=(const SimulatedWrench&) = delete;

    Clock& clock() const { return m_clock; }
    const WrenchOptions& options() const { return m_options; }

    // The factory content of 00 00..00 2D: identity, the WT-07 preset at 10..2A, the code.
    static std::array<std::uint8_t, kParameterBytes> factoryParameters();

    // --- the line ---------------------------------------------------------------------
    void setHostSink(HostSink sink) { m_sink = std::move(sink); }
    // The host starts sending `byte` now.
    void hostSend(std::uint8_t byte);
    // The host sends something the wrench's receiver cannot frame (wrong baud rate or
    // format): it takes a byte time, counts as a line error and breaks off any frame.
    void hostSendGarbled();
    // How long one byte occupies the line: 11 bits at the baud rate (9.17 ms at 1200).
    double byteTimeMs() const;

    // --- faults -----------------------------------------------------------------------
    void setFaults(const Faults& faults);
    void clearFaults() { setFaults(Faults{}); }
    const Faults& faults() const { return m_faults; }

    // --- direct access for tests ------------------------------------------------------
    std::uint8_t peek(std::uint8_t addr1, std::uint8_t addr0) const;
    void poke(std::uint8_t addr1, std::uint8_t addr0, std::uint8_t value);
    std::uint8_t peek(std::uint16_t address) const { return m_memory[address]; }
    void poke(std::uint16_t address, std::uint8_t value) { m_memory[address] = value; }

    bool inCalibrationMode() const { return m_calibrating; }
    bool inSerialLinkMode() const { return m_linkMode; }
    // The live raw value and status as a read of 00 02 would report them now.
    std::uint16_t liveValue() const;
    std::uint8_t liveStatus() const;
    // Pins the live reading to fixed values (until releaseLive) instead of the slow pull.
    void holdLive(std::uint16_t value, std::uint8_t status);
    void releaseLive() { m_heldLive.reset(); }

    // --- pulls ------------------------------------------------------------------------
    // A pull starts when a write leaves both maximum cells (00 23, 00 24) at 00, and ends
    // `delayMs` later; a second such write while one is pending starts it again (still one
    // pull). At its end the wrench keeps its reading of the pull's true peak in 00 23 (low)
    // and 00 24 (high), and tells the listeners the true peak. After the last target the
    // targets start again from the first. None (the default): no pulls.
    void setPulls(std::optional<PullOptions> pulls);
    const std::optional<PullOptions>& pulls() const { return m_pulls; }
    // Returns the listener's number, for removePullListener.
    int addPullListener(std::function<void(double truePeakNm)> listener);
    void removePullListener(int id);
    int pullCount() const { return m_pullCount; }

    int exchangeCount() const { return m_exchanges; }
    const std::vector<ReceivedFrame>& receivedFrames() const { return m_frames; }
    int ignoredByteCount() const { return m_ignoredBytes; }
    int droppedFrameCount() const { return m_droppedFrames; }
    int lineErrorCount() const { return m_lineErrors; }

private:
    static std::int64_t byteTicks(std::size_t count);

    void receiveByte(std::int64_t at, std::uint8_t byte);
    void receiveGarbled();
    void handleFrame(std::int64_t end);
    std::vector<std::uint8_t> replyTo(const ReceivedFrame& frame);
    void transmit(std::int64_t frameEnd, std::vector<std::uint8_t> reply);
    void startPull(std::int64_t frameEnd);
    void endPull();

    Clock& m_clock;
    WrenchOptions m_options;
    std::vector<std::uint8_t> m_memory;
    HostSink m_sink;

    std::unique_ptr<EventQueue> m_events;

    std::int64_t m_rxFree = 0; // when the host-to-wrench line is next idle, in ticks
    std::int64_t m_txFree = 0; // when the wrench-to-host line is next idle, in ticks

    std::vector<std::uint8_t> m_frame;
    std::int64_t m_lastByte = 0;

    Faults m_faults;
    int m_faultsSetAt = 0; // exchange count when the faults were set

    bool m_calibrating = false;
    bool m_linkMode = true;
    std::int64_t m_calibrationSinceMs = 0;
    std::optional<std::pair<std::uint16_t, std::uint8_t>> m_heldLive;

    int m_exchanges = 0;
    int m_ignoredBytes = 0;
    int m_droppedFrames = 0;
    int m_lineErrors = 0;
    std::vector<ReceivedFrame> m_frames;

    std::optional<PullOptions> m_pulls;
    std::vector<double> m_targets;
    std::size_t m_nextTarget = 0;
    std::uint64_t m_pullGeneration = 0; // a pull ends only if no later clearing restarted it
    bool m_pullPending = false;
    int m_pullCount = 0;
    std::mt19937 m_scatter;
    std::vector<std::pair<int, std::function<void(double)>>> m_pullListeners;
    int m_nextListener = 1;
};

} // namespace zelcor::sim
