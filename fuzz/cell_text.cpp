// SPDX-License-Identifier: GPL-3.0-or-later
// The memory editor's cell text, fed arbitrary text: a cell is written only as the byte its
// digits say.

#include "common/TextConv.h"
#include "wrench/CellText.h"
#include "support/Check.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zelcor;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const CellByte cell = CellTextToByte(text);

    // What the text says, worked out digit by digit: its characters other than blanks, and
    // the value of those as hexadecimal digits as long as they stay within a byte.
    std::string digits;
    bool allHex = true;
    unsigned value = 0;
    bool aboveByte = false;
    for (const char c : text) {
        if (isBlank(c)) {
            continue;
        }
        digits += c;
        const int digit = HexDigitValue(c);
        allHex = allHex && digit >= 0;
        if (digit >= 0 && !aboveByte) {
            value = value * 16 + static_cast<unsigned>(digit);
            aboveByte = value > 0xFF;
        }
    }

    switch (cell.fault) {
    case CellTextFault::None:
        FUZZ_CHECK(allHex && !digits.empty() && !aboveByte);
        FUZZ_CHECK(cell.value == value);
        FUZZ_CHECK(CellTextFaultReason(cell.fault, text).empty());
        break;
    case CellTextFault::Empty:
        FUZZ_CHECK(digits.empty());
        break;
    case CellTextFault::NotRead:
        FUZZ_CHECK(digits == "XX" || digits == "xx");
        break;
    case CellTextFault::NotHex:
        FUZZ_CHECK(!allHex && digits != "XX" && digits != "xx");
        break;
    case CellTextFault::TooLarge:
        FUZZ_CHECK(allHex && aboveByte);
        break;
    }
    if (cell.fault != CellTextFault::None) {
        FUZZ_CHECK(!CellTextFaultReason(cell.fault, text).empty());
    }
    if (allHex && !digits.empty()) {
        FUZZ_CHECK((cell.fault == CellTextFault::None) == !aboveByte);
    }

    // A byte as the editor shows it always reads back as that byte.
    const auto any = static_cast<std::uint8_t>(size > 0 ? data[size - 1] : 0);
    const CellByte shown = CellTextToByte(ByteToHexStr(any));
    FUZZ_CHECK(shown.fault == CellTextFault::None && shown.value == any);
    return 0;
}
