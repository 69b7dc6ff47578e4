// SPDX-License-Identifier: GPL-3.0-or-later
#include "wrench/CellText.h"

#include "common/TextConv.h"

#include <algorithm>

// Marks a text for the translation file (translations/zelcor_en.ts); the window that shows
// it translates it in this context.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(context, text) text
#endif

namespace zelcor {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

CellByte CellTextToByte(std::string_view text) {
    std::string digits;
    for (const char c : text) {
        if (!isBlank(c)) {
            digits += c;
        }
    }
    if (digits.empty()) {
        return {CellTextFault::Empty, 0};
    }
    if (digits == "XX" || digits == "xx") {
        return {CellTextFault::NotRead, 0};
    }
    for (const char c : digits) {
        if (HexDigitValue(c) < 0) {
            return {CellTextFault::NotHex, 0};
        }
    }
    // Leading zeros do not change the value ("0B8", "00FF"). What follows them is a byte only
    // when it is at most two digits long, so a long text is refused before it could overflow.
    const std::size_t first = std::min(digits.find_first_not_of('0'), digits.size());
    const std::string_view significant = std::string_view(digits).substr(first);
    if (significant.size() > 2) {
        return {CellTextFault::TooLarge, 0};
    }
    int value = 0;
    for (const char c : significant) {
        value = value * 16 + HexDigitValue(c);
    }
    return {CellTextFault::None, static_cast<std::uint8_t>(value)};
}

std::string CellTextFaultReason(CellTextFault fault, std::string_view text) {
    return CellTextFaultReason(CellTextFaultPattern(fault), text);
}

std::string_view CellTextFaultPattern(CellTextFault fault) {
    switch (fault) {
    case CellTextFault::None:
        return {};
    case CellTextFault::Empty:
        return QT_TRANSLATE_NOOP("zelcor::CellText", "is empty");
    case CellTextFault::NotRead:
        return QT_TRANSLATE_NOOP("zelcor::CellText",
                                 "holds %1: this byte has not been read from the wrench");
    case CellTextFault::NotHex:
        return QT_TRANSLATE_NOOP("zelcor::CellText",
                                 "holds %1, which is not a hexadecimal byte 00 to FF");
    case CellTextFault::TooLarge:
        return QT_TRANSLATE_NOOP("zelcor::CellText",
                                 "holds %1, whose value is above FF: no byte 00 to FF");
    }
    return {};
}

std::string CellTextFaultReason(std::string_view pattern, std::string_view text) {
    std::string reason(pattern);
    if (const std::size_t at = reason.find("%1"); at != std::string::npos) {
        reason.replace(at, 2, "\"" + QuotedInput(text) + "\"");
    }
    return reason;
}

} // namespace zelcor
