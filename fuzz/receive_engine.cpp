// SPDX-License-Identifier: GPL-3.0-or-later
// The receive engine and the reply checks of the command protocol, fed arbitrary replies:
// bytes in batches at any moment of an exchange (or between exchanges), replies that are
// right, nearly right or wrong, floods beyond the buffer, and resets during an exchange. No
// check may report success for a reply that differs from the one expected, and none may
// report a failure the bytes do not explain.

#include "common/TextConv.h"
#include "platform/SerialPort.h"
#include "serial/CommandProtocol.h"
#include "serial/ReceiveEngine.h"
#include "support/ByteReader.h"
#include "support/Check.h"
#include "support/VirtualClock.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace zelcor;

// A port that is always open, records what is written with its time and delivers the bytes
// the run hands it.
class FuzzPort final : public SerialPort {
public:
    explicit FuzzPort(const Clock& clock) : m_clock(clock) {}

    bool open(const std::string&, const SerialSettings&, std::string&) override { return true; }
    void close() override {}
    bool isOpen() const override { return true; }
    bool writeByte(std::uint8_t byte) override {
        written.push_back(byte);
        writtenAt.push_back(m_clock.nowMs());
        return true;
    }
    void arrive(const std::vector<std::uint8_t>& bytes) { deliver(bytes); }

    std::vector<std::uint8_t> written;
    std::vector<std::int64_t> writtenAt;

private:
    const Clock& m_clock;
};

struct Exchange {
    bool write = false;
    std::uint8_t addr1 = 0, addr0 = 0, data = 0;
};

constexpr std::uint8_t kMarker = 0xAA;

// The reply the instrument should send, with data bytes `d` where it carries any.
std::vector<std::uint8_t> rightReply(const Exchange& x, std::uint8_t d0, std::uint8_t d1,
                                     std::uint8_t d2) {
    if (x.write) {
        return {x.addr1, x.addr0, x.data};
    }
    if (x.addr1 == 0 && x.addr0 <= 1) {
        return {x.addr1, x.addr0};
    }
    if (x.addr1 == 0 && x.addr0 == 2) {
        return {x.addr1, x.addr0, kMarker, d0, d0, kMarker, d1, d1, kMarker, d2, d2};
    }
    return {x.addr1, x.addr0, kMarker, d0, d0};
}

std::size_t replyLength(const Exchange& x) {
    return rightReply(x, 0, 0, 0).size();
}

// Whether `reply` (exactly as long as expected) has the form the exchange expects: echo,
// markers and two equal copies of each data byte.
bool wellFormed(const Exchange& x, const std::vector<std::uint8_t>& reply) {
    const std::uint8_t d0 = reply.size() > 3 ? reply[3] : 0;
    const std::uint8_t d1 = reply.size() > 6 ? reply[6] : 0;
    const std::uint8_t d2 = reply.size() > 9 ? reply[9] : 0;
    return reply == rightReply(x, d0, d1, d2);
}

std::string echoOf(const Exchange& x) {
    const auto hex = [](std::uint8_t b) { return "&H" + ByteToHexStr(b); };
    if (x.write) {
        return "Write-----------\r\n&H01 " + hex(x.addr1) + " " + hex(x.addr0) + " " + hex(x.data) +
               "\r\n";
    }
    return "Read-------------\r\n&H10 " + hex(x.addr1) + " " + hex(x.addr0) + " \r\n";
}

class Run {
public:
    Run()
        : m_port(m_clock), m_engine(m_clock, [](const std::string&) {}),
          m_protocol(m_clock, m_port, m_engine, [this](const std::string& s) { m_echo += s; }) {
        m_port.setReceiveHandler([this](const std::vector<std::uint8_t>& bytes) {
            // What the engine will have stored: bytes while it stores them, up to its capacity.
            if (m_engine.storing()) {
                for (const std::uint8_t b : bytes) {
                    if (m_stored.size() < static_cast<std::size_t>(c5000ByteBuffer::Capacity)) {
                        m_stored.push_back(b);
                    }
                }
            }
            m_engine.receive(bytes);
        });
        m_engine.reset(); // as at start-up
    }

    void play(fuzz::ByteReader& input) {
        for (int step = 0; step < 24 && !input.empty(); ++step) {
            const std::uint8_t op = input.byte();
            if (op % 4 == 3) {
                strayBytes(input);
                continue;
            }
            Exchange x;
            x.write = op % 4 == 1;
            x.addr1 = op % 4 == 2 ? 0 : input.byte(); // 2: the command addresses, more often
            x.addr0 = op % 4 == 2 ? input.byte() % 4 : input.byte();
            x.data = x.write ? input.byte() : 0;
            scheduleArrivals(input, x);
            exchange(x);
        }
        m_clock.runUntilQuiet();
    }

private:
    // Bytes that come while no exchange runs, with the reply length the console's box may
    // have set meanwhile.
    void strayBytes(fuzz::ByteReader& input) {
        m_engine.setReplyLength(static_cast<std::int16_t>(input.word()));
        m_port.arrive(input.bytes(input.upTo(16)));
    }

