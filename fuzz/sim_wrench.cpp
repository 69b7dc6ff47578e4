// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated wrench's frame reader, fed arbitrary host bytes at arbitrary moments (and
// bytes its receiver cannot frame), with any line speed, timing and faults. Every frame it
// acts on is a run of bytes the host really sent, a frame sent cleanly is never missed, and
// without faults every frame is answered with exactly the reply of the protocol.

#include "sim/SimulatedWrench.h"
#include "support/ByteReader.h"
#include "support/Check.h"
#include "support/VirtualClock.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace {

using namespace zelcor;
using sim::ReceivedFrame;
using sim::SimulatedWrench;

constexpr int kGarbled = -1;
constexpr std::uint8_t kRead = 0xC8;
constexpr std::uint8_t kWrite = 0xE8;
constexpr std::uint8_t kMarker = 0xAA;

std::vector<int> bytesOf(const ReceivedFrame& f) {
    if (f.write) {
        return {kWrite, f.addr1, f.addr0, f.data};
    }
    return {kRead, f.addr1, f.addr0};
}

struct Sent {
    std::vector<int> line;                     // every byte sent, kGarbled for a garbled one
    std::vector<std::vector<int>> cleanFrames; // frames sent right after a garbled byte
};

// The wrench's reply to each frame, from a copy of its memory kept by the frames themselves.
// The live reading (00 02) is checked for its form only.
bool repliesMatch(const std::vector<ReceivedFrame>& frames, const std::vector<std::uint8_t>& got) {
    std::vector<std::uint8_t> memory(0x10000, 0xFF);
    const auto factory = SimulatedWrench::factoryParameters();
    std::copy(factory.begin(), factory.end(), memory.begin());
    std::size_t at = 0;
    for (const ReceivedFrame& f : frames) {
        const std::size_t address = f.addr1 * 256u + f.addr0;
        const bool command = f.addr1 == 0 && f.addr0 <= 2;
        std::vector<std::uint8_t> expected;
        if (f.write) {
            if (!command) {
                memory[address] = f.data;
            }
            expected = {f.addr1, f.addr0, f.data};
        } else if (command && f.addr0 < 2) {
            expected = {f.addr1, f.addr0};
        } else if (command) {
            if (at + 11 > got.size()) {
                return false;
            }
            const auto* r = &got[at];
            expected = {0x00, 0x02, kMarker, r[3], r[3], kMarker, r[6], r[6], kMarker, r[9], r[9]};
        } else {
            expected = {f.addr1, f.addr0, kMarker, memory[address], memory[address]};
        }
        if (at + expected.size() > got.size() ||
            !std::equal(expected.begin(), expected.end(), got.begin() + at)) {
            return false;
        }
        at += expected.size();
    }
    return at == got.size();
}

// Each frame is a run of consecutive bytes of the line, the runs in order and apart.
bool framesComeFromTheLine(const std::vector<ReceivedFrame>& frames, const std::vector<int>& line) {
    std::size_t from = 0;
    for (const ReceivedFrame& f : frames) {
        const std::vector<int> bytes = bytesOf(f);
        const auto it = std::search(line.begin() + static_cast<long>(from), line.end(),
                                    bytes.begin(), bytes.end());
        if (it == line.end()) {
            return false;
        }
        from = static_cast<std::size_t>(it - line.begin()) + bytes.size();
    }
    return true;
}

// The clean frames appear among those received, in order.
bool cleanFramesReceived(const std::vector<ReceivedFrame>& frames,
                         const std::vector<std::vector<int>>& clean) {
    std::size_t next = 0;
    for (const ReceivedFrame& f : frames) {
        if (next < clean.size() && bytesOf(f) == clean[next]) {
            ++next;
        }
    }
    return next == clean.size();
}

