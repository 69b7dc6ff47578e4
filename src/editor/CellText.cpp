#include "editor/CellText.h"

#include "common/TextConv.h"

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
    if (digits.size() > 2) {
        return {CellTextFault::TooLarge, 0};
    }
    int value = 0;
    for (const char c : digits) {
        value = value * 16 + HexDigitValue(c);
    }
    return {CellTextFault::None, static_cast<std::uint8_t>(value)};
}

std::string CellTextFaultReason(CellTextFault fault, std::string_view text) {
    const std::string quoted = "\"" + std::string(text) + "\"";
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
        return "holds " + quoted + ", which has more than two hexadecimal digits: no byte 00 to FF";
    }
    return {};
}

} // namespace zelcor