    void scheduleArrivals(fuzz::ByteReader& input, const Exchange& x) {
        const unsigned events = input.upTo(4);
        for (unsigned i = 0; i < events; ++i) {
            const std::uint8_t kind = input.byte();
            const std::int64_t delay = input.word() % 3600;
            std::vector<std::uint8_t> bytes;
            switch (kind % 5) {
            case 0: // anything
                bytes = input.bytes(input.upTo(12));
                break;
            case 1:   // the right reply, in one batch or from some byte on
            case 2: { // the right reply but for one byte
                const std::uint8_t d0 = input.byte();
                const std::uint8_t d1 = input.byte();
                const std::uint8_t d2 = input.byte();
                bytes = rightReply(x, d0, d1, d2);
                if (kind % 5 == 2) {
                    bytes[input.byte() % bytes.size()] ^= static_cast<std::uint8_t>(1 + kind / 5);
                }
                const std::size_t from = input.byte() % 2 == 0 ? 0 : input.byte() % bytes.size();
                bytes.erase(bytes.begin(), bytes.begin() + static_cast<long>(from));
                break;
            }
            case 3: { // a flood: more than the buffer holds
                const std::size_t count = input.word() % 6000;
                bytes.assign(count, input.byte());
                break;
            }
            case 4: // "Reset 232" pressed during the wait
                m_clock.after(delay, [this] {
                    m_engine.reset();
                    m_stored.clear();
                    m_resetDuring = true;
                });
                continue;
            }
            m_clock.after(delay, [this, bytes] { m_port.arrive(bytes); });
        }
    }

    void exchange(const Exchange& x) {
        m_stored.clear();
        m_echo.clear();
        m_resetDuring = false;
        const std::size_t writtenBefore = m_port.written.size();
        const std::int64_t start = m_clock.nowMs();

        ReadReply read;
        CommResult result = CommResult::Success;
        bool ok = false;
        if (x.write) {
            result = m_protocol.write(x.addr1, x.addr0, x.data);
            ok = result == CommResult::Success;
        } else {
            read = m_protocol.read(x.addr1, x.addr0);
            result = read.result;
            ok = read.hasData;
        }

        // The request went out byte by byte, each before its pause.
        const std::vector<std::uint8_t> request =
            x.write
                ? std::vector<std::uint8_t>{CommandProtocol::WriteCommand, x.addr1, x.addr0, x.data}
                : std::vector<std::uint8_t>{CommandProtocol::ReadCommand, x.addr1, x.addr0};
        const int pause = x.write ? CommandProtocol::WritePauseMs : CommandProtocol::ReadPauseMs;
        FUZZ_CHECK(m_port.written.size() == writtenBefore + request.size());
        for (std::size_t i = 0; i < request.size(); ++i) {
            FUZZ_CHECK(m_port.written[writtenBefore + i] == request[i]);
            FUZZ_CHECK(m_port.writtenAt[writtenBefore + i] ==
                       start + static_cast<std::int64_t>(i) * pause);
        }
        FUZZ_CHECK(m_echo == echoOf(x));

        const std::size_t length = replyLength(x);
        FUZZ_CHECK(x.write || static_cast<std::size_t>(
                                  CommandProtocol::GetReplyLength(x.addr1, x.addr0)) == length);
        const bool complete = m_stored.size() >= length;
        const std::vector<std::uint8_t> reply(m_stored.begin(),
                                              m_stored.begin() + std::min(length, m_stored.size()));

        switch (result) {
        case CommResult::Success:
            // Success, or the matching echo of a two-byte command reply: the reply was there
            // and was exactly right.
            FUZZ_CHECK(complete && wellFormed(x, reply));
            FUZZ_CHECK(ok == (length != 2));
            break;
        case CommResult::TimeOut:
            FUZZ_CHECK(!ok && !complete && !m_resetDuring);
            FUZZ_CHECK(m_clock.nowMs() - start >= ReceiveEngine::ReplyTimeOutMs);
            break;
        case CommResult::Incomplete:
            FUZZ_CHECK(!ok && m_resetDuring);
            break;
        case CommResult::SyntaxError:
            FUZZ_CHECK(!ok && complete && !wellFormed(x, reply));
            break;
        default:
            FUZZ_CHECK(false); // no other code
        }
        if (!m_resetDuring && complete) {
            FUZZ_CHECK(result == CommResult::Success || result == CommResult::SyntaxError);
        }

        // Data bytes are delivered only with success, and are then the reply's.
        const auto& d = read.data;
        if (!ok) {
            FUZZ_CHECK(d[0] == 0 && d[1] == 0 && d[2] == 0);
        } else if (!x.write && length == 5) {
            FUZZ_CHECK(d[0] == reply[3] && d[1] == 0 && d[2] == 0);
        } else if (!x.write) {
            FUZZ_CHECK(d[0] == reply[3] && d[1] == reply[6] && d[2] == reply[9]);
        }
    }

    test::VirtualClock m_clock;
    FuzzPort m_port;
    ReceiveEngine m_engine;
    CommandProtocol m_protocol;
    std::vector<std::uint8_t> m_stored;
    std::string m_echo;
    bool m_resetDuring = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::ByteReader input(data, size);
    Run run;
    run.play(input);
    return 0;
}
