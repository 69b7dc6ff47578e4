// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/PortSettings.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace zelcor {

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool allDigits(const std::string& text) {
    return !text.empty() && text.size() <= 3 &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

} // namespace

std::string PortNameFromText(const std::string& text) {
    const std::string name = trimmed(text);
    if (allDigits(name)) {
        const int number = std::stoi(name);
        if (number >= 1) {
#ifdef _WIN32
            return "COM" + std::to_string(number);
#else
            return "/dev/ttyS" + std::to_string(number - 1);
#endif
        }
    }
    return name;
}

bool ParseSettingsText(const std::string& text, SerialSettings& settings) {
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (;;) {
        const auto comma = text.find(',', start);
        fields.push_back(trimmed(text.substr(start, comma - start)));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    if (fields.size() != 4 || !allDigits(fields[2]) || !allDigits(fields[3]) ||
        fields[1].size() != 1 || fields[0].empty() || fields[0].size() > 7 ||
        !std::all_of(fields[0].begin(), fields[0].end(),
                     [](unsigned char c) { return std::isdigit(c); })) {
        return false;
    }
    SerialSettings parsed;
    parsed.baudRate = std::stoi(fields[0]);
    parsed.parity = static_cast<char>(std::toupper(static_cast<unsigned char>(fields[1][0])));
    parsed.dataBits = std::stoi(fields[2]);
    parsed.stopBits = std::stoi(fields[3]);
    const std::string parities = "NEOMS";
    if (parsed.baudRate <= 0 || parities.find(parsed.parity) == std::string::npos ||
        parsed.dataBits < 5 || parsed.dataBits > 8 || parsed.stopBits < 1 || parsed.stopBits > 2) {
        return false;
    }
    settings = parsed;
    return true;
}

} // namespace zelcor
