// SPDX-License-Identifier: GPL-3.0-or-later
// The value of a text, the number text and fixed-width fields, fed arbitrary text (and, for
// the number text, arbitrary doubles).

#include "common/TextConv.h"
#include "support/ByteReader.h"
#include "support/Check.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

using namespace zelcor;

std::string withoutBlanks(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c != ' ' && c != '\t' && c != '\n') {
            out += c;
        }
    }
    return out;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// [sign] digits [. digits] with at least one digit, and nothing else.
bool isPlainDecimal(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        ++i;
    }
    bool digit = false;
    while (i < s.size() && isDigit(s[i])) {
        digit = true;
        ++i;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) {
            digit = true;
            ++i;
        }
    }
    return digit && i == s.size();
}

// The value of a text against the rule it follows, and against the C library's reading of the
// same digits.
void checkValueOfText(std::string_view text) {
    const double value = ValueOfText(text);
    FUZZ_CHECK(!std::isnan(value));
    FUZZ_CHECK(!(value == 0 && std::signbit(value))); // never "-0"

    // Blanks, tabs and line feeds count for nothing wherever they stand, and a character that
    // cannot continue a number ends the reading without changing it.
    const std::string plain = withoutBlanks(text);
    FUZZ_CHECK(ValueOfText(plain) == value);
    FUZZ_CHECK(ValueOfText(std::string(text) + "Z") == value);

    if (isPlainDecimal(plain)) {
        // strtod reads the same digits correctly rounded (this process keeps the "C" locale).
        const double expected = std::strtod(plain.c_str(), nullptr);
        if (std::fabs(expected) >= 0x1p-1022 || expected == 0) {
            FUZZ_CHECK(value == expected || (value == 0 && expected == 0));
        } else {
            // Below the normal range: zero or the subnormal, nothing else.
            FUZZ_CHECK(value == 0 || value == expected);
        }
    }
    if (plain.size() > 2 && plain.size() <= 2 + 13 && (plain[1] == 'h' || plain[1] == 'H') &&
        plain[0] == '&' && plain.find_first_not_of("0123456789abcdefABCDEF", 2) == plain.npos) {
        FUZZ_CHECK(value == static_cast<double>(std::strtoull(plain.c_str() + 2, nullptr, 16)));
    }
}

// The number text of any double: its form, and that it reads back as the value it stands for.
void checkNumberText(double value) {
    const std::string text = NumberText(value);
    FUZZ_CHECK(text.size() >= 2);
    FUZZ_CHECK(text[0] == (value < 0 ? '-' : ' '));
    FUZZ_CHECK(text.find(',') == std::string::npos && text.find(' ', 1) == std::string::npos);
    if (std::isnan(value) || std::isinf(value)) {
        return;
    }
    const std::string body = text.substr(1);
    const std::size_t e = body.find('E');
    const std::string mantissa = body.substr(0, e);
    FUZZ_CHECK(!mantissa.empty() && mantissa.find_first_not_of("0123456789.") == mantissa.npos);
    FUZZ_CHECK(mantissa.back() != '.');
    FUZZ_CHECK(value == 0 || mantissa.rfind("0.", 0) == std::string::npos); // " .5", not " 0.5"
    if (mantissa.find('.') != std::string::npos) {
        FUZZ_CHECK(mantissa.back() != '0'); // only as many decimals as the value needs
    }
    if (e != std::string::npos) {
        // d[.ddd]E+xx / E-xx: one digit before the point, a signed exponent of 2 or 3 digits.
        FUZZ_CHECK(mantissa.size() == 1 || mantissa[1] == '.');
        const std::string exponent = body.substr(e + 1);
        FUZZ_CHECK(exponent.size() >= 3 && exponent.size() <= 4);
        FUZZ_CHECK(exponent[0] == '+' || exponent[0] == '-');
        FUZZ_CHECK(exponent.find_first_not_of("0123456789", 1) == std::string::npos);
        const double back = std::strtod((text.substr(0, e + 1) + "e" + exponent).c_str(), nullptr);
        FUZZ_CHECK(std::fabs(back - value) <= std::fabs(value) * 1e-14);
        return;
    }
    // Written out in full: read back, it is the value to 15 significant digits, and writing
    // that again gives the same text.
    const double back = ValueOfText(text);
    FUZZ_CHECK(std::fabs(back - value) <= std::fabs(value) * 1e-14);
    FUZZ_CHECK(NumberText(back) == text);
    FUZZ_CHECK(value == 0 || mantissa.find_first_not_of("0.") != std::string::npos);
}

void checkFixedWidth(std::string_view text, std::size_t width) {
    const std::string fixed = FixedWidth(text, width);
    FUZZ_CHECK(CharacterCount(fixed) == width);
    const std::size_t characters = CharacterCount(text);
    FUZZ_CHECK(characters <= text.size());
    if (characters >= width) {
        // Cut on a character boundary: a prefix that the next character does not begin.
        FUZZ_CHECK(text.substr(0, fixed.size()) == fixed);
        FUZZ_CHECK(CharacterCount(text.substr(0, fixed.size())) == width);
        FUZZ_CHECK(fixed.size() == text.size() ||
                   CharacterCount(text.substr(fixed.size())) == characters - width);
    } else {
        FUZZ_CHECK(fixed == std::string(text) + std::string(width - characters, ' '));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zelcor::fuzz::ByteReader input(data, size);
    const std::uint8_t mode = input.byte();
    const std::size_t width = mode >> 2;
    switch (mode & 3) {
    case 0: { // the bits of a double
        std::uint8_t bits[sizeof(double)] = {};
        for (std::uint8_t& b : bits) {
            b = input.byte();
        }
        double value = 0;
        std::memcpy(&value, bits, sizeof value);
        checkNumberText(value);
        break;
    }
    default: { // a text: its value, the text of that value, the text cut to a width
        const std::string_view text = input.rest();
        checkValueOfText(text);
        checkNumberText(ValueOfText(text));
        checkFixedWidth(text, width);
        break;
    }
    }
    return 0;
}
