// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sim/SimulatedTester.h"
#include "sim/SimulatedWrench.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;

namespace zelcor {
class QtClock;
class Timer;
} // namespace zelcor

namespace zelcor::sim {

// A byte on the line as the far end saw it: a request byte when the bridge took it off the
// terminal, a reply byte when the bridge put it on.
struct LineByte {
    std::uint8_t value;
    bool toHost;
    std::int64_t atUs; // std::chrono::steady_clock, in microseconds
};

// A simulated wrench behind a pseudo-terminal, in real time on the Qt event loop, so that a
// program can open the terminal's device like a serial port and talk to the wrench; and, when
// asked for, the simulated reference tester behind a second one.
//
// Each terminal is raw before anyone else can open it. The bridge keeps a descriptor of each
// device open itself, so a host closing and reopening the port is never a hang-up. Bytes
// to the host are written one at a time, each when it would have arrived on a real line.
class PtyBridge {
public:
    explicit PtyBridge(WrenchOptions options = {});
    ~PtyBridge();
    PtyBridge(const PtyBridge&) = delete;
    PtyBridge& operator=(const PtyBridge&) = delete;

    // Creates the terminal and starts listening. With a non-empty `linkPath` also makes a
    // symbolic link there to the device (replacing an old link; refusing to replace anything
    // else); the link goes away with the bridge. Returns false with the reason in `error`.
    bool start(const std::string& linkPath, std::string& error);

    // The link if one was made, else the device itself (/dev/pts/N).
    std::string devicePath() const;
    const std::string& terminalPath() const { return m_wrenchTerminal.slavePath; }

    SimulatedWrench& wrench() { return *m_wrench; }

    // The tester on a terminal of its own (9600 8N1), listening to the wrench's pulls; the
    // link as for start(). What the host writes to it is read and dropped.
    bool startTester(const std::string& linkPath, std::string& error);
    // The tester's link if one was made, else its device; empty before startTester.
    std::string testerDevicePath() const;
    // None before startTester.
    SimulatedTester* tester() { return m_tester.get(); }

    // How often the host side woke the bridge up; a guard against a spinning descriptor.
    std::uint64_t wakeups() const { return m_wakeups; }

    // Every byte through the bridge with its moment, so the pacing of a request and the
    // timing of its reply can be seen as the wrench saw them. Off until asked for; a long
    // session must not keep every byte.
    void recordLine(bool on) { m_recordLine = on; }
    const std::vector<LineByte>& lineLog() const { return m_lineLog; }
    void clearLineLog() { m_lineLog.clear(); }

private:
    // One pseudo-terminal: the bridge's end, the device's own descriptor, its link.
    struct Terminal {
        int master = -1;
        int slave = -1;
        std::string slavePath;
        std::string linkPath;
        std::unique_ptr<QSocketNotifier> notifier;
        std::unique_ptr<Timer> retry;
        std::int64_t lastWriteMs = 0;
    };
    struct Line {
        int baudRate;
        bool twoStopBits;
    };
    bool open(Terminal& terminal, Line line, const std::string& linkPath, std::string& error);
    void close(Terminal& terminal);
    // Reads what the host sent; false at the end of what there is. Looks again a little later
    // after an end of file or an error, instead of spinning.
    bool readHost(Terminal& terminal, std::vector<std::uint8_t>& bytes);
    void onMasterReadable();
    // False when the terminal is closed.
    bool writeToHost(Terminal& terminal, std::uint8_t byte);
    void discardUnread(Terminal& terminal);
    bool hostLineMatches(const Terminal& terminal, Line line) const;
    void note(std::uint8_t byte, bool toHost);

    std::unique_ptr<QtClock> m_clock;
    std::unique_ptr<SimulatedWrench> m_wrench;
    std::unique_ptr<SimulatedTester> m_tester;
    Terminal m_wrenchTerminal;
    Terminal m_testerTerminal;
    std::uint64_t m_wakeups = 0;
    bool m_recordLine = false;
    std::vector<LineByte> m_lineLog;
};

} // namespace zelcor::sim
