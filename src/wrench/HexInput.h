// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zelcor {

// True when InS is exactly one of "0".."9", "A".."F", "a".."f".
bool Check0ToF(std::string_view InS);

// Checks that InputString is exactly two hexadecimal digits. On failure sets `error` and
// says why in MessageString; on success clears `error` and leaves MessageString alone.
void Cleckhex(std::string_view InputString, bool& error, std::string& MessageString);

// The value of a text that passed Cleckhex, read as hexadecimal.
std::uint8_t HexToByte(std::string_view text);

} // namespace zelcor
