// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ComPortControl.h"

#include "common/TextConv.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace zelcor {

namespace {

constexpr std::uint8_t kIac = 255;
constexpr std::uint8_t kDont = 254;
constexpr std::uint8_t kDo = 253;
constexpr std::uint8_t kWont = 252;
constexpr std::uint8_t kWill = 251;
constexpr std::uint8_t kSb = 250;
constexpr std::uint8_t kSe = 240;

constexpr std::uint8_t kBinary = 0;
constexpr std::uint8_t kSuppressGoAhead = 3;
constexpr std::uint8_t kComPortOption = 44;

// The client's commands; the server answers each with its number plus 100.
constexpr std::uint8_t kSetBaudRate = 1;
constexpr std::uint8_t kSetDataSize = 2;
constexpr std::uint8_t kSetParity = 3;
constexpr std::uint8_t kSetStopSize = 4;
constexpr std::uint8_t kServerOffset = 100;
constexpr unsigned kAllAnswered = 0xF;

constexpr std::string_view kTcp = "tcp://";
constexpr std::string_view kComPortScheme = "rfc2217://";

bool startsWithNoCase(const std::string& text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

// The parity codes of SET-PARITY: none, odd, even, mark, space.
std::uint8_t parityCode(char parity) {
    switch (parity) {
    case 'O':
        return 2;
    case 'E':
        return 3;
    case 'M':
        return 4;
    case 'S':
        return 5;
    default:
        return 1;
    }
}

std::string parityName(std::uint32_t code) {
    static const std::array<const char*, 6> names{"unchanged", "none", "odd",
                                                  "even",      "mark", "space"};
    return code < names.size() ? names[code] : "code " + std::to_string(code);
}

void appendCommand(std::uint8_t command, std::uint32_t value, int size,
                   std::vector<std::uint8_t>& out) {
    out.insert(out.end(), {kIac, kSb, kComPortOption, command});
    for (int shift = (size - 1) * 8; shift >= 0; shift -= 8) {
        ComPortControl::appendData(static_cast<std::uint8_t>(value >> shift), out);
    }
    out.insert(out.end(), {kIac, kSe});
}

} // namespace

bool IsNetworkPortName(const std::string& name) {
    return startsWithNoCase(name, kTcp) || startsWithNoCase(name, kComPortScheme);
}

bool ParseNetworkPortName(const std::string& name, NetworkPortName& out, std::string& error) {
    NetworkPortName parsed;
    std::string rest;
    if (startsWithNoCase(name, kTcp)) {
        rest = name.substr(kTcp.size());
    } else if (startsWithNoCase(name, kComPortScheme)) {
        parsed.mode = NetworkPortName::Mode::ComPortControl;
        rest = name.substr(kComPortScheme.size());
    } else {
        error = QuotedInput(name) + " is not a network port: write tcp://HOST:PORT or " +
                "rfc2217://HOST:PORT.";
        return false;
    }
    if (!rest.empty() && rest.back() == '/') {
        rest.pop_back();
    }
    parsed.address = rest;
    const std::string usage = "A network port is written tcp://HOST:PORT or rfc2217://HOST:PORT, " +
                              std::string("with a port from 1 to 65535: ") + QuotedInput(name) +
                              " is not.";
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        error = usage;
        return false;
    }
    parsed.host = rest.substr(0, colon);
    if (parsed.host.front() == '[') {
        if (parsed.host.size() < 3 || parsed.host.back() != ']') {
            error = usage;
            return false;
        }
        parsed.host = parsed.host.substr(1, parsed.host.size() - 2);
    } else if (parsed.host.find_first_of(":/ \t") != std::string::npos) {
        error = usage;
        return false;
    }
    const std::string digits = rest.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(),
                     [](unsigned char c) { return std::isdigit(c); }) ||
        std::stoi(digits) < 1 || std::stoi(digits) > 65535) {
        error = usage;
        return false;
    }
    parsed.port = static_cast<std::uint16_t>(std::stoi(digits));
    out = parsed;
    return true;
}

ComPortControl::ComPortControl(const SerialSettings& settings) : m_settings(settings) {}

std::vector<std::uint8_t> ComPortControl::greeting() {
    m_will[kComPortOption] = m_will[kBinary] = m_do[kBinary] = true;
    return {kIac, kWill, kComPortOption, kIac, kWill, kBinary, kIac, kDo, kBinary};
}

void ComPortControl::appendData(std::uint8_t byte, std::vector<std::uint8_t>& out) {
    out.push_back(byte);
    if (byte == kIac) {
        out.push_back(kIac);
    }
}

