// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zelcor {

// Why a cell's text cannot be written to the instrument.
enum class CellTextFault {
    None,
    Empty,    // nothing but blanks
    NotRead,  // "XX": the byte was never read (or the cells were cleared)
    NotHex,   // a character that is not a hexadecimal digit
    TooLarge, // a value above FF: no byte
};

struct CellByte {
    CellTextFault fault = CellTextFault::None;
    std::uint8_t value = 0; // valid only when fault is None
};

// A cell's text as the byte to write: hexadecimal digits of either case whose value is 00 to
// FF, leading zeros allowed, with blanks, tabs and line breaks ignored wherever they stand
// ("b8", " B 8", "5" and "00FF" are fine).
// Anything else is refused rather than read as 00, so that a byte the technician never
// chose cannot reach the instrument's memory.
CellByte CellTextToByte(std::string_view text);

// A short English reason for a refused text, to follow the cell's name in a message.
std::string CellTextFaultReason(CellTextFault fault, std::string_view text);
// The reason's words, with %1 where the quoted text goes: what a translation translates.
std::string_view CellTextFaultPattern(CellTextFault fault);
// The reason from its words (CellTextFaultPattern's or a translation of them) and the text.
std::string CellTextFaultReason(std::string_view pattern, std::string_view text);

} // namespace zelcor
