// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/TextConv.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <utility>

namespace zelcor {

std::string NibbleToHexChr(int value) {
    if (value < 0 || value > 15) {
        return {};
    }
    return std::string(1, "0123456789ABCDEF"[value]);
}

std::string ByteToHexStr(std::uint8_t value) {
    return NibbleToHexChr(value / 16) + NibbleToHexChr(value % 16);
}

namespace {

bool isIgnored(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

} // namespace

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

double ValueOfText(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (char c : text) {
        if (!isIgnored(c)) {
            s.push_back(c);
        }
    }

    if (s.size() >= 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h')) {
        double value = 0;
        for (std::size_t i = 2; i < s.size(); ++i) {
            const int digit = HexDigitValue(s[i]);
            if (digit < 0) {
                break;
            }
            value = value * 16 + digit;
        }
        return value;
    }

    // Collect the longest prefix that reads as [sign] digits [. digits] and let from_chars
    // convert it: the correctly rounded double of that text, with a period as the separator
    // whatever the locale (strtod would take the locale's separator instead).
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i++] == '-';
    }
    const std::size_t start = i;
    bool anyDigit = false;
    bool wholeAboveZero = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        wholeAboveZero = wholeAboveZero || s[i] != '0';
        anyDigit = true;
        ++i;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            anyDigit = true;
            ++i;
        }
    }
    if (!anyDigit) {
        return 0;
    }
    double value = 0;
    const std::errc error =
        std::from_chars(s.data() + start, s.data() + i, value, std::chars_format::fixed).ec;
    if (error == std::errc::result_out_of_range) {
        // Beyond a double: too large when there is a whole part above 0, too small otherwise.
        value = wholeAboveZero ? HUGE_VAL : 0.0;
    }
    if (value == 0) {
        return 0.0; // no "-0"
    }
    return negative ? -value : value;
}

std::string NumberText(double value) {
    if (std::isnan(value)) {
        return " NaN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-Inf" : " Inf";
    }
    if (value == 0) {
        return " 0";
    }

    // Fifteen significant digits in scientific form, d.dddddddddddddde[+-]xx, from to_chars:
    // printf would put the locale's decimal separator, which may be more than one byte.
    char buffer[40];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                       std::chars_format::scientific, 14);
    const std::string formatted(buffer, written.ptr);
    const std::size_t ePos = formatted.find('e');
    std::string digits = formatted.substr(0, 1) + formatted.substr(2, ePos - 2);
    int exponent = 0;
    std::from_chars(formatted.data() + ePos + 2, formatted.data() + formatted.size(), exponent);
    if (formatted[ePos + 1] == '-') {
        exponent = -exponent;
    }
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }

    std::string body;
    if (exponent >= 15 || exponent < -4) {
        // Too large or too small to write out digit by digit: 1.5E+15, 2E-05.
        body = digits.substr(0, 1);
        if (digits.size() > 1) {
            body += "." + digits.substr(1);
        }
        char exponentText[16];
        std::snprintf(exponentText, sizeof exponentText, "E%c%02d", exponent < 0 ? '-' : '+',
                      std::abs(exponent));
        body += exponentText;
    } else if (exponent >= 0) {
        const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= integerDigits) {
            body = digits + std::string(integerDigits - digits.size(), '0');
        } else {
            body = digits.substr(0, integerDigits) + "." + digits.substr(integerDigits);
        }
    } else {
        body = "." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    }
    return (value < 0 ? "-" : " ") + body;
}

std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead >= 0xF8   ? 1
                               : lead >= 0xF0 ? 4
                               : lead >= 0xE0 ? 3
                               : lead >= 0xC0 ? 2
                                              : 1;
    if (length > text.size() - i) {
        return 1;
    }
    // Only the continuation bytes that are really there belong to the lead byte: a lead
    // byte followed by anything else stands alone, and does not swallow the blank or "/"
    // after it.
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return length;
}

