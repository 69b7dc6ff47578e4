// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimOptions.h"

#include <cctype>
#include <charconv>

namespace zelcor::sim {

namespace {

bool parseCount(const std::string& text, long maximum, long& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc{} && ptr == end && value >= 0 && value <= maximum;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// "AA55", "AA 55", "aa,55" or "AA:55": whole bytes of two hexadecimal digits each.
bool parseHexBytes(const std::string& text, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == ',' || c == ':') {
            if (high >= 0) {
                return false;
            }
            continue;
        }
        const int digit = hexDigit(c);
        if (digit < 0) {
            return false;
        }
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high * 16 + digit));
            high = -1;
        }
    }
    return high < 0 && !bytes.empty();
}

} // namespace

std::string simUsage() {
    return "Usage: zelcor-sim [options]\n"
           "A simulated torque wrench behind a pseudo-terminal. Prints the device to open,\n"
           "then answers on it until interrupted.\n"
           "\n"
           "  --baud N          line speed, 1200 (default) or 2400\n"
           "  --link PATH       also make a symbolic link PATH to the device\n"
           "  --no-reply        answer nothing\n"
           "  --short-reply N   send only the first N bytes of every reply\n"
           "  --corrupt POS     invert the reply byte at index POS (0 = first)\n"
           "  --extra HEX       send these bytes after every reply, e.g. AA55\n"
           "  --split N         send a reply as two batches: N bytes, then the rest\n"
           "  --split-pause MS  silence between the two batches (default 0)\n"
           "  --delay MS        answer MS later than usual\n"
           "  --fail-first      the faults hit only the first exchange\n"
           "  --stop-after N    answer N exchanges, then nothing\n"
           "  --help            show this text\n";
}

bool parseSimOptions(const std::vector<std::string>& args, SimOptions& out, std::string& error) {
    out = SimOptions{};
    constexpr long kMaxCount = 1'000'000;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        auto value = [&](std::string& text) {
            if (i + 1 >= args.size()) {
                error = option + " needs a value";
                return false;
            }
            text = args[++i];
            return true;
        };
        auto count = [&](long& number) {
            std::string text;
            if (!value(text)) {
                return false;
            }
            if (!parseCount(text, kMaxCount, number)) {
                error = option + ": not a whole number from 0 to 1000000: " + text;
                return false;
            }
            return true;
        };
        long number = 0;
        std::string text;
        if (option == "--help" || option == "-h") {
            out.help = true;
        } else if (option == "--baud") {
            if (!count(number)) {
                return false;
            }
            if (number != 1200 && number != 2400) {
                error = "--baud: the wrench runs at 1200 or 2400, not " + args[i];
                return false;
            }
            out.wrench.baudRate = static_cast<int>(number);
        } else if (option == "--link") {
            if (!value(text)) {
                return false;
            }
            if (text.empty()) {
                error = "--link needs a path";
                return false;
            }
            out.linkPath = text;
        } else if (option == "--no-reply") {
            out.faults.noReply = true;
        } else if (option == "--short-reply") {
            if (!count(number)) {
                return false;
            }
            out.faults.shortReply = static_cast<std::size_t>(number);
        } else if (option == "--corrupt") {
            if (!count(number)) {
                return false;
            }
            out.faults.corruptAt = static_cast<std::size_t>(number);
        } else if (option == "--extra") {
            if (!value(text)) {
                return false;
            }
            if (!parseHexBytes(text, out.faults.extraBytes)) {
                error = "--extra: not a list of hexadecimal bytes: " + text;
                return false;
            }
        } else if (option == "--split") {
            if (!count(number)) {
                return false;
            }
            out.faults.splitAfter = static_cast<std::size_t>(number);
        } else if (option == "--split-pause") {
            if (!count(number)) {
                return false;
            }
            out.faults.splitPauseMs = static_cast<int>(number);
        } else if (option == "--delay") {
            if (!count(number)) {
                return false;
            }
            out.faults.delayMs = static_cast<int>(number);
        } else if (option == "--fail-first") {
            out.faults.firstAttemptOnly = true;
        } else if (option == "--stop-after") {
            if (!count(number)) {
                return false;
            }
            out.faults.stopAfter = static_cast<int>(number);
        } else {
            error = "unknown option: " + option;
            return false;
        }
    }
    return true;
}

} // namespace zelcor::sim
