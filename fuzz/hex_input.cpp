// SPDX-License-Identifier: GPL-3.0-or-later
// The register console's checks of typed hexadecimal input, fed arbitrary text.

#include "common/TextConv.h"
#include "wrench/HexInput.h"
#include "support/Check.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zelcor;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    FUZZ_CHECK(Check0ToF(text) == (text.size() == 1 && isHexDigit(text[0])));

    bool error = false;
    std::string message = "unchanged";
    Cleckhex(text, error, message);
    const bool twoDigits = text.size() == 2 && isHexDigit(text[0]) && isHexDigit(text[1]);
    FUZZ_CHECK(error != twoDigits);
    if (!error) {
        FUZZ_CHECK(message == "unchanged");
        // The byte is what its two digits say, and shows as them in upper case.
        const std::uint8_t byte = HexToByte(text);
        FUZZ_CHECK(byte == HexDigitValue(text[0]) * 16 + HexDigitValue(text[1]));
        FUZZ_CHECK((ByteToHexStr(byte) == std::string{upper(text[0]), upper(text[1])}));
        return 0;
    }
    const std::size_t characters = CharacterCount(text);
    if (characters >= 3) {
        FUZZ_CHECK(message == "length>2,please Enter 00~FF,no space");
    } else if (characters == 0) {
        FUZZ_CHECK(message == "length=0,please Enter 00~FF,no space");
    } else {
        FUZZ_CHECK(message == "Enter 0123456789ABCDEFabcdef");
    }

    // Every byte has two digits that the check accepts and that read back as that byte.
    const auto any = static_cast<std::uint8_t>(size > 0 ? data[0] : 0);
    bool anyError = true;
    Cleckhex(ByteToHexStr(any), anyError, message);
    FUZZ_CHECK(!anyError && HexToByte(ByteToHexStr(any)) == any);
    return 0;
}