std::size_t CharacterCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); i += Utf8SequenceLength(text, i)) {
        ++count;
    }
    return count;
}

namespace {

// The code point of the character of `length` bytes at byte `i`; a lone byte is its own value.
char32_t CodePointAt(std::string_view text, std::size_t i, std::size_t length) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    if (length == 1) {
        return byte(0);
    }
    char32_t point = byte(0) & (0x7FU >> length);
    for (std::size_t k = 1; k < length; ++k) {
        point = point << 6 | (byte(k) & 0x3FU);
    }
    return point;
}

// East Asian Wide and Fullwidth: the CJK scripts and symbols, Hangul, the fullwidth forms and
// the emoji a terminal draws two columns wide.
bool IsWide(char32_t c) {
    static constexpr std::pair<char32_t, char32_t> kWide[] = {
        {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},  {0x2E80, 0x303E},
        {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},  {0xA000, 0xA4CF},
        {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},  {0xFE10, 0xFE19},
        {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},  {0x1F300, 0x1F64F},
        {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD}};
    for (const auto& [first, last] : kWide) {
        if (c >= first && c <= last) {
            return true;
        }
    }
    return false;
}

} // namespace

std::size_t DisplayColumns(std::string_view text) {
    std::size_t columns = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, i);
        columns += IsWide(CodePointAt(text, i, length)) ? 2 : 1;
        i += length;
    }
    return columns;
}

std::string PadToColumns(std::string_view text, std::size_t columns) {
    std::string result;
    std::size_t used = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, i);
        const std::size_t width = IsWide(CodePointAt(text, i, length)) ? 2 : 1;
        if (used + width > columns) {
            break;
        }
        result.append(text.substr(i, length));
        used += width;
        i += length;
    }
    result.append(columns - used, ' ');
    return result;
}

std::string FixedWidth(std::string_view text, std::size_t width) {
    std::string result;
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, i);
        if (count == width) {
            break;
        }
        result.append(text.substr(i, length));
        ++count;
        i += length;
    }
    result.append(width - count, ' ');
    return result;
}

namespace {

// A control character as a message shows it, or nothing for any other character.
std::string EscapedControl(std::string_view character) {
    const auto c = static_cast<unsigned char>(character[0]);
    switch (c) {
    case '\n':
        return "\\n";
    case '\r':
        return "\\r";
    case '\t':
        return "\\t";
    case 0x1B:
        return "\\e";
    default:
        break;
    }
    char hex[8];
    if (c < 0x20 || c == 0x7F) {
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        return hex;
    }
    // C1 controls (U+0080 to U+009F) act on a terminal as ESC sequences do.
    if (c == 0xC2 && character.size() == 2) {
        const auto next = static_cast<unsigned char>(character[1]);
        if (next >= 0x80 && next <= 0x9F) {
            std::snprintf(hex, sizeof hex, "\\u%04X", next);
            return hex;
        }
    }
    return {};
}

} // namespace

namespace {

// The text's characters from byte 0 with their control characters escaped, at most `limit`
// of them; `end` receives the byte where it stopped.
std::string Escaped(std::string_view text, std::size_t limit, std::size_t& end) {
    std::string shown;
    std::size_t i = 0;
    for (std::size_t count = 0; i < text.size() && count < limit; ++count) {
        const std::size_t length = Utf8SequenceLength(text, i);
        const std::string_view character = text.substr(i, length);
        const std::string escaped = EscapedControl(character);
        shown += escaped.empty() ? std::string(character) : escaped;
        i += length;
    }
    end = i;
    return shown;
}

} // namespace

std::string QuotedInput(std::string_view text) {
    std::size_t end = 0;
    const std::string shown = Escaped(text, kQuotedCharacters, end);
    return shown + (end < text.size() ? "..." : "");
}

std::string EscapedText(std::string_view text) {
    std::size_t end = 0;
    return Escaped(text, text.size(), end);
}

} // namespace zelcor
