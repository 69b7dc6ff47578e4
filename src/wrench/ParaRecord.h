// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zelcor {

// One wrench's parameter set: its identity, status byte and the torque constants of one
// direction, plus the message text built from them. Fields 1 to 17 have a fixed width in
// characters; every function here stores them padded with blanks or cut to that width
// (FixedWidth), so "12" in the 1-character WrType is "1". A default record is all empty,
// so its DecDigits matches no digit setting.
struct ParaRecord {
    static constexpr std::size_t kFmtTagWidth = 4;
    static constexpr std::size_t kReqCodeWidth = 4;
    static constexpr std::size_t kChkSumWidth = 4;

    std::string FmtTag;      // 4: message format tag, "0001"
    std::string ReqCode;     // 4: code of the request the set was issued for; never compared
    std::string WrType;      // 1: wrench type, "1"
    std::string AppVerH;     // 2: tool version high, "00"
    std::string AppVerL;     // 2: tool version low, "01"
    std::string WrSwH;       // 2: wrench software version high (cell 0FH)
    std::string WrSwL;       // 2: wrench software version low (cell 0EH)
    std::string FactoryCode; // 4: cells 0CH and 0DH
    std::string WrCode;      // 6: cells 2BH, 2CH and 2DH
    std::string DecDigits;   // 2: "00" to "03", digits after the decimal point
    std::string DirCode;     // 4: "0010" CW, "0011" CCW
    std::string ChkSum;      // 4: checksum of Body, four decimal digits
    std::string StatusEp;    // 2: status byte (cell 10H)
    std::string VIH;         // 2: I-constant high byte of the chosen direction
    std::string VIL;         // 2: I-constant low byte
    std::string VAH;         // 2: A-constant high byte
    std::string VAL;         // 2: A-constant low byte
    std::string Body;        // the message without its checksum
    std::string Message;     // "/"-separated fields WrType .. VAL, then the checksum
    std::string Payload;     // new-parameter text from its fifth character on
    std::string RawText;     // the whole new-parameter text, blanks around it trimmed
};

// The format tag every request and new-parameter text begins with.
inline constexpr std::string_view kParaFmtTag = "0001";

// ---- Checksum and message ------------------------------------------------------------------

// The sum of the character codes of the body (Unicode code points of the UTF-8 text; the
// message itself is ASCII) modulo 10000.
int ChecksumOf(std::string_view body);
// The same as exactly four decimal digits with leading zeros: "0294" for "abc".
std::string ChecksumText(std::string_view body);

// Body = "/" WrType "/" AppVerH ... "/" VAL with every field at its full width, ChkSum its
// checksum, Message = Body "/" ChkSum. A complete set gives 49 + 5 = 54 characters.
void ComposeMessage(ParaRecord& record);

// What the technician receives after Get: the format tag, ReqCode and the message. It is
// also what Write accepts back as new-parameter text.
std::string ParameterRequestText(const ParaRecord& record);

// A message has this many separators: one before each of its fifteen fields.
inline constexpr std::size_t kMessageSeparators = 15;

// 1-based byte positions of the separators "/" in a text (for the ASCII message the same as
// character positions). Room for 101 positions, far more than the 15 of a message.
inline constexpr std::size_t kMaxSlashes = 101;
using SlashPositions = std::array<int, kMaxSlashes>;

// Fills SlashPos with the positions of the "/" in text and returns their number (0 to 101).
// A text with more separators than SlashPos holds gives nullopt after the first 101 are
// stored: the text is no message at all, which callers report differently from a wrong
// count.
std::optional<std::size_t> FindSlashes(std::string_view text, SlashPositions& SlashPos);

// Reads a message with exactly 15 separators into WrType .. VAL and ChkSum (field k is the
// text between separators k and k + 1, the checksum the up to four characters after the
// last; text before the first separator belongs to no field), sets Message, and sets Body to
// the message without its last five characters. Any other number of separators: false, and
// the record is left as it was.
bool ParseMessage(std::string_view message, ParaRecord& record);

// ---- Filling a record from the editor's cells ----------------------------------------------

// The text of editor cell `address` (00H to 2DH): two hexadecimal digits, or "XX" when the
// byte has not been read. Lets the window pass its cells in without this code knowing them.
using CellTextReader = std::function<std::string(int address)>;

// The wrench setting the set is transferred for: direction (false CW, true CCW) and the
// digits after the decimal point of its torque display (0 to 3).
struct DigitsAndDirection {
    bool DirCCW = false;
    int FraDigits = 1;
};

// The identity Write reads back before writing: FmtTag, WrType .. DirCode and StatusEp, as
// Get fills them (the other fields stay empty).
ParaRecord IdentityFromCells(const CellTextReader& cell, DigitsAndDirection setting);

// The whole set for Get: the identity, ReqCode and the four constants of the chosen
// direction, with Body, ChkSum and Message composed. Cells not read ("XX") go into the set,
// and into its checksum, as they are.
ParaRecord CurrentSetFromCells(const CellTextReader& cell, DigitsAndDirection setting,
                               std::string_view reqCode);

} // namespace zelcor
