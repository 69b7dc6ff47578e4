// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimOptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <sstream>

namespace zelcor::sim {

namespace {

bool parseCount(const std::string& text, long maximum, long& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc{} && ptr == end && value >= 0 && value <= maximum;
}

// A decimal number such as "60", "-2.5" or "+6".
bool parseDecimal(const std::string& text, double& value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+' && end - begin > 1 && begin[1] != '-') {
        ++begin;
    }
    auto [ptr, ec] = std::from_chars(begin, end, value, std::chars_format::fixed);
    return ec == std::errc{} && ptr == end && std::isfinite(value);
}

// "60,20,100": torques above 0 N·m.
bool parseTargets(const std::string& text, std::vector<double>& targets) {
    targets.clear();
    std::stringstream list(text);
    for (std::string item; std::getline(list, item, ',');) {
        double target = 0;
        if (!parseDecimal(item, target) || !(target > 0)) {
            return false;
        }
        targets.push_back(target);
    }
    return !targets.empty() && text.back() != ',';
}

std::string shortNumber(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
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
           "A simulated torque wrench behind a pseudo-terminal. Prints the device to open\n"
           "(and on a second line the tester's, with --tester), then answers on it until\n"
           "interrupted.\n"
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
           "\n"
           "Pulls: a second after its maximum (00 23, 00 24) is cleared, the wrench is pulled\n"
           "to the next target and keeps its reading of the peak as its maximum.\n"
           "  --max N           the targets of the standard verification of a wrench of\n"
           "                    N N·m: 3 pre-loads at 100 %, 5 readings at 20, 60, 100 %\n"
           "                    (default 100)\n"
           "  --pulls A,B,C     these targets in N·m instead, again from the first after\n"
           "                    the last\n"
           "  --bias PERCENT    the wrench reads this much high (negative: low)\n"
           "  --scatter PERCENT plus a scatter within +- PERCENT, the same every run\n"
           "  --digits N        digits after the point of the kept maximum, 0 to 3\n"
           "                    (default 1)\n"
           "  --tester          a reference tester on a second pseudo-terminal (printed on\n"
           "                    the second line), sending each true peak as a line of text\n"
           "                    at 9600 8N1, such as \"+060.00 N.m\"\n"
           "  --tester-link PATH  the tester, with a symbolic link PATH to its device\n"
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
        auto decimal = [&](double& number, double lowest, double highest) {
            std::string text;
            if (!value(text)) {
                return false;
            }
            if (!parseDecimal(text, number) || number < lowest || number > highest) {
                error = option + ": not a number from " + shortNumber(lowest) + " to " +
                        shortNumber(highest) + ": " + text;
                return false;
            }
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
        } else if (option == "--max") {
            if (!decimal(out.pulls.maximum, 0, 65535)) {
                return false;
            }
            if (!(out.pulls.maximum > 0)) {
                error = "--max: the maximum must be above 0 N·m";
                return false;
            }
        } else if (option == "--pulls") {
            if (!value(text)) {
                return false;
            }
            if (!parseTargets(text, out.pulls.targets)) {
                error = "--pulls: not a list of torques above 0 N·m such as 20,60,100: " + text;
                return false;
            }
        } else if (option == "--bias") {
            if (!decimal(out.pulls.biasPercent, -50, 50)) {
                return false;
            }
        } else if (option == "--scatter") {
            if (!decimal(out.pulls.scatterPercent, 0, 50)) {
                return false;
            }
        } else if (option == "--digits") {
            if (!count(number)) {
                return false;
            }
            if (number > 3) {
                error = "--digits: the wrench keeps 0 to 3 digits after the point, not " + args[i];
                return false;
            }
            out.pulls.digits = static_cast<int>(number);
        } else if (option == "--tester") {
            out.tester = true;
        } else if (option == "--tester-link") {
            if (!value(text)) {
                return false;
            }
            if (text.empty()) {
                error = "--tester-link needs a path";
                return false;
            }
            out.testerLinkPath = text;
            out.tester = true;
        } else {
            error = "unknown option: " + option;
            return false;
        }
    }
    // The maximum cells hold 65535 counts of the last digit.
    const double top = 65535 / std::pow(10.0, out.pulls.digits);
    const bool fits = out.pulls.targets.empty()
                          ? out.pulls.maximum <= top
                          : std::all_of(out.pulls.targets.begin(), out.pulls.targets.end(),
                                        [top](double target) { return target <= top; });
    if (!fits) {
        error = "a pull above " + shortNumber(top) +
                " N·m does not fit the wrench's maximum with " + std::to_string(out.pulls.digits) +
                " digits after the point";
        return false;
    }
    if (!out.linkPath.empty() && out.linkPath == out.testerLinkPath) {
        error = "--link and --tester-link name the same path";
        return false;
    }
    return true;
}

} // namespace zelcor::sim