void ComPortControl::receive(const std::uint8_t* bytes, std::size_t count,
                             std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& reply) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t byte = bytes[i];
        switch (m_parse) {
        case Parse::Data:
            if (byte == kIac) {
                m_parse = Parse::Iac;
            } else {
                data.push_back(byte);
            }
            break;
        case Parse::Iac:
            m_parse = Parse::Data;
            if (byte == kIac) {
                data.push_back(kIac);
            } else if (byte >= kWill && byte <= kDont) {
                m_verb = byte;
                m_parse = Parse::Verb;
            } else if (byte == kSb) {
                m_sub.clear();
                m_parse = Parse::Sub;
            } // any other command (NOP, go ahead, ...) carries nothing for the line
            break;
        case Parse::Verb:
            m_parse = Parse::Data;
            onOption(m_verb, byte, reply);
            break;
        case Parse::Sub:
            if (byte == kIac) {
                m_parse = Parse::SubIac;
            } else if (m_sub.size() < 64) {
                m_sub.push_back(byte);
            }
            break;
        case Parse::SubIac:
            if (byte == kIac) {
                m_sub.push_back(kIac);
                m_parse = Parse::Sub;
            } else {
                // IAC SE, or a command that ends the subnegotiation all the same.
                m_parse = Parse::Data;
                onSubnegotiation();
            }
            break;
        }
    }
}

void ComPortControl::onOption(std::uint8_t verb, std::uint8_t option,
                              std::vector<std::uint8_t>& reply) {
    const bool weMay = option == kBinary || option == kSuppressGoAhead || option == kComPortOption;
    const bool theyMay = option == kBinary || option == kSuppressGoAhead;
    switch (verb) {
    case kDo:
        if (!weMay) {
            reply.insert(reply.end(), {kIac, kWont, option});
            break;
        }
        if (!m_will[option]) {
            m_will[option] = true;
            reply.insert(reply.end(), {kIac, kWill, option});
        }
        if (option == kComPortOption && !m_settingsSent) {
            m_settingsSent = true;
            appendCommand(kSetBaudRate, static_cast<std::uint32_t>(m_settings.baudRate), 4, reply);
            appendCommand(kSetDataSize, static_cast<std::uint32_t>(m_settings.dataBits), 1, reply);
            appendCommand(kSetParity, parityCode(m_settings.parity), 1, reply);
            appendCommand(kSetStopSize, static_cast<std::uint32_t>(m_settings.stopBits), 1, reply);
        }
        break;
    case kDont:
        if (option == kComPortOption) {
            refuse("it refuses the COM-PORT-CONTROL option (a raw TCP port is opened as "
                   "tcp://HOST:PORT)");
        }
        if (m_will[option]) {
            m_will[option] = false;
            reply.insert(reply.end(), {kIac, kWont, option});
        }
        break;
    case kWill:
        if (!theyMay) {
            reply.insert(reply.end(), {kIac, kDont, option});
        } else if (!m_do[option]) {
            m_do[option] = true;
            reply.insert(reply.end(), {kIac, kDo, option});
        }
        break;
    case kWont:
        if (m_do[option]) {
            m_do[option] = false;
            reply.insert(reply.end(), {kIac, kDont, option});
        }
        break;
    default:
        break;
    }
}

void ComPortControl::onSubnegotiation() {
    if (m_sub.size() < 3 || m_sub[0] != kComPortOption || m_sub[1] <= kServerOffset) {
        return;
    }
    const std::uint8_t command = static_cast<std::uint8_t>(m_sub[1] - kServerOffset);
    std::uint32_t value = 0;
    for (std::size_t i = 2; i < m_sub.size(); ++i) {
        value = (value << 8) | m_sub[i];
    }
    std::string wrong;
    switch (command) {
    case kSetBaudRate:
        if (value != static_cast<std::uint32_t>(m_settings.baudRate)) {
            wrong = "baud rate " + std::to_string(value) + " instead of " +
                    std::to_string(m_settings.baudRate);
        }
        break;
    case kSetDataSize:
        if (value != static_cast<std::uint32_t>(m_settings.dataBits)) {
            wrong = std::to_string(value) + " data bits instead of " +
                    std::to_string(m_settings.dataBits);
        }
        break;
    case kSetParity:
        if (value != parityCode(m_settings.parity)) {
            wrong = "parity " + parityName(value) + " instead of " +
                    parityName(parityCode(m_settings.parity));
        }
        break;
    case kSetStopSize:
        if (value != static_cast<std::uint32_t>(m_settings.stopBits)) {
            wrong = (value == 3 ? std::string("1.5") : std::to_string(value)) +
                    " stop bits instead of " + std::to_string(m_settings.stopBits);
        }
        break;
    default:
        return; // line and modem state notices: nothing the wrench's line depends on
    }
    if (!wrong.empty()) {
        refuse("it set " + wrong);
        return;
    }
    m_answered |= 1u << (command - 1);
    if (m_answered == kAllAnswered && m_state == State::Waiting) {
        m_state = State::Settled;
    }
}

void ComPortControl::refuse(const std::string& why) {
    if (m_state != State::Refused) {
        m_state = State::Refused;
        m_refusal = why;
    }
}

} // namespace zelcor
