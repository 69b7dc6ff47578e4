// SPDX-License-Identifier: GPL-3.0-or-later
// A reference tester's line, fed arbitrary bytes: a reading only where the line holds a
// number, always a finite torque above 0, and the same whatever ends or starts the line.

#include "support/Check.h"
#include "wrench/Verification.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zelcor;
    const std::string line(reinterpret_cast<const char*>(data), size);
    const auto reading = ParseTesterLine(line);

    const bool anyDigit =
        std::any_of(line.begin(), line.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!anyDigit) {
        FUZZ_CHECK(!reading);
    }
    if (reading) {
        // At most twelve characters of number, times the largest factor (kgf·m).
        FUZZ_CHECK(std::isfinite(reading->newtonMetres) && reading->newtonMetres > 0);
        FUZZ_CHECK(reading->newtonMetres < 1e13);
        FUZZ_CHECK(line.find(reading->unit) != std::string::npos);
    }
    // A line as a tester ends it, or with blanks before it, reads the same.
    for (const std::string& variant : {line + "\r\n", "  " + line}) {
        const auto again = ParseTesterLine(variant);
        if (line.find_first_of("\r\n") == std::string::npos) {
            FUZZ_CHECK(again.has_value() == reading.has_value());
            if (reading) {
                FUZZ_CHECK(again->newtonMetres == reading->newtonMetres);
            }
        }
    }
    // A peak as a tester writes it reads back within its last decimal.
    if (size >= 4) {
        std::uint32_t counts = 0;
        std::memcpy(&counts, data, sizeof counts);
        const double peak = (counts % 10000000 + 1) / 100.0;
        char text[40];
        std::snprintf(text, sizeof text, "%+08.2f N.m\r\n", peak);
        const auto back = ParseTesterLine(text);
        FUZZ_CHECK(back && std::abs(back->newtonMetres - peak) < 0.005);
    }
    return 0;
}
