// SPDX-License-Identifier: GPL-3.0-or-later
// The port name behind a "Com No" text and the line settings text, fed arbitrary text.

#include "serial/PortSettings.h"
#include "support/Check.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

using namespace zelcor;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

void checkPortName(const std::string& text) {
    const std::string name = PortNameFromText(text);
    const std::string typed = trimmed(text);
    // A port number of up to three digits, 1 or more, is the platform's port of that number;
    // anything else is used as typed, apart from blanks around it.
    int number = 0;
    bool isNumber = !typed.empty() && typed.size() <= 3;
    for (const char c : typed) {
        isNumber = isNumber && c >= '0' && c <= '9';
        number = isNumber ? number * 10 + (c - '0') : 0;
    }
    if (isNumber && number >= 1) {
#ifdef _WIN32
        FUZZ_CHECK(name == "COM" + std::to_string(number));
#else
        FUZZ_CHECK(name == "/dev/ttyS" + std::to_string(number - 1));
#endif
    } else {
        FUZZ_CHECK(name == typed);
    }
}

void checkSettingsText(const std::string& text) {
    SerialSettings settings;
    settings.baudRate = -7; // untouched on refusal
    settings.parity = '?';
    if (!ParseSettingsText(text, settings)) {
        FUZZ_CHECK(settings.baudRate == -7 && settings.parity == '?');
        return;
    }
    FUZZ_CHECK(settings.baudRate > 0);
    FUZZ_CHECK(std::string_view("NEOMS").find(settings.parity) != std::string_view::npos);
    FUZZ_CHECK(settings.dataBits >= 5 && settings.dataBits <= 8);
    FUZZ_CHECK(settings.stopBits >= 1 && settings.stopBits <= 2);
    FUZZ_CHECK(text.find(std::to_string(settings.baudRate)) != std::string::npos);

    // The settings written back as a settings text read as the same settings.
    const std::string written = std::to_string(settings.baudRate) + "," + settings.parity + "," +
                                std::to_string(settings.dataBits) + "," +
                                std::to_string(settings.stopBits);
    SerialSettings again;
    FUZZ_CHECK(ParseSettingsText(written, again));
    FUZZ_CHECK(again.baudRate == settings.baudRate && again.parity == settings.parity &&
               again.dataBits == settings.dataBits && again.stopBits == settings.stopBits);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkPortName(text);
    checkSettingsText(text);
    return 0;
}
