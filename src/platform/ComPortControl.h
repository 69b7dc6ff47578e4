// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SerialPort.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zelcor {

// A serial line behind a device server on the network, as "Com No" and --port name it:
// tcp://HOST:PORT (raw TCP, the server holds the line settings) or rfc2217://HOST:PORT (the
// line settings sent with the telnet COM-PORT-CONTROL option). HOST may be a name, an IPv4
// address or an IPv6 address in brackets.
struct NetworkPortName {
    enum class Mode { Raw, ComPortControl };
    Mode mode = Mode::Raw;
    std::string host;
    std::uint16_t port = 0;
    // "HOST:PORT" as typed, for messages.
    std::string address;
};

// True when `name` starts with one of the two schemes, whatever follows.
bool IsNetworkPortName(const std::string& name);

// False, with the reason for the user in `error`, for a name that has a scheme but no host
// or no port from 1 to 65535.
bool ParseNetworkPortName(const std::string& name, NetworkPortName& out, std::string& error);

// The telnet side of a COM-PORT-CONTROL connection (RFC 2217), in plain bytes: it offers the
// option, sends the line settings once the server takes it, checks each answer, answers the
// server's own negotiation, and separates the line's data from the telnet commands.
class ComPortControl {
public:
    enum class State { Waiting, Settled, Refused };

    explicit ComPortControl(const SerialSettings& settings);

    // What the client says first: it will do COM-PORT-CONTROL and binary, and asks the server
    // for binary, so that no byte of the line is taken for a line end.
    std::vector<std::uint8_t> greeting();

    // Takes bytes from the server: the line's bytes go to `data`, what must be sent back to
    // the server (answers to its negotiation, the settings) to `reply`.
    void receive(const std::uint8_t* bytes, std::size_t count, std::vector<std::uint8_t>& data,
                 std::vector<std::uint8_t>& reply);

    State state() const { return m_state; }
    // Why the server's answers do not give the line asked for, in words for the user.
    const std::string& refusal() const { return m_refusal; }

    // A byte for the line, with IAC doubled.
    static void appendData(std::uint8_t byte, std::vector<std::uint8_t>& out);

private:
    enum class Parse { Data, Iac, Verb, Sub, SubIac };

    void onOption(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& reply);
    void onSubnegotiation();
    void refuse(const std::string& why);

    SerialSettings m_settings;
    State m_state = State::Waiting;
    std::string m_refusal;
    Parse m_parse = Parse::Data;
    std::uint8_t m_verb = 0;
    std::vector<std::uint8_t> m_sub;
    bool m_settingsSent = false;
    // The settings answered as asked: baud rate, data size, parity, stop size.
    unsigned m_answered = 0;
    // Options we have said WILL and DO for, so that an acknowledgment is not answered again.
    std::vector<bool> m_will = std::vector<bool>(256, false);
    std::vector<bool> m_do = std::vector<bool>(256, false);
};

} // namespace zelcor
