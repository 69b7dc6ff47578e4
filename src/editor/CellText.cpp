// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/CellText.h"

#include "common/TextConv.h"

#include <algorithm>

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
    const std::string quoted = "\"" + QuotedInput(text) + "\"";
    switch (fault) {
    case CellTextFault::None:
        return {};
    case CellTextFault::Empty:
        return "is empty";
    case CellTextFault::NotRead:
        return "holds " + quoted + ": this byte has not been read from the wrench";
    case CellTextFault::NotHex:
        return "holds " + quoted + ", which is not a hexadecimal byte 00 to FF";
    case CellTextFault::TooLarge:
        return "holds " + quoted + ", whose value is above FF: no byte 00 to FF";
    }
    return {};
}

} // namespace zelcor