sim::Faults faultsFrom(fuzz::ByteReader& input) {
    sim::Faults f;
    const std::uint8_t flags = input.byte();
    f.noReply = (flags & 0x01) != 0;
    if (flags & 0x02) {
        f.shortReply = input.upTo(12);
    }
    if (flags & 0x04) {
        f.corruptAt = input.upTo(12);
    }
    if (flags & 0x08) {
        const auto extra = input.bytes(input.upTo(3));
        f.extraBytes.assign(extra.begin(), extra.end());
    }
    if (flags & 0x10) {
        f.splitAfter = input.upTo(12);
        f.splitPauseMs = static_cast<int>(input.upTo(200)) - 20;
    }
    f.delayMs = (flags & 0x20) ? static_cast<int>(input.upTo(1000)) - 50 : 0;
    f.firstAttemptOnly = (flags & 0x40) != 0;
    if (flags & 0x80) {
        f.stopAfter = static_cast<int>(input.upTo(4));
    }
    return f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::ByteReader input(data, size);
    const std::uint8_t setup = input.byte();
    sim::WrenchOptions options;
    constexpr std::array<int, 4> kBauds = {1200, 2400, 9600, 0};
    options.baudRate = kBauds[setup & 3];
    if (options.baudRate == 0) {
        options.baudRate = static_cast<int>(input.word()) * 16 - 100; // some below 1
    }
    options.turnaroundMs = static_cast<int>(input.upTo(60)) - 10;
    options.frameGapMs = static_cast<int>(input.upTo(1200)) - 100;
    const bool withFaults = (setup & 4) != 0;

    test::VirtualClock clock;
    SimulatedWrench wrench(clock, options);
    const sim::WrenchOptions& used = wrench.options();
    FUZZ_CHECK(used.baudRate > 0 && used.turnaroundMs >= 0 && used.frameGapMs >= 0);
    if (withFaults) {
        wrench.setFaults(faultsFrom(input));
    }

    std::vector<std::uint8_t> got;
    int batchEnds = 0;
    wrench.setHostSink([&](std::uint8_t byte, bool end) {
        got.push_back(byte);
        batchEnds += end ? 1 : 0;
    });

    Sent sent;
    // A clean frame is received only if the gap allowed between its bytes is at least the
    // time one byte takes on the line.
    const bool cleanFramesFit = used.frameGapMs * std::int64_t{used.baudRate} >=
                                std::int64_t{SimulatedWrench::kBitsPerByte} * 1000;
    for (int step = 0; step < 64 && !input.empty(); ++step) {
        const std::uint8_t op = input.byte();
        clock.advance(op & 0x80 ? input.upTo(1000) : 0);
        switch (op % 8) {
        case 0:
            wrench.hostSendGarbled();
            sent.line.push_back(kGarbled);
            break;
        case 1: { // a frame sent cleanly: after a byte that breaks off any frame, back to back
            std::vector<int> frame{input.byte() % 2 ? kWrite : kRead, input.byte(), input.byte()};
            if (frame[0] == kWrite) {
                frame.push_back(input.byte());
            }
            wrench.hostSendGarbled();
            sent.line.push_back(kGarbled);
            for (const int b : frame) {
                wrench.hostSend(static_cast<std::uint8_t>(b));
                sent.line.push_back(b);
            }
            if (cleanFramesFit) {
                sent.cleanFrames.push_back(frame);
            }
            break;
        }
        default: { // any bytes, any moment
            const std::uint8_t b = input.byte();
            wrench.hostSend(b);
            sent.line.push_back(b);
            break;
        }
        }
    }
    clock.runUntilQuiet();

    const auto& frames = wrench.receivedFrames();
    FUZZ_CHECK(wrench.exchangeCount() == static_cast<int>(frames.size()));
    FUZZ_CHECK(framesComeFromTheLine(frames, sent.line));
    for (const ReceivedFrame& f : frames) {
        FUZZ_CHECK(f.atMs <= clock.nowMs());
    }
    if (!withFaults) {
        FUZZ_CHECK(cleanFramesReceived(frames, sent.cleanFrames));
        FUZZ_CHECK(repliesMatch(frames, got));
        FUZZ_CHECK(batchEnds == static_cast<int>(frames.size()));
    } else {
        // Faults only change what goes back: a reply is at most its bytes and the extra ones.
        FUZZ_CHECK(got.size() <= frames.size() * (11 + wrench.faults().extraBytes.size()));
        FUZZ_CHECK(cleanFramesReceived(frames, sent.cleanFrames));
    }
    return 0;
}
